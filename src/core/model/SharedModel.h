#pragma once
// The state that the front end's thread and the update engine's worker share:
// the subscription list with its records, the download queue, the base
// directory and the options. Everything is reached through the operations
// below, each of which takes the model's one lock for its own duration only;
// nobody holds it across network I/O or while calling a front end. The fields
// of a listed subscription record are read and written only here as well
// (records are handed out as identities; their values come as copies).

#include "core/model/CheckHistory.h"
#include "core/model/DownloadQueue.h"
#include "core/model/LibraryEvents.h"
#include "core/model/Opml.h"
#include "core/model/SettingsFile.h"
#include "core/model/Subscription.h"
#include "core/util/Mutex.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tessarine {

// One row of the subscription list as it was at a moment.
struct SubscriptionSnapshot {
    SubscriptionPtr record;
    Subscription values;
};

// A check of one subscription that has begun: what the worker needs of it.
struct CheckStart {
    std::string url;
    std::string nameBefore; // its folder holds the archive
    std::string base;       // the base directory for the whole step
    bool firstRead = false; // no reply of its URL has been read as a feed yet
};

// A queued download as the transfer walk needs it.
struct DownloadStep {
    DownloadEntry entry;
    std::string base;
};

// What loading the settings file did.
struct LoadResult {
    bool loaded = false;                // false: missing or unreadable, nothing changed
    std::vector<std::string> duplicates; // feeds left out: their URL was already listed
    // Set when the file existed but could not be read, to the path of the
    // copy holding its bytes (empty when none could be made).
    std::optional<std::string> unreadableCopy;
};

// The message for a settings file that could not be read (none when it was
// read or missing): where its bytes were kept, or that no copy could be made.
std::optional<Message> UnreadableSettingsMessage(const LoadResult& loaded,
                                                 const std::string& baseDirectory);

class SharedModel {
public:
    // ---- Subscriptions ----
    // Appends a record; none when the URL, or another spelling of the same
    // feed's URL, is already listed (see SubscriptionList::AppendNew).
    SubscriptionPtr AddSubscription(const std::string& url, const std::string& name) EXCLUDES(mutex_);
    // Whether `url` or another spelling of it is listed.
    bool IsSubscribed(const std::string& url) const EXCLUDES(mutex_);
    // Gives a listed record another URL; false when it is not listed or the
    // new URL's feed is (see SubscriptionList::ChangeUrl).
    bool ChangeUrl(const SubscriptionPtr& record, const std::string& url) EXCLUDES(mutex_);
    // Unlinks a record; false when it is not listed. A record the worker still
    // holds stays alive until it lets go.
    bool RemoveSubscription(const SubscriptionPtr& record) EXCLUDES(mutex_);
    // Appends the feeds of an OPML document as the subscribe command adds one
    // (see AddOpmlFeeds).
    OpmlImportCounts AddFeeds(const std::vector<OpmlFeed>& feeds) EXCLUDES(mutex_);
    // The list as an OPML document (see SerializeOpml), with each
    // subscription's own options from `settingsOf`.
    std::string ExportOpml(std::string_view title, std::time_t created,
                           const OpmlSettingsOf& settingsOf = {}) const EXCLUDES(mutex_);
    size_t SubscriptionCount() const EXCLUDES(mutex_);
    // The record at `index`, or none.
    SubscriptionPtr SubscriptionAt(long long index) const EXCLUDES(mutex_);
    // The listed records, in order.
    std::vector<SubscriptionPtr> Subscriptions() const EXCLUDES(mutex_);
    // The listed records with their values, in order.
    std::vector<SubscriptionSnapshot> SnapshotSubscriptions() const EXCLUDES(mutex_);
    // A copy of a record's values.
    Subscription Values(const SubscriptionPtr& record) const EXCLUDES(mutex_);

    // "Check for new items": marks every record that is not newly added as
    // pending, but for those whose URL is in `passOver` (paused podcasts);
    // when any record is due (newly added or pending), remembers that such a
    // check was asked for and returns true.
    bool MarkAllPending(const std::unordered_set<std::string>& passOver = {}) EXCLUDES(mutex_);
    void MarkPending(const SubscriptionPtr& record) EXCLUDES(mutex_);
    // Whether the check cycle is to take `record` now: it is still listed and
    // newly added or pending.
    bool IsDue(const SubscriptionPtr& record) const EXCLUDES(mutex_);
    // Sets the status Checking and returns what the check needs.
    CheckStart BeginCheck(const SubscriptionPtr& record) EXCLUDES(mutex_);
    // The check failed (for `reason`): status Error; name and date stay.
    void FailCheck(const SubscriptionPtr& record, const Failure& reason = {}) EXCLUDES(mutex_);
    // The check read the feed: its title becomes the name, `checked` (the
    // engine's clock) the date.
    void FinishCheck(const SubscriptionPtr& record, const std::string& name, bool queuedAny,
                     OleDateTime checked = OleDateTime::Now()) EXCLUDES(mutex_);
    // How the last check of `record`'s URL ended, in this run or an earlier
    // one on the same base directory: NewItemsFound, NoNewItems or Error;
    // Idle when it was never checked.
    int32_t LastCheckStatus(const SubscriptionPtr& record) const EXCLUDES(mutex_);
    // Writes how the checks ended (see CheckHistory) when that changed since
    // the base directory's record was loaded or last written; false when it
    // could not be written.
    bool SaveCheckHistory() EXCLUDES(mutex_);
    // How the last checks ended, by URL, as the record holds them now.
    std::unordered_map<std::string, int32_t> CheckStatuses() const EXCLUDES(mutex_);
    // The episode store's record replaces the loaded one. With `detach` the
    // store keeps it from now on (until the next LoadSettings), and
    // SaveCheckHistory writes nothing.
    void AdoptCheckStatuses(std::unordered_map<std::string, int32_t> statuses, bool detach)
        EXCLUDES(mutex_);
    // Why the last check of `record`'s URL failed, in this run or (as the
    // episode store keeps it) an earlier one; none when it did not fail.
    Failure LastCheckFailure(const SubscriptionPtr& record) const EXCLUDES(mutex_);
    // The store's reasons replace those known (a new base directory's).
    void AdoptCheckFailures(std::unordered_map<std::string, Failure> failures) EXCLUDES(mutex_);
    // Whether the end of a cycle ends the program: "Check for new items" has
    // run in this program's life, and it runs unattended or with "Quit when
    // downloads are complete".
    bool QuitWanted(bool checkAndQuit) const EXCLUDES(mutex_);

    // ---- Downloads ----
    // Appends an entry and returns its row.
    size_t AppendDownload(const std::string& url, const std::string& folder,
                          const std::string& fileName, EpisodeRef episode = {}) EXCLUDES(mutex_);
    std::optional<DownloadEntry> DownloadAt(long long row) const EXCLUDES(mutex_);
    // The entry at `row` with the base directory as it is now.
    std::optional<DownloadStep> DownloadStepAt(size_t row) const EXCLUDES(mutex_);
    // Sets an entry's state; false when it already had it (or there is no such row).
    bool SetDownloadState(size_t row, DownloadState state) EXCLUDES(mutex_);
    // Queues a download for `subscription`'s check: the entry of the same
    // file that failed or was cancelled and is still listed waits again in
    // its row (`requeued`); otherwise an entry is appended. None when
    // `subscription` is no longer listed: a removed podcast's check that
    // was under way queues nothing more.
    struct QueuedRow {
        size_t row = 0;
        bool requeued = false;
    };
    std::optional<QueuedRow> QueueDownload(const std::string& url, const std::string& folder,
                                           const std::string& fileName, EpisodeRef episode,
                                           const SubscriptionPtr& subscription) EXCLUDES(mutex_);
    // The transfer of an entry begins (Downloading): a waiting one, or one
    // that failed or completed in an earlier cycle and whose file is missing;
    // false when it was cancelled or taken off the list meanwhile.
    bool BeginDownload(size_t row) EXCLUDES(mutex_);
    // The transfer of an entry ended in `state` (Done or Failed): a completed
    // file counts whatever happened meanwhile, a failure only while the entry
    // is downloading. The state the entry has now.
    DownloadState EndDownload(size_t row, DownloadState state) EXCLUDES(mutex_);
    // A waiting, downloading or failed entry is cancelled (a failed one would
    // be fetched again by the next cycle); the state it had, none for any
    // other.
    std::optional<DownloadState> CancelDownload(size_t row) EXCLUDES(mutex_);
    // A failed or cancelled entry waits again; false for any other.
    bool RetryDownload(size_t row) EXCLUDES(mutex_);
    // The entries queued for `subscription` that a cancel stops: waiting,
    // downloading or failed.
    std::vector<size_t> UnfinishedDownloadsOf(const SubscriptionPtr& subscription) const
        EXCLUDES(mutex_);
    // Every done, failed or cancelled entry is taken off the list (Removed):
    // their rows.
    std::vector<size_t> RemoveFinishedDownloads() EXCLUDES(mutex_);

    // ---- Base directory and options ----
    std::string BaseDirectory() const EXCLUDES(mutex_);
    void SetBaseDirectory(const std::string& base) EXCLUDES(mutex_);
    // A new base directory: the list is emptied in the same step.
    void ReplaceBaseDirectory(const std::string& base) EXCLUDES(mutex_);
    OptionSet Options() const EXCLUDES(mutex_);
    void SetOptions(const OptionSet& options) EXCLUDES(mutex_);
    // Start-up: the default options, no check asked for yet, and `base`.
    void Reset(const std::string& base) EXCLUDES(mutex_);
    // The folder that keeps the record of the last checks (see CheckHistory);
    // none when empty. The front end's platform layer chooses it.
    void SetCheckHistoryDirectory(const std::string& directory) EXCLUDES(mutex_);

    // ---- The settings file ----
    // Writes it from the options and the list. Saves never interleave, and a
    // save always writes what the model held when it began; a failed save is
    // silent and leaves the old file whole. While a SaveHold exists the save
    // is put off until the last hold ends.
    // True when the file was written (or the save is held and will be made).
    bool SaveSettings() EXCLUDES(mutex_);
    // The message for the last save when it failed (the file and the
    // system's reason), taken once; none after a save that succeeded.
    std::optional<Message> TakeSaveFailure() EXCLUDES(mutex_);
    // Reads the settings file of the current base directory: the two
    // behaviour options, then each feed, appended like AddSubscription; and
    // the record of the base directory's last checks from the check history's
    // folder. An
    // unreadable file is kept in a copy first (see LoadSettingsFile). Saves
    // are held while it runs.
    LoadResult LoadSettings() EXCLUDES(mutex_);

    // Holds saves while the list is being replaced (emptied, then loaded from
    // the settings file of a new base directory). A save in between, such as
    // the worker's after a check that was under way, would write a partial
    // list over the very file being loaded. A save asked for meanwhile is
    // made when the last hold ends, from the list as it is then.
    class SaveHold {
    public:
        explicit SaveHold(SharedModel& model);
        ~SaveHold();
        SaveHold(const SaveHold&) = delete;
        SaveHold& operator=(const SaveHold&) = delete;

    private:
        SharedModel& model_;
    };

private:
    bool IsListed(const SubscriptionPtr& record) const REQUIRES(mutex_);

    mutable Mutex mutex_;
    SubscriptionList subscriptions_ GUARDED_BY(mutex_);
    DownloadQueue downloads_ GUARDED_BY(mutex_);
    std::string baseDirectory_ GUARDED_BY(mutex_);
    OptionSet options_ GUARDED_BY(mutex_);
    bool checkAllRequested_ GUARDED_BY(mutex_) = false;
    CheckHistory history_ GUARDED_BY(mutex_);
    std::unordered_map<std::string, Failure> failures_ GUARDED_BY(mutex_); // by URL
    std::string historyDirectory_ GUARDED_BY(mutex_);
    int saveHolds_ GUARDED_BY(mutex_) = 0;
    bool saveDeferred_ GUARDED_BY(mutex_) = false;
    std::optional<Message> saveFailure_ GUARDED_BY(mutex_);

    Mutex saveMutex_ ACQUIRED_BEFORE(mutex_); // one save at a time
};

} // namespace tessarine
