// The episode library through the library's own operations: real HTTP on
// loopback, real files, a real store in the base directory.
#include "core/library/PodcastLibrary.h"

#include "core/files/BaseDirectory.h"
#include "core/util/Strings.h"
#include "support/EventRecorder.h"
#include "support/Feeds.h"
#include "support/LoopbackServer.h"
#include "support/TestClock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <unordered_map>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

namespace {

// The test clock's calendar time as a feed writes it, `days` earlier.
std::string DaysBefore(int days) {
    const std::time_t at = 1700000000 - static_cast<std::time_t>(days) * 86400;
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S +0000", std::gmtime(&at));
    return text;
}

// A feed whose items have guids: item i is "Episode i" at /media/epI.mp3,
// i days old, newest first.
struct ShowFeed {
    std::string title = "Show";
    int episodes = 3;
    std::string query;              // appended to every enclosure URL
    std::string prefix = "/media/"; // where the enclosures are served
    std::string extra;              // more channel elements

    std::string Text() const {
        std::string text = "<?xml version=\"1.0\"?>\n<rss version=\"2.0\" "
                           "xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"><channel>"
                           "<title>" +
                           title + "</title>" + extra;
        for (int i = episodes; i >= 1; --i) {
            const std::string n = std::to_string(i);
            text += "<item><title>Episode " + n + "</title><guid>ep-" + n + "</guid><pubDate>" +
                    DaysBefore(episodes - i) + "</pubDate><enclosure url=\"" + prefix + "ep" + n +
                    ".mp3" + query + "\" length=\"5\" type=\"audio/mpeg\"/></item>";
        }
        return text + "</channel></rss>";
    }
};

class EpisodeLibraryTest : public testing::Test {
protected:
    EpisodeLibraryTest() {
        fs::create_directories(base);
        options.feedCacheDirectory = cacheRoot.Path().string();
        options.clock = &clock;
        for (int i = 1; i <= 8; ++i)
            server.Serve("/media/ep" + std::to_string(i) + ".mp3", "audio" + std::to_string(i));
        ServeFeed("/feed.xml", feed);
    }
    // Served anew at every request; every path is served before the first Start.
    void ServeFeed(const std::string& path, const ShowFeed& served) {
        server.ServeResource(path, {served.Text(), "", "", "application/rss+xml"});
    }
    // A program starting on the base directory (the one before ends first).
    PodcastLibrary& Start() {
        if (!serving) {
            server.Start();
            serving = true;
        }
        library.reset();
        library = std::make_unique<PodcastLibrary>(view, StartupSwitches{}, options);
        EXPECT_EQ(library->ClaimBaseDirectory(base), PodcastLibrary::Claim::Obtained);
        library->Open();
        return *library;
    }
    // Subscribes and waits for the first check to end.
    SubscriptionPtr Subscribe(const std::string& path) {
        SubscriptionPtr record = library->Subscribe(server.Url(path)).record;
        EXPECT_TRUE(library->WaitForIdle(1min));
        return record;
    }
    // "Check for new items", to its end.
    void Check() {
        library->CheckForNewItems();
        ASSERT_TRUE(library->WaitForIdle(1min));
    }
    void Set(const SubscriptionPtr& record, const std::string& key, const std::string& value) {
        std::string problem;
        ASSERT_EQ(library->ChangeSettings(record, {{key, value}}, problem),
                  PodcastLibrary::SettingsResult::Done)
            << problem;
    }
    // Hits of /media/ep1.mp3 ... epN.mp3.
    std::vector<int> Hits(int n = 5) const {
        std::vector<int> hits;
        for (int i = 1; i <= n; ++i)
            hits.push_back(server.Hits("/media/ep" + std::to_string(i) + ".mp3"));
        return hits;
    }
    // "state file" of every episode the store knows, newest first.
    Texts States(const SubscriptionPtr& record) {
        std::vector<StoredEpisode> episodes;
        EXPECT_EQ(library->EpisodesOf(record, episodes), PodcastLibrary::EpisodeQuery::Done);
        Texts states;
        for (const StoredEpisode& e : episodes)
            states.push_back(e.title + ": " + EpisodeStateName(e.state) +
                             (e.file.empty() ? "" : " " + e.file));
        return states;
    }
    Texts Files(const std::string& folder) const {
        Texts names;
        for (const auto& entry : fs::directory_iterator(fs::path(base) / folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir cacheRoot;
    TempDir root;
    std::string base = root.Base() + "pods/";
    TestClock clock;
    EngineOptions options;
    EventRecorder view;
    LoopbackServer server;
    bool serving = false;
    std::unique_ptr<PodcastLibrary> library;
    ShowFeed feed; // served at /feed.xml from the start
};

TEST_F(EpisodeLibraryTest, DefaultsKeepThePlainRuleAndABaseDirectoryFromBeforeFetchesNothingAgain) {
    // A base directory as a program without a store left it: two of three
    // files there, the archive recording all three.
    WriteFile(base + kSettingsFileName, MakeSettings({{server.Url("/feed.xml"), "Show"}}));
    fs::create_directories(base + "Show");
    WriteFile(base + "Show/ep3.mp3", "audio3");
    WriteFile(base + "Show/ep2.mp3", "audio2");
    std::string archive = "<?xml version=\"1.0\" ?>\n<TessarineFeed>";
    for (int i = 3; i >= 1; --i)
        archive += "<item><title>Episode " + std::to_string(i) + "</title><description /><link>" +
                   server.Url("/media/ep") + std::to_string(i) + ".mp3</link><pubDate /></item>";
    WriteFile(base + "Show/" + kArchiveFileName, archive + "</TessarineFeed>\n");

    Start();
    ASSERT_TRUE(library->HasEpisodeStore());
    const SubscriptionPtr show = library->FindPodcast("show");
    ASSERT_TRUE(show);
    // Filled from the archive and the files before any check.
    EXPECT_EQ(States(show), (Texts{"Episode 3: downloaded Show/ep3.mp3",
                                   "Episode 2: downloaded Show/ep2.mp3", "Episode 1: new"}));
    Check();
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 0, 0}));
    // The default fetches a deleted file again, as the plain rule does.
    fs::remove(base + "Show/ep2.mp3");
    Check();
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 1, 0}));
    EXPECT_TRUE(view.Messages().empty()) << view.Messages().front();
}

TEST_F(EpisodeLibraryTest, ADeletedEpisodeStaysDeletedAndAgainFetchesItOnce) {
    Start();
    Set(nullptr, "refetch-deleted", "no");
    Subscribe("/feed.xml");
    fs::remove(base + "Show/ep2.mp3");
    Check();
    Start(); // a fresh program knows it as well
    Check();
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(States(library->FindPodcast("Show"))[1], "Episode 2: deleted Show/ep2.mp3");

    EXPECT_EQ(library->DownloadAgain(library->FindPodcast("Show"), "Episode 2"),
              PodcastLibrary::AgainResult::Marked);
    Check();
    Check();
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 2, 1}));

    // Again also replaces a file that is there, by its guid or file name.
    WriteFile(base + "Show/ep3.mp3", "damaged");
    EXPECT_EQ(library->DownloadAgain(library->FindPodcast("Show"), "ep3.mp3"),
              PodcastLibrary::AgainResult::Marked);
    Check();
    EXPECT_EQ(ReadFile(base + "Show/ep3.mp3"), "audio3");
    Check();
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 2, 2}));
}

// What the Episodes window does to episodes picked by key: delete their
// files (fetched again or not as refetch-deleted says), mark them as not
// wanted, download them again.
TEST_F(EpisodeLibraryTest, PickedEpisodesDeletedUnwantedAndFetchedAgainByKey) {
    Start();
    const SubscriptionPtr show = Subscribe("/feed.xml");
    Set(show, "refetch-deleted", "no");
    const Texts keys = {"guid:ep-3", "guid:ep-2", "guid:ep-1"}; // newest first
    EXPECT_EQ(library->EpisodeFile(show, keys[0]), base + "Show/ep3.mp3");
    EXPECT_EQ(library->EpisodeFile(show, "nothing"), std::nullopt);

    const auto pick = [&](PodcastLibrary::EpisodePick what, std::vector<std::string> picked) {
        size_t changed = 99;
        EXPECT_EQ(library->PickEpisodes(show, what, picked, &changed),
                  PodcastLibrary::EpisodeQuery::Done);
        return changed;
    };
    using Pick = PodcastLibrary::EpisodePick;
    // Only downloaded files are deleted; unknown keys are passed over.
    EXPECT_EQ(pick(Pick::DeleteFile, {keys[0], "nothing"}), 1u);
    EXPECT_EQ(pick(Pick::DeleteFile, {keys[0]}), 0u);
    EXPECT_FALSE(fs::exists(base + "Show/ep3.mp3"));
    // Downloaded episodes are not marked as unwanted; the deleted one is.
    EXPECT_EQ(pick(Pick::NotWanted, {keys[0], keys[1]}), 1u);
    EXPECT_EQ(States(show)[0], "Episode 3: skipped Show/ep3.mp3");
    // Asked for again, it is fetched once, whatever it was.
    EXPECT_EQ(pick(Pick::DownloadAgain, {keys[0]}), 1u);
    Check();
    Check();
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 1, 2}));

    // With refetch-deleted the next check downloads a deleted file again.
    Set(show, "refetch-deleted", "inherit");
    EXPECT_EQ(pick(Pick::DeleteFile, {keys[1]}), 1u);
    Check();
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 2, 2}));
    // A link put where a file was is not followed: only the record changes.
    fs::remove(base + "Show/ep1.mp3");
    fs::create_symlink(base + "Show/ep2.mp3", base + "Show/ep1.mp3");
    EXPECT_EQ(pick(Pick::DeleteFile, {keys[2]}), 1u);
    EXPECT_TRUE(fs::is_symlink(base + "Show/ep1.mp3"));
    EXPECT_TRUE(fs::exists(base + "Show/ep2.mp3"));
    EXPECT_TRUE(view.Messages().empty()) << view.Messages().front();
}

TEST_F(EpisodeLibraryTest, AnEnclosureThatChangesItsUrlIsTheSameEpisode) {
    server.Serve("/cdn/v2-ep4.mp3", "audio4");
    Start();
    Subscribe("/feed.xml");
    // A new query token on every URL, then another host path and name.
    feed.query = "?token=2";
    ServeFeed("/feed.xml", feed);
    Check();
    feed.query.clear();
    feed.prefix = "/cdn/v2-";
    ServeFeed("/feed.xml", feed);
    Check();
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(Files("Show"), (Texts{"ep1.mp3", "ep2.mp3", "ep3.mp3", kArchiveFileName}));
    // A new episode comes from its new address.
    feed.episodes = 4;
    ServeFeed("/feed.xml", feed);
    Check();
    EXPECT_EQ(ReadFile(base + "Show/v2-ep4.mp3"), "audio4");
}

TEST_F(EpisodeLibraryTest, KeepOnSubscribeAndKeepDaysDecideWhatIsFetchedAndKept) {
    feed.episodes = 5;
    ServeFeed("/keep.xml", feed);
    feed.title = "Fresh";
    feed.prefix = "/fresh/";
    ServeFeed("/fresh.xml", feed);
    for (int i = 1; i <= 6; ++i)
        server.Serve("/fresh/ep" + std::to_string(i) + ".mp3", "fresh");
    Start();
    Set(nullptr, "on-subscribe", "2");
    const SubscriptionPtr show = library->AddLookedUp(server.Url("/keep.xml")).record;
    Set(show, "keep", "3");
    Set(show, "on-subscribe", "all");
    const SubscriptionPtr fresh = library->AddLookedUp(server.Url("/fresh.xml")).record;
    library->SaveSettings();
    Check();
    // Keep 3 of 5: only the newest three are fetched. On subscribing, only
    // the newest two (the default Fresh inherits); the rest are skipped.
    EXPECT_EQ(Files("Show"), (Texts{"ep3.mp3", "ep4.mp3", "ep5.mp3"}));
    EXPECT_EQ(Files("Fresh"), (Texts{"ep4.mp3", "ep5.mp3"}));
    EXPECT_EQ(States(fresh),
              (Texts{"Episode 5: downloaded Fresh/ep5.mp3", "Episode 4: downloaded Fresh/ep4.mp3",
                     "Episode 3: skipped", "Episode 2: skipped", "Episode 1: skipped"}));
    Check();
    EXPECT_EQ(Hits(5), (std::vector<int>{0, 0, 1, 1, 1}));

    // Nothing older than a day: the clean-up's dry run lists, the real one
    // removes, and a removed episode is never fetched again.
    Set(show, "keep", "all");
    Set(show, "keep-days", "1");
    std::vector<PodcastLibrary::CleanedFile> files;
    EXPECT_EQ(library->CleanUp(true, files), PodcastLibrary::EpisodeQuery::Done);
    EXPECT_EQ(files.size() == 1 ? files[0].podcast + ": " + files[0].file : "",
              "Show: Show/ep3.mp3");
    EXPECT_TRUE(fs::exists(base + "Show/ep3.mp3"));
    EXPECT_EQ(library->CleanUp(false, files), PodcastLibrary::EpisodeQuery::Done);
    EXPECT_FALSE(fs::exists(base + "Show/ep3.mp3"));
    Check();
    EXPECT_EQ(Hits(5), (std::vector<int>{0, 0, 1, 1, 1}));
    EXPECT_EQ(States(show)[2], "Episode 3: removed Show/ep3.mp3");

    // The end of a cycle applies keep by itself.
    Set(fresh, "keep", "1");
    Check();
    EXPECT_EQ(Files("Fresh"), (Texts{"ep5.mp3", kArchiveFileName}));

    // A paused podcast is passed over by "Check for new items", not by
    // "Update this podcast now".
    Set(fresh, "paused", "yes");
    feed.episodes = 6;
    ServeFeed("/fresh.xml", feed);
    Check();
    EXPECT_EQ(server.Hits("/fresh/ep6.mp3"), 0);
    library->UpdateNow(fresh);
    ASSERT_TRUE(library->WaitForIdle(1min));
    EXPECT_EQ(server.Hits("/fresh/ep6.mp3"), 1);

    // Each podcast's own options travel in an OPML export, and an import
    // into another base directory takes them.
    const std::string opml = library->ExportOpml("Feeds", 0);
    base = root.Base() + "other/";
    fs::create_directories(base);
    Start();
    library->AddFeeds(*ReadOpml(opml));
    std::vector<SettingRow> rows;
    ASSERT_EQ(library->SettingsOf(library->FindPodcast(server.Url("/fresh.xml")), rows),
              PodcastLibrary::EpisodeQuery::Done);
    Texts own;
    for (const SettingRow& row : rows)
        if (!row.inherited)
            own.push_back(row.key + "=" + row.value);
    EXPECT_EQ(own, (Texts{"paused=yes", "keep=1"}));
}

TEST_F(EpisodeLibraryTest, APodcastThatChangesItsTitleKeepsItsFolderAndFiles) {
    Start();
    const SubscriptionPtr show = Subscribe("/feed.xml");
    Check(); // the archive is written from the second check on
    feed.title = "Show (fixed typo)";
    ServeFeed("/feed.xml", feed);
    Check();
    EXPECT_FALSE(fs::exists(base + "Show"));
    EXPECT_EQ(Files("Show (fixed typo)"),
              (Texts{"ep1.mp3", "ep2.mp3", "ep3.mp3", kArchiveFileName}));
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(States(show)[0], "Episode 3: downloaded Show (fixed typo)/ep3.mp3");

    // Where a folder of the new name exists, the files stay and nothing is
    // fetched again either.
    fs::create_directories(base + "Taken");
    feed.title = "Taken";
    ServeFeed("/feed.xml", feed);
    Check();
    EXPECT_EQ(Files("Show (fixed typo)").size(), 4u);
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 1, 1}));
}

TEST_F(EpisodeLibraryTest, AMovedFeedIsFollowedOnceTheNewAddressAnswersWithAFeed) {
    ServeFeed("/new.xml", feed);
    const auto redirect = [&](const std::string& from, int status, const std::string& to) {
        server.Server().Get(from,
                            [this, status, to](const httplib::Request&, httplib::Response& r) {
                                r.status = status;
                                r.set_header("Location", server.Url(to));
                            });
    };
    redirect("/old.xml", 301, "/new.xml");
    redirect("/temp.xml", 302, "/new.xml");
    ServeFeed("/newer.xml", feed);
    Start();
    Subscribe("/old.xml");
    Subscribe("/temp.xml");
    const std::string settings = ReadFile(base + kSettingsFileName);
    EXPECT_NE(settings.find(server.Url("/new.xml")), std::string::npos);
    EXPECT_EQ(settings.find(server.Url("/old.xml")), std::string::npos);
    EXPECT_NE(settings.find(server.Url("/temp.xml")), std::string::npos); // 302: no move
    ASSERT_TRUE(library->FindPodcast(server.Url("/new.xml")));

    // A document naming a new address, which the podcast moved away from:
    // not taken back.
    feed.extra = "<itunes:new-feed-url>" + server.Url("/old.xml") + "</itunes:new-feed-url>";
    ServeFeed("/new.xml", feed);
    Check();
    EXPECT_TRUE(library->FindPodcast(server.Url("/new.xml")));

    // A document naming a subscribed feed: both stay, told once.
    feed.extra = "<itunes:new-feed-url>" + server.Url("/temp.xml") + "</itunes:new-feed-url>";
    ServeFeed("/new.xml", feed);
    const size_t told = view.Messages().size();
    Check();
    Check();
    EXPECT_EQ(view.Messages().size(), told + 1) << testing::PrintToString(view.Messages());
    EXPECT_EQ(library->SubscriptionCount(), 2u);

    // A named address that answers with a feed is taken.
    feed.extra = "<itunes:new-feed-url>" + server.Url("/newer.xml") + "</itunes:new-feed-url>";
    ServeFeed("/new.xml", feed);
    feed.extra.clear();
    ServeFeed("/newer.xml", feed);
    Check();
    EXPECT_TRUE(library->FindPodcast(server.Url("/newer.xml")));
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 1, 1})); // one podcast, its files kept
}

// The user gives a podcast another address: it keeps its folder, files,
// episodes and options, may go back to an address it left, and the change
// waits while a cycle runs.
TEST_F(EpisodeLibraryTest, AnAddressChangedByHandKeepsFolderEpisodesAndOptions) {
    using Change = PodcastLibrary::AddressChange;
    ServeFeed("/old.xml", feed);
    feed.episodes = 4;
    ServeFeed("/new.xml", feed);
    ShowFeed other;
    other.title = "Other";
    other.episodes = 1;
    ServeFeed("/other.xml", other);
    server.ServePartial("/media/ep5.mp3", 1000, 10, true);
    Start();
    const SubscriptionPtr show = Subscribe("/old.xml");
    Set(show, "keep", "5");
    const auto change = [&](const std::string& typed, Change expected) {
        std::string url;
        EXPECT_EQ(library->ChangeAddress(show, typed, url), expected) << typed;
        return url;
    };
    const std::string newUrl = server.Url("/new.xml");
    EXPECT_EQ(change("feed:" + newUrl, Change::Changed), newUrl);
    const std::string settings = ReadFile(base + kSettingsFileName);
    EXPECT_NE(settings.find(newUrl), std::string::npos);
    EXPECT_EQ(settings.find(server.Url("/old.xml")), std::string::npos);
    EXPECT_EQ(library->FindPodcast(newUrl), show);
    std::vector<SettingRow> rows;
    ASSERT_EQ(library->SettingsOf(show, rows), PodcastLibrary::EpisodeQuery::Done);
    EXPECT_EQ(rows[3].value + (rows[3].inherited ? " inherited" : ""), "5");
    Check();
    EXPECT_EQ(Hits(4), (std::vector<int>{1, 1, 1, 1})); // only the new episode
    EXPECT_EQ(States(show).front(), "Episode 4: downloaded Show/ep4.mp3");

    // The newest episode shows what a rule of file names makes of it.
    const std::optional<StoredEpisode> newest = library->NewestEpisode(show);
    ASSERT_TRUE(newest);
    EXPECT_EQ(PodcastLibrary::EpisodeFileNameFor(*newest, "Show", "{date} {title}.{ext}"),
              "2023-11-14 Episode 4.mp3");
    EXPECT_EQ(PodcastLibrary::EpisodeFileNameFor(*newest, "Show", "url"), "ep4.mp3");

    Subscribe("/other.xml");
    EXPECT_EQ(change("ftp://example.org/feed.xml", Change::NotAFeedAddress),
              "ftp://example.org/feed.xml");
    change(" " + newUrl + " ", Change::Unchanged);
    change("127.0.0.1:" + std::to_string(server.Port()) + "/other.xml", Change::AlreadySubscribed);
    EXPECT_EQ(library->FindPodcast(newUrl), show);
    // Back to the address it moved away from: the user's word.
    change(server.Url("/old.xml"), Change::Changed);
    EXPECT_EQ(library->FindPodcast(server.Url("/old.xml")), show);

    // While a download runs, the address stays.
    feed.episodes = 5;
    ServeFeed("/old.xml", feed);
    library->CheckForNewItems();
    ASSERT_TRUE(server.AwaitRequests([&] { return server.Hits("/media/ep5.mp3") > 0; }));
    change(newUrl, Change::Busy);
    EXPECT_EQ(library->FindPodcast(server.Url("/old.xml")), show);
    server.Stop();
    EXPECT_TRUE(library->WaitForIdle(1min));
}

TEST_F(EpisodeLibraryTest, NamePatternsMediaContentAndThePlayableOfSeveralEnclosures) {
    const auto item = [&](const std::string& title, const std::string& inside) {
        return "<item><title>" + title + "</title><guid>" + title + "</guid>" + inside + "</item>";
    };
    const auto enclosure = [&](const std::string& path, const std::string& type) {
        return "<enclosure url=\"" + server.Url(path) + "\" type=\"" + type + "\"/>";
    };
    const auto feed = [&](const std::string& items) {
        return "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\"><channel>"
               "<title>Mixed</title>" +
               items + "</channel></rss>";
    };
    const std::string first =
        // A transcript before the episode: the audio is the episode.
        item("One", enclosure("/media/ep1.txt", "text/plain") +
                        enclosure("/media/ep1.mp3", "audio/mpeg")) +
        // No enclosure, but audio as media content (in a group).
        item("Two", "<media:group><media:content url=\"" + server.Url("/media/cover.jpg") +
                        "\" type=\"image/jpeg\"/><media:content url=\"" +
                        server.Url("/media/ep2.mp3") + "\" medium=\"audio\"/></media:group>") +
        // Only a picture: nothing to download.
        item("Three",
             "<media:content url=\"" + server.Url("/media/cover.jpg") + "\" type=\"image/jpeg\"/>");
    server.ServeResource("/mixed.xml", {feed(first), "", "", "application/rss+xml"});
    server.Serve("/media/ep1.txt", "text");
    server.Serve("/media/cover.jpg", "jpeg");
    Start();
    const SubscriptionPtr mixed = Subscribe("/mixed.xml");
    EXPECT_EQ(Files("Mixed"), (Texts{"ep1.mp3", "ep2.mp3"}));
    EXPECT_EQ(server.Hits("/media/ep1.txt") + server.Hits("/media/cover.jpg"), 0);

    // A pattern names new files only: two episodes of one title are told
    // apart, a title cannot lead out of the folder, and nothing is fetched
    // again for the files there.
    Set(mixed, "names", "{title}.{ext}");
    server.ServeResource("/mixed.xml",
                         {feed(first + item("../Four", enclosure("/media/ep4.mp3", "audio/mpeg")) +
                               "<item><title>../Four</title><guid>again</guid>" +
                               enclosure("/media/ep5.mp3", "audio/mpeg") + "</item>"),
                          "", "", "application/rss+xml"});
    Check();
    const Texts files = Files("Mixed");
    ASSERT_EQ(files.size(), 5u) << testing::PrintToString(files);
    EXPECT_TRUE(files[0].starts_with(".._Four-") && files[0].ends_with(".mp3")) << files[0];
    EXPECT_EQ(files[1], ".._Four.mp3");
    EXPECT_EQ(Hits(5), (std::vector<int>{1, 1, 0, 1, 1}));
}

TEST_F(EpisodeLibraryTest, AnUnreadableStoreIsKeptAsideAndRebuiltFromTheFolders) {
    Start();
    Subscribe("/feed.xml");
    library.reset();
    WriteFile(base + kEpisodeStoreFileName, std::string(4096, 'x'));
    const size_t told = view.Messages().size();
    Start();
    ASSERT_TRUE(library->HasEpisodeStore());
    ASSERT_EQ(view.Messages().size(), told + 1);
    Texts kept;
    for (const auto& entry : fs::directory_iterator(base))
        if (entry.path().filename().string().find(".unreadable-") != std::string::npos)
            kept.push_back(entry.path().filename().string());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadFile(base + kept[0]), std::string(4096, 'x'));
    Check();
    EXPECT_EQ(Hits(3), (std::vector<int>{1, 1, 1}));
    // The lock is still held: a second program on the base directory is kept out.
    EventRecorder other;
    EXPECT_EQ(PodcastLibrary(other, {}, options).ClaimBaseDirectory(base),
              PodcastLibrary::Claim::HeldElsewhere);
}

} // namespace

// How the checks ended is written once the walk is over, all at once, and a
// program without the base directory's lock reads it from the store while
// the program that holds it goes on.
TEST_F(EpisodeLibraryTest, HowChecksEndedIsInTheStoreOnceTheWalkIsOver) {
    ServeFeed("/show.xml", ShowFeed{});
    server.Serve("/gone.xml", "gone", "text/plain", 404);
    Start();
    const SubscriptionPtr show = Subscribe("/show.xml");
    const SubscriptionPtr gone = Subscribe("/gone.xml");
    Check();
    const auto statuses = EpisodeLedger::PeekCheckStatuses(library->BaseDirectory());
    ASSERT_TRUE(statuses.has_value());
    EXPECT_EQ(*statuses, (std::unordered_map<std::string, int32_t>{
                             {server.Url("/show.xml"), library->LastCheckStatus(show)},
                             {server.Url("/gone.xml"), Error}}));
    EXPECT_EQ(library->LastCheckStatus(gone), Error);
    // The next program on the base directory starts from them.
    Start();
    const std::vector<SubscriptionSnapshot> rows = library->SubscriptionRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(library->LastCheckStatus(rows[1].record), Error);
}
