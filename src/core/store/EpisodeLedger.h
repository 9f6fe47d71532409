#pragma once
// The episode library as the engine and the library use it: the episode
// store of the claimed base directory behind one lock, and the rules that
// decide, episode by episode, what a check fetches, what it leaves alone and
// what a clean-up removes.
//
// Without an open store (no lock could be held on the base directory, or the
// store could not be opened) nothing is remembered and the plain rule holds:
// an episode counts as downloaded exactly when its file exists. Every
// operation names the base directory it is meant for; one meant for another
// base directory than the store's (a cycle that was under way when the base
// directory changed) finds no store.
//
// With every option at its default the decisions are the plain rule's, with
// one exception that is the point of the store: an episode whose file the
// store knows is not fetched again because the feed now gives it another URL
// (a new query token, another host) or another file name.

#include "core/feeds/FeedReader.h"
#include "core/files/File.h"
#include "core/store/EpisodeStore.h"
#include "core/store/PodcastSettings.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tessarine {

class EpisodeLedger {
public:
    // What opening the store did.
    struct Opening {
        EpisodeStore::OpenResult result = EpisodeStore::OpenResult::Failed;
        DbError error{};        // why it failed or was refused
        std::string keptCopy{}; // an unreadable store moved aside ("" when it
                                // could not be moved)
        bool rebuilt = false;   // an unreadable store was kept aside and a
                                // new one built in its place
    };
    // A subscription as the store needs it.
    struct Listed {
        std::string url;
        std::string folder; // its folder name (FeedFolderName), "" for the base
    };

    // Opens the store of `base` (a normalized base directory, "" for the
    // current folder). An unreadable one is moved aside and a new one built.
    // Every subscription of `listed` the store does not know yet is entered
    // as one that was checked before (the plain rule decides for it); a store
    // made now takes the episodes of their archives, those whose file exists
    // as downloaded.
    Opening Open(const std::string& base, const std::vector<Listed>& listed, std::time_t now);
    void Close(); // writes what is not written yet first
    ~EpisodeLedger() { Close(); }
    bool IsOpen() const;

    // ---- Subscriptions ----
    // A subscription made now: its first check is the one on-subscribe
    // applies to.
    void Subscribed(const std::string& base, const std::string& url);
    // A subscription took the address of the feed its page named: the same
    // podcast under its new address, no move.
    void Readdressed(const std::string& base, const std::string& from, const std::string& to);

    // ---- Options ----
    // Of `urls`, the ones whose podcast is paused.
    std::unordered_set<std::string> Paused(const std::string& base,
                                           const std::vector<std::string>& urls);
    // The values a podcast sets itself (`url` empty: the defaults).
    bool Values(const std::string& base, const std::string& url, SettingValues& values);
    // Sets (or with an empty value removes) `values` of a podcast (`url`
    // empty: the defaults) in one transaction; the values are normalised.
    DbError Change(const std::string& base, const std::string& url, const SettingValues& values);

    // ---- Moves ----
    enum class Move {
        Moved,         // the podcast is known under `to` now
        MovedAwayFrom, // `to` is an address it moved away from: not taken back
        NoStore,
        Failed,
    };
    // The podcast at `from` is known under `to` from now on, keeping its
    // episodes and options. A move the user made (`byHand`) may also go back
    // to an address a podcast moved away from: that address is then no
    // longer one to stay away from.
    Move MoveTo(const std::string& base, const std::string& from, const std::string& to,
                std::time_t now, bool byHand = false);
    // Whether a podcast of the store moved away from `to`.
    bool MovedAwayFrom(const std::string& base, const std::string& to);
    // Whether the user still is to be told that `url`'s podcast cannot move
    // to the subscribed `to`; remembered as told.
    bool TellMoveOnce(const std::string& base, const std::string& url, const std::string& to);

    // ---- A feed's check ----
    // What a check does with one item of the feed.
    struct Plan {
        enum class Action {
            Fetch, // queue it under `fileName` unless that file is there
            Have,  // its file is there (`fileName` relative to the base)
            Leave, // nothing: not wanted, or decided against
        };
        Action action = Action::Fetch;
        std::string fileName{};
        bool replace = false; // download again over a file that is there
    };
    // One feed's episodes during its check: read when it begins, written in
    // one transaction when it ends.
    class FeedStep {
    public:
        // `folder`: the folder name the feed's files go into now;
        // `podcast`: the podcast's name (for name patterns).
        FeedStep(EpisodeLedger& ledger, const std::string& base, const std::string& url,
                 const std::string& folder, const std::string& podcast, std::time_t now);
        FeedStep(const FeedStep&) = delete;
        FeedStep& operator=(const FeedStep&) = delete;

        // Whether a store decides; otherwise the caller follows the plain rule.
        bool Active() const { return active_; }
        const PodcastSettings& Settings() const { return settings_; }
        int64_t Podcast() const { return podcast_; }
        // The folder the podcast's files were in when the store last saw it
        // ("" when unknown).
        const std::string& KnownFolder() const { return knownFolder_; }
        // The podcast's folder was renamed from `from` to `to`: the paths of
        // its files follow.
        void FolderRenamed(const std::string& from, const std::string& to);

        // The feed's items, once, before the first Decide.
        void Rank(const std::vector<const FeedItem*>& items);
        // What to do with item `index` of Rank's list, whose URL gives the
        // file name `urlName` (its name among the feed's, see EnclosureNames).
        // `listed`: the names in the podcast's folder, listed once for the
        // whole feed (a file elsewhere is looked for on disk).
        Plan Decide(size_t index, const std::string& urlName,
                    const std::unordered_set<std::string>& listed);
        // The episode's identity (after Decide).
        const std::string& Key(size_t index) const { return items_[index].key; }
        // Item `index` was queued under `fileName`, or its file was there.
        void Queued(size_t index);
        void Present(size_t index, const std::string& fileName);
        // Writes what the check learnt and decided; the podcast counts as
        // checked from now on.
        DbError Save();

    private:
        struct Item {
            StoredEpisode episode; // as it will be stored
            std::string key;
            bool known = false;   // the store had it
            bool changed = false; // to be written
            bool eligible = true; // within keep and keep-days
            bool skip = false;    // past on-subscribe's newest
        };
        std::string PatternName(const Item& item, const std::string& urlName);
        void SetState(Item& item, EpisodeState state, const std::string& file = {});
        // Writes the changed items and the podcast's row.
        DbError SaveItems(Database& db);

        EpisodeLedger& ledger_;
        const std::string base_;
        const std::string url_;
        const std::string folder_;
        const std::string podcastName_;
        const std::time_t now_;
        bool active_ = false;
        bool subscribing_ = false;
        int64_t podcast_ = 0;
        std::string knownFolder_;
        PodcastSettings settings_;
        std::unordered_map<std::string, StoredEpisode> stored_; // by key
        std::unordered_set<std::string> takenNames_;            // lower-case, in the folder
        std::vector<Item> items_;
    };

    // ---- Downloads ----
    enum class Want {
        Fetch,   // when its file is missing
        Replace, // asked for again: also over its file
        Skip,    // removed or skipped since it was queued, or deleted by the
                 // user while deleted files are not fetched again
    };
    // What a queued download of the episode is to do now.
    Want Wanted(const std::string& base, int64_t podcast, const std::string& key);
    void Downloaded(const std::string& base, int64_t podcast, const std::string& key,
                    const std::string& file);
    void Failed(const std::string& base, int64_t podcast, const std::string& key,
                const std::string& reason);

    // ---- Archives ----
    // The stamp and links hash (see ArchiveMemo) the archive at `path`
    // (below the store's base directory) had when the engine last left it
    // up to date; false when none is known.
    bool RecordedArchive(const std::string& path, FileStamp& stamp, uint64_t& links);
    // Remembers them; `current` false forgets them.
    void RememberArchive(const std::string& path, const FileStamp& stamp, uint64_t links,
                         bool current);

    // ---- How checks ended ----
    // The check of `url`'s podcast ended with `status` (a SubscriptionStatus)
    // and, when it failed, `failure`. Written together with the ones before
    // it, in one transaction, once the oldest of them is a second old (a
    // commit per feed would sync the file for every feed of a walk).
    void CheckEnded(const std::string& base, const std::string& url, int32_t status,
                    const Failure& failure, std::time_t now);
    // Writes the ends not written yet (at a walk's end; also done before the
    // statuses are read and when the store is closed).
    void SaveCheckResults();
    // The statuses of the last checks by URL.
    std::unordered_map<std::string, int32_t> CheckStatuses(const std::string& base);
    // The statuses in the store of `base` as it is, read without its lock
    // (by a program that does not hold the base directory); none when there
    // is no store to read.
    static std::optional<std::unordered_map<std::string, int32_t>>
    PeekCheckStatuses(const std::string& base);
    // Why the last checks failed, by URL, for the podcasts whose last check
    // failed (one query for the whole list; an HTTP status without its phrase).
    std::unordered_map<std::string, Failure> CheckFailures(const std::string& base);
    // The same read from the store of `base` as it is, without its lock.
    static std::unordered_map<std::string, Failure> PeekCheckFailures(const std::string& base);
    // The options each podcast sets itself, by URL, read the same way.
    static std::unordered_map<std::string, SettingValues> PeekOwnSettings(const std::string& base);
    // Takes `statuses` (a record kept elsewhere before) for podcasts it has
    // no status of.
    void AddCheckStatuses(const std::string& base,
                          const std::unordered_map<std::string, int32_t>& statuses);

    // ---- Listing and requests ----
    bool Episodes(const std::string& base, const std::string& url,
                  std::vector<StoredEpisode>& episodes);
    enum class Again { Marked, UnknownEpisode, NoStore, Failed };
    // The episode of `url`'s podcast that `episode` names (title, file name,
    // guid) is downloaded once more by the next check.
    Again DownloadAgain(const std::string& base, const std::string& url,
                        const std::string& episode);

    // What the episode list does to episodes the user picked.
    enum class Pick {
        DeleteFile, // a downloaded episode's file goes; recorded as Deleted
        NotWanted,  // one not downloaded is Skipped (any request to fetch it again is dropped)
        Again,      // the next check downloads it once more
    };
    // Applies `pick` to the episodes of `url`'s podcast named by `keys` (keys
    // it does not know, and episodes the pick does not apply to, are passed
    // over): how many changed, none when there is no store or it failed. A
    // file is deleted only when it is a regular file; its record changes
    // first, so that a program killed in between never lists a downloaded
    // episode without its file.
    std::optional<size_t> PickEpisodes(const std::string& base, const std::string& url, Pick pick,
                                       const std::vector<std::string>& keys);
    // The path of the file of the episode `key` of `url`'s podcast (its
    // base directory's path joined to it); none when it has no file.
    std::optional<std::string> EpisodeFile(const std::string& base, const std::string& url,
                                           const std::string& key);

    // ---- Clean-up ----
    struct Removal {
        std::string url;   // the podcast's
        std::string title; // the episode's
        std::string file;  // relative to the base directory
    };
    // Applies keep and keep-days to the podcasts of `urls`, in their order:
    // downloaded files past the newest `keep` or older than `keep-days` are
    // deleted and their episodes recorded as removed. With `dryRun` nothing
    // changes. False when there is no store or it failed.
    bool CleanUp(const std::string& base, const std::vector<std::string>& urls, std::time_t now,
                 bool dryRun, std::vector<Removal>& removals);

private:
    bool For(const std::string& base) const { return store_.IsOpen() && base == base_; }
    int64_t PodcastId(const std::string& url); // 0 when unknown
    int64_t EnsurePodcast(const std::string& url, const std::string& folder, bool checked);
    SettingValues ValuesOf(int64_t podcast);
    void Fill(const std::vector<Listed>& listed, std::time_t now);
    // Writes the check ends not written yet and commits the batch; with the
    // mutex held.
    void WriteCheckResults();
    // A walk's writes are gathered in one transaction, the batch, committed
    // with the check ends (a commit per feed would sync the file for every
    // feed). Whatever begins a transaction of its own ends the batch first.
    // With the mutex held.
    void BeginBatch(std::time_t now);
    void EndBatch();

    struct CheckEnd {
        int64_t podcast = 0;
        int32_t status = 0;
        Failure failure{};
        std::time_t at = 0;
    };

    mutable std::mutex mutex_;
    EpisodeStore store_;
    std::string base_;
    std::vector<CheckEnd> unwrittenChecks_; // of the store's base directory
    std::unique_ptr<Transaction> batch_;
    std::time_t batchSince_ = 0;
};

} // namespace tessarine
