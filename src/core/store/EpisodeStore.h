#pragma once
// The episode store: one SQLite file in the base directory, beside the
// settings file ("Tessarine Episodes.db"), holding what the settings file
// and the archives cannot: the episodes of each podcast and what became of
// them, per-podcast settings, the last check's result, the addresses a
// podcast moved away from and a memo of unchanged archives. Opened only under
// the base directory's lock, so one connection is all there is.
//
// The schema's version is the file's user_version; a program brings an older
// file up to its own version with the migrations in order, each in a
// transaction of its own, and refuses a newer one without changing it.

#include "core/store/Database.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessarine {

// What became of an episode. Stored by name (EpisodeStateName).
enum class EpisodeState {
    New,        // seen in the feed, nothing decided yet
    Queued,     // to be downloaded
    Downloaded, // its file is in the base directory (`file`, relative to it)
    Deleted,    // the user deleted its file
    Removed,    // the clean-up deleted its file
    Skipped,    // not wanted (back catalogue, a filter)
    Failed,     // the downloads failed (`attempts`, last `reason`)
};

const char* EpisodeStateName(EpisodeState state);
// False for a name that is none of the states.
bool ParseEpisodeState(const std::string& name, EpisodeState& state);

struct StoredEpisode {
    std::string key;  // its identity within the podcast
    std::string guid; // as the feed gives them
    std::string url;
    std::string title;
    std::string date; // ISO 8601, empty when the feed gives none
    EpisodeState state = EpisodeState::New;
    std::string file; // relative to the base directory, for Downloaded
    int64_t attempts = 0;
    std::string reason;
    int64_t firstSeen = 0; // seconds since the epoch
    bool again = false;    // the next check downloads it once more
    int64_t duration = -1; // its running time in seconds as the feed gives it; -1 unknown
    // Its size in bytes: the file's once downloaded, else what the feed
    // announced for its enclosure; -1 unknown.
    int64_t size = -1;

    bool operator==(const StoredEpisode&) const = default;
};

class EpisodeStore {
public:
    // The schema this program writes: the number of migrations it knows.
    static int LatestVersion();
    // The file's application_id ("Tess"): a database of another program,
    // even one whose user_version happens to match, is no store of ours.
    static constexpr int64_t kApplicationId = 0x54657373;

    enum class OpenResult {
        Opened,     // at LatestVersion (created or brought up to it)
        Unreadable, // no store: another kind of file, a damaged one, a
                    // folder or a FIFO; nothing was changed (KeepAside)
        TooNew,     // a later program's schema; nothing was changed
        Failed,     // opening or migrating failed (see Error)
    };

    EpisodeStore() = default;
    EpisodeStore(const EpisodeStore&) = delete;
    EpisodeStore& operator=(const EpisodeStore&) = delete;

    // Opens the store of the base directory `base` (ending with its
    // separator, empty for the current folder), creating it when missing.
    OpenResult Open(const std::string& base);
    // Opens the store file at `path`.
    OpenResult OpenFile(const std::string& path);
    // Opens the store of `base` for reading only, as it is: false when there
    // is none, or none of a version this program reads.
    bool OpenForReading(const std::string& base);
    void Close();
    bool IsOpen() const { return db_.IsOpen(); }

    // Why the last Open failed, or was refused.
    const DbError& Error() const { return error_; }
    // The schema version the file had when it was opened (0: created now).
    int FoundVersion() const { return foundVersion_; }
    // The file's schema version now.
    int Version();

    // A transaction on the store: several changes made whole or not at all.
    Transaction Begin() { return Transaction(db_); }
    Database& Db() { return db_; }

    // The podcast of `url`, added with `folder` when it is not known yet
    // (`checked` false: its first check is still to come).
    DbError Podcast(const std::string& url, const std::string& folder, int64_t& id,
                    bool checked = true);
    // Adds the episode, or updates what the feed says of it (guid, URL,
    // title, date, duration) when the podcast has one of its key: what
    // became of it (state, file, attempts, reason, size) and when it was
    // first seen stay; with `decided` also its state, file, size and whether
    // it is asked for again.
    DbError PutEpisode(int64_t podcast, const StoredEpisode& episode, bool decided = false);
    // The podcast's episodes, newest first: by date, then (for episodes
    // without one) the later first seen, then the order the feed gave them.
    DbError Episodes(int64_t podcast, std::vector<StoredEpisode>& episodes);
    // Records what became of the episode `key`; `file` for Downloaded, the
    // reason for Failed (which counts one more attempt).
    DbError SetState(int64_t podcast, const std::string& key, EpisodeState state,
                     const std::string& file = {}, const std::string& reason = {});

private:
    OpenResult Refuse(OpenResult result, DbError error);
    DbError Migrate();

    Database db_;
    DbError error_;
    int foundVersion_ = 0;
    // PutEpisode's statements (for the feed's texts, and with what was
    // decided), prepared once (and ended before the database): a check puts every episode of a feed.
    std::unique_ptr<Statement> putTexts_;
    std::unique_ptr<Statement> putDecided_;
};

// Moves an unreadable store at `path` aside, with its journal, under the
// name a kept copy of an unreadable settings file gets
// ("<path>.unreadable-YYYYMMDD-HHMMSS", "-2" ... when taken), so that a new
// store can take its place. The new name; empty when it could not be moved.
std::string KeepUnreadableStore(const std::string& path);

} // namespace tessarine
