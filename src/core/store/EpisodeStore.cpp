#include "core/store/EpisodeStore.h"

#include "core/files/BaseDirectory.h"
#include "core/model/SettingsFile.h"

#include <sqlite3.h>

#include <filesystem>
#include <iterator>
#include <system_error>

namespace tessarine {

namespace {

// The schema, one script per version: the script at index i brings a file of
// version i to version i + 1. A published script never changes; a new
// version appends one.
const char* const kMigrations[] = {
    // 1: the first schema.
    R"sql(
-- One row per subscription the store has met, by its current feed URL.
CREATE TABLE podcast (
    id INTEGER PRIMARY KEY,
    url TEXT NOT NULL UNIQUE,
    folder TEXT NOT NULL DEFAULT ''  -- relative to the base directory
);

-- The addresses a podcast moved away from, never taken back.
CREATE TABLE podcast_url_history (
    podcast_id INTEGER NOT NULL REFERENCES podcast (id) ON DELETE CASCADE,
    url TEXT NOT NULL,
    moved_at INTEGER NOT NULL DEFAULT 0,  -- seconds since the epoch
    PRIMARY KEY (podcast_id, url)
) WITHOUT ROWID;
CREATE INDEX podcast_url_history_url ON podcast_url_history (url);

-- Options by key: podcast_id NULL holds the default of every podcast.
CREATE TABLE setting (
    podcast_id INTEGER REFERENCES podcast (id) ON DELETE CASCADE,
    key TEXT NOT NULL,
    value TEXT NOT NULL
);
CREATE UNIQUE INDEX setting_key ON setting (ifnull(podcast_id, 0), key);

-- Episodes by their identity within the podcast: the guid; without one the
-- enclosure URL without query and fragment; without that title and date.
CREATE TABLE episode (
    id INTEGER PRIMARY KEY,
    podcast_id INTEGER NOT NULL REFERENCES podcast (id) ON DELETE CASCADE,
    key TEXT NOT NULL,
    guid TEXT NOT NULL DEFAULT '',
    url TEXT NOT NULL DEFAULT '',
    title TEXT NOT NULL DEFAULT '',
    date TEXT NOT NULL DEFAULT '',   -- ISO 8601
    state TEXT NOT NULL DEFAULT 'new' CHECK (state IN
        ('new', 'queued', 'downloaded', 'deleted', 'removed', 'skipped', 'failed')),
    file TEXT NOT NULL DEFAULT '',   -- relative to the base directory
    attempts INTEGER NOT NULL DEFAULT 0,
    reason TEXT NOT NULL DEFAULT '',
    first_seen INTEGER NOT NULL DEFAULT 0,
    UNIQUE (podcast_id, key)
);
CREATE INDEX episode_state ON episode (podcast_id, state, date);
CREATE INDEX episode_file ON episode (file) WHERE file <> '';

-- How the podcast's last check ended.
CREATE TABLE check_result (
    podcast_id INTEGER PRIMARY KEY REFERENCES podcast (id) ON DELETE CASCADE,
    status INTEGER NOT NULL,
    reason_kind TEXT NOT NULL DEFAULT '',
    reason_detail TEXT NOT NULL DEFAULT '',
    http_status INTEGER NOT NULL DEFAULT 0,
    checked_at INTEGER NOT NULL DEFAULT 0
);

-- The podcast's archive as last brought up to date: while its stamp and the
-- hash of the feed's enclosure URLs are the same, nothing is to be appended
-- and the archive is not read.
CREATE TABLE archive_memo (
    podcast_id INTEGER PRIMARY KEY REFERENCES podcast (id) ON DELETE CASCADE,
    size INTEGER NOT NULL,
    modified INTEGER NOT NULL,      -- nanoseconds
    links_hash INTEGER NOT NULL,
    items INTEGER NOT NULL DEFAULT 0
);
)sql",
    // 2: what the engine needs to decide per podcast and episode.
    R"sql(
-- 0 while a podcast's first check is still to come: only that check applies
-- on-subscribe. Podcasts met before this version count as checked.
ALTER TABLE podcast ADD COLUMN checked INTEGER NOT NULL DEFAULT 1;
-- The address of a subscribed feed this podcast said it moved to, once the
-- user has been told that the move cannot be followed.
ALTER TABLE podcast ADD COLUMN move_told TEXT NOT NULL DEFAULT '';
-- 1: the next check downloads the episode once, whatever became of it.
ALTER TABLE episode ADD COLUMN again INTEGER NOT NULL DEFAULT 0;
-- Archives by their path below the base directory, with the whole stamp
-- of the file as the engine left it.
DROP TABLE archive_memo;
CREATE TABLE archive_memo (
    file TEXT PRIMARY KEY,
    device INTEGER NOT NULL,
    inode INTEGER NOT NULL,
    size INTEGER NOT NULL,
    modified INTEGER NOT NULL,  -- nanoseconds
    changed INTEGER NOT NULL,   -- nanoseconds
    links_hash INTEGER NOT NULL
) WITHOUT ROWID;
)sql",
    // 3: what the episode list shows of each episode.
    R"sql(
-- The running time in seconds the feed gives; -1 when it gives none.
ALTER TABLE episode ADD COLUMN duration INTEGER NOT NULL DEFAULT -1;
-- Bytes: the file's once downloaded, before that the enclosure's announced
-- length; -1 when neither is known.
ALTER TABLE episode ADD COLUMN size INTEGER NOT NULL DEFAULT -1;
)sql",
};

constexpr const char* kStateNames[] = {"new",     "queued",  "downloaded", "deleted",
                                       "removed", "skipped", "failed"};

bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

} // namespace

const char* EpisodeStateName(EpisodeState state) {
    return kStateNames[static_cast<int>(state)];
}

bool ParseEpisodeState(const std::string& name, EpisodeState& state) {
    for (size_t i = 0; i < std::size(kStateNames); ++i) {
        if (name == kStateNames[i]) {
            state = static_cast<EpisodeState>(i);
            return true;
        }
    }
    return false;
}

int EpisodeStore::LatestVersion() {
    return static_cast<int>(std::size(kMigrations));
}

EpisodeStore::OpenResult EpisodeStore::Open(const std::string& base) {
    return OpenFile(base + kEpisodeStoreFileName);
}

void EpisodeStore::Close() {
    putTexts_.reset();
    putDecided_.reset();
    db_.Close();
}

EpisodeStore::OpenResult EpisodeStore::Refuse(OpenResult result, DbError error) {
    Close();
    error_ = std::move(error);
    return result;
}

EpisodeStore::OpenResult EpisodeStore::OpenFile(const std::string& path) {
    namespace fs = std::filesystem;
    Close();
    error_ = {};
    foundVersion_ = 0;

    // SQLite would wait on a FIFO and fail on a folder: whatever stands there
    // and is no regular file (a dangling link included) is no store.
    std::error_code error;
    if (Exists(path) && !fs::is_regular_file(fs::status(path, error)))
        return Refuse(OpenResult::Unreadable, {SQLITE_NOTADB, "not a regular file"});

    if (DbError failed = db_.Open(path))
        return Refuse(failed.Damaged() ? OpenResult::Unreadable : OpenResult::Failed,
                      std::move(failed));
    if (db_.ReadOnly())
        return Refuse(OpenResult::Failed, {SQLITE_READONLY, "the store is write-protected"});

    // Only reads until the file is known as a store of a version this program
    // knows: its header (a file that is no database fails here, as does one
    // cut shorter than its header says), then its schema (a damaged one fails
    // here).
    int64_t version = 0, application = 0, objects = 0;
    DbError failed = db_.QueryInt("PRAGMA user_version", version);
    if (!failed)
        failed = db_.QueryInt("PRAGMA application_id", application);
    if (!failed)
        failed = db_.QueryInt("SELECT count(*) FROM sqlite_schema", objects);
    if (failed)
        return Refuse(failed.Damaged() ? OpenResult::Unreadable : OpenResult::Failed,
                      std::move(failed));
    // An empty database (a file just created, or one of no bytes) becomes a
    // store; any other without our id is another program's.
    const bool empty = version == 0 && application == 0 && objects == 0;
    if (!empty && application != kApplicationId)
        return Refuse(OpenResult::Unreadable, {SQLITE_NOTADB, "not an episode store"});
    if (version > LatestVersion())
        return Refuse(OpenResult::TooNew,
                      {SQLITE_ERROR, "schema version " + std::to_string(version)});
    foundVersion_ = static_cast<int>(version);

    failed = db_.SetDeleteJournal();
    if (!failed)
        failed = Migrate();
    if (failed)
        return Refuse(failed.Damaged() ? OpenResult::Unreadable : OpenResult::Failed,
                      std::move(failed));
    return OpenResult::Opened;
}

bool EpisodeStore::OpenForReading(const std::string& base) {
    const std::string path = base + kEpisodeStoreFileName;
    Close();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || db_.OpenForReading(path))
        return false;
    int64_t version = 0, application = 0;
    if (db_.QueryInt("PRAGMA user_version", version) ||
        db_.QueryInt("PRAGMA application_id", application) || application != kApplicationId ||
        version < 1 || version > LatestVersion()) {
        db_.Close();
        return false;
    }
    foundVersion_ = static_cast<int>(version);
    return true;
}

DbError EpisodeStore::Migrate() {
    for (int version = foundVersion_; version < LatestVersion(); ++version) {
        Transaction transaction(db_);
        DbError failed = transaction.Error();
        if (!failed)
            failed = db_.Execute(kMigrations[version]);
        if (!failed)
            failed = db_.Execute("PRAGMA application_id = " + std::to_string(kApplicationId) +
                                 "; PRAGMA user_version = " + std::to_string(version + 1));
        if (!failed)
            failed = transaction.Commit();
        if (failed)
            return failed;
    }
    return {};
}

int EpisodeStore::Version() {
    int64_t version = 0;
    db_.QueryInt("PRAGMA user_version", version);
    return static_cast<int>(version);
}

DbError EpisodeStore::Podcast(const std::string& url, const std::string& folder, int64_t& id,
                              bool checked) {
    id = 0;
    Statement add(db_, "INSERT INTO podcast (url, folder, checked) VALUES (?1, ?2, ?3)"
                       " ON CONFLICT (url) DO NOTHING");
    if (DbError failed = add.Bind(1, url).Bind(2, folder).Bind(3, checked ? 1 : 0).Run())
        return failed;
    Statement find(db_, "SELECT id FROM podcast WHERE url = ?1");
    if (find.Bind(1, url).Step())
        id = find.Int(0);
    return find.Error();
}

DbError EpisodeStore::PutEpisode(int64_t podcast, const StoredEpisode& episode, bool decided) {
    const std::string sql =
        std::string("INSERT INTO episode (podcast_id, key, guid, url, title, date, state, file,"
                    " attempts, reason, first_seen, again, duration, size)"
                    " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)"
                    " ON CONFLICT (podcast_id, key) DO UPDATE SET guid = excluded.guid,"
                    " url = excluded.url, title = excluded.title, date = excluded.date,"
                    " duration = excluded.duration") +
        (decided ? ", state = excluded.state, file = excluded.file, again = excluded.again,"
                   " size = excluded.size"
                 : "");
    std::unique_ptr<Statement>& cached = decided ? putDecided_ : putTexts_;
    if (cached)
        cached->Reset();
    else
        cached = std::make_unique<Statement>(db_, sql);
    Statement& put = *cached;
    return put.Bind(1, podcast)
        .Bind(2, episode.key)
        .Bind(3, episode.guid)
        .Bind(4, episode.url)
        .Bind(5, episode.title)
        .Bind(6, episode.date)
        .Bind(7, EpisodeStateName(episode.state))
        .Bind(8, episode.file)
        .Bind(9, episode.attempts)
        .Bind(10, episode.reason)
        .Bind(11, episode.firstSeen)
        .Bind(12, episode.again ? 1 : 0)
        .Bind(13, episode.duration)
        .Bind(14, episode.size)
        .Run();
}

DbError EpisodeStore::Episodes(int64_t podcast, std::vector<StoredEpisode>& episodes) {
    episodes.clear();
    Statement read(db_, "SELECT key, guid, url, title, date, state, file, attempts, reason,"
                        " first_seen, again, duration, size FROM episode WHERE podcast_id = ?1"
                        " ORDER BY date DESC, first_seen DESC, id ASC");
    read.Bind(1, podcast);
    while (read.Step()) {
        StoredEpisode e;
        e.key = read.Text(0);
        e.guid = read.Text(1);
        e.url = read.Text(2);
        e.title = read.Text(3);
        e.date = read.Text(4);
        if (!ParseEpisodeState(read.Text(5), e.state))
            return {SQLITE_CORRUPT, "unknown episode state " + read.Text(5)};
        e.file = read.Text(6);
        e.attempts = read.Int(7);
        e.reason = read.Text(8);
        e.firstSeen = read.Int(9);
        e.again = read.Int(10) != 0;
        e.duration = read.Int(11);
        e.size = read.Int(12);
        episodes.push_back(std::move(e));
    }
    return read.Error();
}

DbError EpisodeStore::SetState(int64_t podcast, const std::string& key, EpisodeState state,
                               const std::string& file, const std::string& reason) {
    // A download clears the failures before it; a failure counts one more.
    Statement set(db_, "UPDATE episode SET state = ?3,"
                       " file = CASE WHEN ?4 <> '' THEN ?4 ELSE file END,"
                       " attempts = CASE ?3 WHEN 'failed' THEN attempts + 1"
                       " WHEN 'downloaded' THEN 0 ELSE attempts END,"
                       " reason = CASE ?3 WHEN 'failed' THEN ?5"
                       " WHEN 'downloaded' THEN '' ELSE reason END"
                       " WHERE podcast_id = ?1 AND key = ?2");
    if (DbError failed = set.Bind(1, podcast)
                             .Bind(2, key)
                             .Bind(3, EpisodeStateName(state))
                             .Bind(4, file)
                             .Bind(5, reason)
                             .Run())
        return failed;
    if (db_.Changes() == 0)
        return {SQLITE_NOTFOUND, "no episode " + key};
    return {};
}

std::string KeepUnreadableStore(const std::string& path) {
    namespace fs = std::filesystem;
    const std::string journal = path + "-journal";
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const std::string copy = UnreadableCopyName(path, attempt);
        if (Exists(copy) || Exists(copy + "-journal"))
            continue; // taken: try the next name
        std::error_code error;
        fs::rename(path, copy, error);
        if (error)
            return {};
        // The journal goes with its file: it belongs to the kept bytes, and
        // must never be taken for the new store's.
        if (Exists(journal))
            fs::rename(journal, copy + "-journal", error);
        return copy;
    }
    return {};
}

} // namespace tessarine
