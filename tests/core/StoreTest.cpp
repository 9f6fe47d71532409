// The episode store on real SQLite files in temporary folders: creating,
// reopening and migrating, refusing what it cannot read or must not change,
// transactions, and a writer killed in the middle of one; the podcast options
// it keeps: their values and how a podcast inherits them.

#include "core/files/BaseDirectory.h"
#include "core/store/EpisodeStore.h"
#include "core/store/PodcastSettings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <tuple>

#include <sys/wait.h>
#include <unistd.h>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

using Result = EpisodeStore::OpenResult;

StoredEpisode Episode(const std::string& key, const std::string& date) {
    StoredEpisode e;
    e.key = key;
    e.guid = key;
    e.url = "http://x/" + key + ".mp3";
    e.title = "Episode " + key + std::string(100, '.');
    e.date = date;
    e.firstSeen = 1700000000;
    return e;
}

class Store : public ::testing::Test {
protected:
    // Opens the store of `dir` with one podcast in it.
    void OpenWithPodcast() {
        ASSERT_EQ(store.Open(dir.Base()), Result::Opened) << store.Error().message;
        ASSERT_FALSE(store.Podcast("http://x/feed", "Show", podcast));
    }
    int64_t Count(const std::string& sql) {
        int64_t n = -1;
        EXPECT_FALSE(store.Db().QueryInt(sql, n));
        return n;
    }

    TempDir dir;
    const std::string path = dir / kEpisodeStoreFileName;
    EpisodeStore store;
    int64_t podcast = 0;
};

TEST_F(Store, KeepsItsEpisodesAcrossReopeningAndMigratesOnce) {
    OpenWithPodcast();
    EXPECT_EQ(store.FoundVersion(), 0);
    {
        Statement journal(store.Db(), "PRAGMA journal_mode");
        ASSERT_TRUE(journal.Step());
        EXPECT_EQ(journal.Text(0), "delete");
    }
    EXPECT_EQ(Count("PRAGMA synchronous"), 2); // FULL
    // Foreign keys are checked: no episode of a podcast that is not there.
    EXPECT_EQ(store.PutEpisode(podcast + 1, Episode("a", "")).code, SQLITE_CONSTRAINT);

    const StoredEpisode a = Episode("a", "2024-01-01"), b = Episode("b", "2024-02-01");
    ASSERT_FALSE(store.PutEpisode(podcast, a));
    ASSERT_FALSE(store.PutEpisode(podcast, b));
    ASSERT_FALSE(store.SetState(podcast, "a", EpisodeState::Downloaded, "Show/a.mp3"));
    ASSERT_FALSE(store.SetState(podcast, "b", EpisodeState::Failed, {}, "timed out"));
    ASSERT_FALSE(store.SetState(podcast, "b", EpisodeState::Failed, {}, "refused"));
    EXPECT_TRUE(store.SetState(podcast, "c", EpisodeState::Queued));
    // The feed moves "a" to another URL: what became of it stays.
    StoredEpisode moved = a;
    moved.url = "http://cdn/a.mp3?token=2";
    moved.firstSeen = 1800000000;
    ASSERT_FALSE(store.PutEpisode(podcast, moved));
    store.Close();

    EXPECT_EQ(store.Open(dir.Base()), Result::Opened);
    EXPECT_EQ(store.FoundVersion(), EpisodeStore::LatestVersion());
    int64_t again = 0;
    ASSERT_FALSE(store.Podcast("http://x/feed", "Other", again));
    EXPECT_EQ(again, podcast);
    std::vector<StoredEpisode> episodes;
    ASSERT_FALSE(store.Episodes(podcast, episodes));
    StoredEpisode downloaded = a, failed = b;
    downloaded.url = moved.url;
    downloaded.state = EpisodeState::Downloaded;
    downloaded.file = "Show/a.mp3";
    failed.state = EpisodeState::Failed;
    failed.attempts = 2;
    failed.reason = "refused";
    EXPECT_EQ(episodes, (std::vector<StoredEpisode>{failed, downloaded})); // newest first
    // Between transactions the store is the one file.
    EXPECT_FALSE(fs::exists(path + "-journal"));
    EXPECT_FALSE(fs::exists(path + "-wal"));
}

// A store of the version before running times and sizes gains them, its
// episodes unknown in both until a check or a download tells; after that
// they are kept like the rest.
TEST_F(Store, RunningTimeAndSizeJoinAnOlderStore) {
    OpenWithPodcast();
    StoredEpisode a = Episode("a", "2024-01-01");
    ASSERT_FALSE(store.PutEpisode(podcast, a));
    ASSERT_FALSE(store.Db().Execute("ALTER TABLE episode DROP COLUMN duration;"
                                    " ALTER TABLE episode DROP COLUMN size;"
                                    " PRAGMA user_version = 2"));
    store.Close();
    ASSERT_EQ(store.Open(dir.Base()), Result::Opened) << store.Error().message;
    EXPECT_EQ(store.FoundVersion(), 2);
    std::vector<StoredEpisode> episodes;
    ASSERT_FALSE(store.Episodes(podcast, episodes));
    EXPECT_EQ(episodes, std::vector<StoredEpisode>{a}); // both -1, unknown

    // What the feed says of the running time is taken with its texts; the
    // size only with what was decided (the file's once it is there).
    a.duration = 3723;
    a.size = 5;
    ASSERT_FALSE(store.PutEpisode(podcast, a));
    ASSERT_FALSE(store.Episodes(podcast, episodes));
    EXPECT_EQ(episodes[0].duration, 3723);
    EXPECT_EQ(episodes[0].size, -1);
    ASSERT_FALSE(store.PutEpisode(podcast, a, true));
    ASSERT_FALSE(store.Episodes(podcast, episodes));
    EXPECT_EQ(episodes, std::vector<StoredEpisode>{a});
}

// A migration that fails leaves the file as it was: the tables it made
// before the failure go with it, and the version stays.
TEST_F(Store, AFailedMigrationChangesNothing) {
    {
        Database db;
        ASSERT_FALSE(db.Open(path));
        ASSERT_FALSE(
            db.Execute("PRAGMA application_id = " + std::to_string(EpisodeStore::kApplicationId) +
                       "; CREATE TABLE archive_memo (x)"));
    }
    EXPECT_EQ(store.OpenFile(path), Result::Failed);
    EXPECT_NE(store.Error().message.find("archive_memo"), std::string::npos);
    Database db;
    ASSERT_FALSE(db.Open(path));
    int64_t version = -1, objects = -1;
    ASSERT_FALSE(db.QueryInt("PRAGMA user_version", version));
    ASSERT_FALSE(db.QueryInt("SELECT count(*) FROM sqlite_schema", objects));
    EXPECT_EQ(std::pair(version, objects), std::pair(int64_t{0}, int64_t{1}));
}

// A later program's store and another program's database are refused and
// not changed by a single byte.
TEST_F(Store, ANewerOrForeignDatabaseIsRefusedUntouched) {
    for (const auto& [script, expected] :
         {std::pair{"PRAGMA user_version = " + std::to_string(EpisodeStore::LatestVersion() + 1),
                    Result::TooNew},
          std::pair{std::string("PRAGMA application_id = 7"), Result::Unreadable}}) {
        SCOPED_TRACE(script);
        OpenWithPodcast();
        ASSERT_FALSE(store.PutEpisode(podcast, Episode("a", "2024-01-01")));
        ASSERT_FALSE(store.Db().Execute(script));
        store.Close();
        const std::string bytes = ReadFile(path);
        EXPECT_EQ(store.Open(dir.Base()), expected);
        EXPECT_TRUE(store.Error());
        EXPECT_FALSE(store.IsOpen());
        EXPECT_EQ(ReadFile(path), bytes);
        EXPECT_FALSE(fs::exists(path + "-journal"));
        fs::remove(path);
    }
}

// Whatever is no store is reported unreadable without a change, and is kept
// aside under the settings file's naming so that a new store takes its place.
TEST_F(Store, WhatIsNoStoreIsKeptAsideForANewOne) {
    OpenWithPodcast();
    {
        Transaction transaction = store.Begin();
        for (int i = 0; i < 200; ++i)
            ASSERT_FALSE(store.PutEpisode(podcast, Episode(std::to_string(i), "2024-01-01")));
        ASSERT_FALSE(transaction.Commit());
    }
    store.Close();
    const std::string whole = ReadFile(path);
    ASSERT_GT(whole.size(), 8u * 4096);
    const std::string outside = dir / "outside";
    struct Case {
        const char* what;
        std::string bytes;
        std::optional<SpecialFile> special;
        Result expected = Result::Unreadable;
    };
    const Case cases[] = {
        {"garbage", std::string(5000, 'x'), {}},
        {"the header only", whole.substr(0, 100), {}},
        {"cut at a page", whole.substr(0, 4 * 4096), {}},
        {"cut within a page", whole.substr(0, whole.size() / 2 + 77), {}},
        {"no bytes: a new store", "", {}, Result::Opened},
        {"FIFO", "", SpecialFile::Fifo},
        {"folder", "", SpecialFile::Folder},
        {"link to another file", "", SpecialFile::LinkOutside},
        {"3 GiB of zeros", "", SpecialFile::Sparse},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(path);
        fs::remove(outside);
        if (c.special)
            MakeSpecialFile(*c.special, path, outside);
        else
            WriteFile(path, c.bytes);
        EXPECT_EQ(store.Open(dir.Base()), c.expected) << store.Error().message;
        store.Close();
        if (c.expected != Result::Unreadable)
            continue;
        EXPECT_TRUE(c.special ? SpecialFileIntact(*c.special, path, outside)
                              : ReadFile(path) == c.bytes);

        // The journal goes with its file.
        WriteFile(path + "-journal", "journal");
        const std::string kept = KeepUnreadableStore(path);
        EXPECT_EQ(kept.rfind(path + ".unreadable-", 0), 0u);
        EXPECT_EQ(kept.size(), (path + ".unreadable-20240101-000000").size());
        EXPECT_TRUE(c.special ? SpecialFileIntact(*c.special, kept, outside)
                              : ReadFile(kept) == c.bytes);
        EXPECT_EQ(ReadFile(kept + "-journal"), "journal");
        EXPECT_EQ(store.Open(dir.Base()), Result::Opened);
        EXPECT_EQ(store.FoundVersion(), 0);
        store.Close();
        // A second one kept in the same second gets a name of its own.
        WriteFile(path, "x");
        const std::string second = KeepUnreadableStore(path);
        EXPECT_NE(second, kept);
        EXPECT_EQ(ReadFile(second), "x");
        fs::remove_all(kept);
        fs::remove(kept + "-journal");
        fs::remove(second);
    }
}

TEST_F(Store, WhatATransactionDidNotCommitIsNotThere) {
    OpenWithPodcast();
    {
        Transaction transaction = store.Begin();
        ASSERT_FALSE(transaction.Error());
        ASSERT_FALSE(store.PutEpisode(podcast, Episode("a", "")));
        EXPECT_TRUE(Transaction(store.Db()).Error()); // none within another
        int64_t other = 0;
        ASSERT_FALSE(store.Podcast("http://y/feed", "", other));
    }
    EXPECT_EQ(Count("SELECT count(*) FROM episode"), 0);
    EXPECT_EQ(Count("SELECT count(*) FROM podcast"), 1);
    {
        Transaction transaction = store.Begin();
        ASSERT_FALSE(store.PutEpisode(podcast, Episode("b", "")));
        EXPECT_TRUE(store.Db().Execute("INSERT INTO episode (podcast_id, key, state)"
                                       " VALUES (1, 'c', 'lost')")); // no such state
        EXPECT_FALSE(transaction.Commit());
    }
    EXPECT_EQ(Count("SELECT count(*) FROM episode"), 1);
}

// A process killed while it writes a large transaction (larger than SQLite's
// page cache, so that its pages reach the file before the commit) leaves a
// store that opens sound with all of that transaction or none of it. Even
// rounds are killed while the writer waits inside the transaction; odd ones
// whenever the kill lands, after the writer has begun.
TEST_F(Store, AWriterKilledInATransactionLeavesAllOrNothing) {
    constexpr int kRounds = 6, kRows = 1500;
    OpenWithPodcast();
    store.Close();
    int64_t committed = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        const bool waitInside = round % 2 == 0;
        int ready[2], hold[2];
        ASSERT_EQ(::pipe(ready), 0);
        ASSERT_EQ(::pipe(hold), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            ::close(hold[1]);
            EpisodeStore writer;
            int64_t id = 0;
            if (writer.Open(dir.Base()) != Result::Opened ||
                writer.Db().Execute("PRAGMA cache_size = 20") ||
                writer.Podcast("http://x/feed", "", id))
                ::_exit(2);
            Transaction transaction = writer.Begin();
            char byte = 0;
            for (int i = 0; i < kRows; ++i) {
                const std::string key = std::to_string(round) + "-" + std::to_string(i);
                if (writer.PutEpisode(id, Episode(key, "2024-01-01")))
                    ::_exit(3);
                if (i == (waitInside ? kRows - 1 : kRows / 10) && ::write(ready[1], "x", 1) != 1)
                    ::_exit(4);
                if (waitInside && i == kRows - 1)
                    (void)::read(hold[0], &byte, 1); // until killed
            }
            (void)transaction.Commit();
            (void)::read(hold[0], &byte, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(hold[0]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the writer failed before it signalled";
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(ready[0]);
        ::close(hold[1]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        // Waiting inside, the writer left a hot journal behind to be rolled
        // back. (Killed before anything reached the file, it may leave one
        // whose header is still blank: no hot journal, which SQLite ignores
        // and clears with the next write.)
        EXPECT_TRUE(!waitInside || fs::exists(path + "-journal"));

        ASSERT_EQ(store.Open(dir.Base()), Result::Opened) << store.Error().message;
        Statement check(store.Db(), "PRAGMA integrity_check");
        ASSERT_TRUE(check.Step());
        EXPECT_EQ(check.Text(0), "ok");
        const int64_t ofRound =
            Count("SELECT count(*) FROM episode WHERE key LIKE '" + std::to_string(round) + "-%'");
        EXPECT_TRUE(ofRound == 0 || (ofRound == kRows && !waitInside)) << ofRound;
        committed += ofRound;
        EXPECT_EQ(Count("SELECT count(*) FROM episode"), committed);
        store.Close();
        EXPECT_FALSE(waitInside && fs::exists(path + "-journal"));
    }
}

// Every key's values in their stored spelling; "-" where the value is refused.
TEST(PodcastSettings, EachKeyTakesItsValuesInOneSpelling) {
    // One row per kind of value and bound (FeedTest proves the file name patterns).
    const std::tuple<const char*, std::string, const char*> cases[] = {
        {"paused", "No", "no"},
        {"paused", "TRUE", "yes"},
        {"paused", "off", "no"},
        {"paused", "1", "yes"},
        {"paused", " yes\t", "yes"},
        {"paused", "", "-"},
        {"paused", "y", "-"},
        {"refetch-deleted", "YES", "yes"},
        {"on-subscribe", "0", "0"},
        {"on-subscribe", "+3", "-"},
        {"keep", "0", "-"},
        {"keep", "1 0", "-"},
        {"keep", "all ", "all"},
        {"keep", "1000000", "1000000"},
        {"keep", "1000001", "-"},
        {"keep", "99999999999999999999999", "-"},
        {"keep", "00000000000000000000000012", "12"},
        {"keep-days", "0", "-"},
        {"keep-days", "", "-"},
        {"names", "URL", "url"},
        {"names", "{podcast} - {title}", "{podcast} - {title}"},
        {"names", "{nope}", "-"},
        {"volume", "yes", "-"},
        {"Keep", "3", "-"},
    };
    for (const auto& [key, given, expected] : cases) {
        std::string value = given;
        const bool accepted = NormaliseSetting(key, value);
        EXPECT_EQ(accepted ? value : "-", expected) << key << "=" << given;
        if (!accepted) {
            EXPECT_EQ(value, given) << "a refused value stays as given";
        }
    }
    for (const std::string& key : SettingKeys()) {
        std::string builtIn = BuiltInSetting(key);
        EXPECT_TRUE(NormaliseSetting(key, builtIn)) << key;
    }
}

// A podcast's own value wins over the default, the default over the built-in
// value; a value that does not normalise counts as not set.
TEST(PodcastSettings, APodcastInheritsWhatItDoesNotSet) {
    // paused, refetch-deleted, on-subscribe, keep, keep-days and names in one line.
    const auto fields = [](const PodcastSettings& s) {
        return std::to_string(s.paused) + std::to_string(s.refetchDeleted) + " " +
               std::to_string(s.onSubscribe) + " " + std::to_string(s.keep) + " " +
               std::to_string(s.keepDays) + " " + s.names;
    };
    EXPECT_EQ(fields(ResolveSettings({}, {})), "01 -1 -1 -1 ");

    const SettingValues defaults = {
        {"keep", "5"}, {"paused", "Yes"}, {"keep-days", "0"}, {"names", "{date} {title}.{ext}"}};
    const SettingValues own = {{"keep", "all"},
                               {"on-subscribe", "0"},
                               {"paused", "maybe"},
                               {"names", "url"},
                               {"refetch-deleted", "off"}};
    // "maybe" is no value: the default's paused; the default's "0" is no
    // value: the built-in keep-days.
    EXPECT_EQ(fields(ResolveSettings(defaults, own)), "10 0 -1 -1 ");
    EXPECT_EQ(fields(ResolveSettings(defaults, {})), "11 -1 5 -1 {date} {title}.{ext}");

    const auto rows = [](const std::vector<SettingRow>& list) {
        std::vector<std::string> out;
        for (const SettingRow& row : list)
            out.push_back(row.key + "=" + row.value + (row.inherited ? " (inherited)" : ""));
        return out;
    };
    EXPECT_EQ(
        rows(ListSettings(defaults, own, false)),
        (std::vector<std::string>{"paused=yes (inherited)", "refetch-deleted=no", "on-subscribe=0",
                                  "keep=all", "keep-days=all (inherited)", "names=url"}));
    EXPECT_EQ(rows(ListSettings({}, defaults, true)),
              (std::vector<std::string>{
                  "paused=yes", "refetch-deleted=yes (inherited)", "on-subscribe=all (inherited)",
                  "keep=5", "keep-days=all (inherited)", "names={date} {title}.{ext}"}));
}

} // namespace
