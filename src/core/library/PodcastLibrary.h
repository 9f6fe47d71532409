#pragma once
// What the program works on, in one object: the subscription list, the
// options, the base directory with its lock, the download queue, loading and
// saving the settings file, and the update engine that checks and downloads.
// A front end (the window, the command line) is built on it: it creates the
// library with its event receiver, calls the operations below and shows the
// events. Everything it learns comes as values; nothing of the model or the
// engine is handed out.

#include "core/files/BaseDirectory.h"
#include "core/model/LibraryEvents.h"
#include "core/model/SharedModel.h"
#include "core/store/EpisodeLedger.h"
#include "core/store/EpisodeStore.h"
#include "core/store/PodcastSettings.h"
#include "core/update/UpdateEngine.h"

#include <chrono>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

class BaseDirectoryLock;

// The two switches of the command line.
struct StartupSwitches {
    bool checkAndQuit = false;
    bool doNotCheck = false;
};

class PodcastLibrary {
public:
    // `events` receives the engine's events from the worker thread, and a
    // SubscriptionsChanged after each change of the list made here; it must
    // outlive the library. The options carry the folders the front end's
    // platform layer chose (the feed cache's; the record of the last checks
    // is kept in "checks" beside it).
    PodcastLibrary(LibraryEvents& events, StartupSwitches switches, EngineOptions options = {});
    ~PodcastLibrary(); // ends the worker, then lets go of the base directory
    PodcastLibrary(const PodcastLibrary&) = delete;
    PodcastLibrary& operator=(const PodcastLibrary&) = delete;

    const StartupSwitches& Switches() const { return switches_; }

    // ---- The base directory's life ----
    // What became of claiming a base directory.
    enum class Claim {
        Obtained,      // its lock is ours; what a killed program left was removed
        NoLock,        // no lock can be held there (a missing or read-only
                       // folder): it is used without one
        HeldElsewhere, // another program holds it: nothing changed
    };
    // One program per base directory: takes the lock of `base` (an empty one
    // means the current folder) without waiting, letting go of the one held
    // before. Once it is ours, the temporary files a killed save left beside
    // the settings file are removed: nobody else writes there now.
    Claim ClaimBaseDirectory(const std::string& base);
    // Whether the library holds a base directory's lock.
    bool HoldsLock() const;
    // Start-up: the default options, the claimed base directory (the current
    // folder when none was claimed) and its settings file.
    LoadResult Open();
    // The same on `base`, without claiming it: for a front end that only
    // reads (the settings file is always replaced whole).
    LoadResult Open(const std::string& base);
    // Whether start-up checks for new items: always with "/checkandquit",
    // never with "/donotcheck", else as the option says.
    static bool StartupCheckWanted(const StartupSwitches& switches, int32_t updateStart);
    bool StartupCheckWanted() const;

    // What became of an address given to subscribe to.
    struct Subscribed {
        enum class Outcome {
            Added,
            NotAFeedAddress,   // refused (see FeedAddress); `url` as given, trimmed
            AlreadySubscribed, // `url`, or another spelling of it, is listed
            PageNamesNoFeed,   // `url` answered with a web page that names no feed
        };
        Outcome outcome = Outcome::NotAFeedAddress;
        std::string url{};  // the address in its stored form
        std::string page{}; // when a web page named the feed: the page's address
        SubscriptionPtr record{};
    };

    // The window's subscribe command: subscribes to the address `typed` in
    // its stored form (FeedAddress; named later by its feed), saves the
    // settings and asks for a cycle, which also runs when the feed was
    // listed already; none when the address is refused. The address is not
    // fetched here: when the first check finds a web page there, it takes
    // the feed the page names (see UpdateEngine).
    Subscribed Subscribe(const std::string& typed);
    // The command line's add: the address is fetched first, on the calling
    // thread, with the engine's HTTP options and feed size limit. A web page
    // that names a feed gives that feed (FeedOfPage); one that names none is
    // refused. An address that cannot be reached, or that answers with
    // anything else, is subscribed to as it is: its checks will report it.
    // Neither saves nor asks for a cycle.
    Subscribed AddLookedUp(const std::string& typed);
    // Adds the feeds of an OPML document as Subscribe does, saves when any
    // was added and then asks for a cycle.
    OpmlImportCounts ImportFeeds(const std::vector<OpmlFeed>& feeds);
    // The command line's import: adds the feeds of an OPML document as
    // ImportFeeds does, but neither saves nor asks for a cycle.
    OpmlImportCounts AddFeeds(const std::vector<OpmlFeed>& feeds);
    // Removes a record and saves; false when it was not listed. Its
    // downloads are cancelled (see CancelDownload): the one under way stops.
    bool Remove(const SubscriptionPtr& record);
    // Makes `base` the base directory. Its lock is claimed first: none, with
    // nothing changed, when another program holds it. Otherwise the old
    // folder's lock is let go, the list is emptied and the new base's
    // settings file loaded, with no save in between.
    std::optional<LoadResult> ChangeBaseDirectory(const std::string& base);

    // Writes the settings file (see SharedModel::SaveSettings); the message
    // for a failed save is taken once with TakeSaveFailure.
    bool SaveSettings();
    std::optional<Message> TakeSaveFailure();

    // ---- What the front ends show ----
    // The subscription list as it is now, in order.
    std::vector<SubscriptionSnapshot> SubscriptionRows() const;
    size_t SubscriptionCount() const;
    // How the last check of `record` ended (see SharedModel::LastCheckStatus).
    int32_t LastCheckStatus(const SubscriptionPtr& record) const;
    // Why it failed (see SharedModel::LastCheckFailure); none when it did not.
    Failure LastCheckFailure(const SubscriptionPtr& record) const;
    // The download at `row`; none past the end.
    std::optional<DownloadEntry> DownloadAt(long long row) const;
    // The list as an OPML document.
    std::string ExportOpml(std::string_view title, std::time_t created) const;

    // ---- Checks ----
    // "Check for new items"; true when any subscription was marked.
    bool CheckForNewItems();
    // "Update this podcast now"; nothing without a record.
    void UpdateNow(const SubscriptionPtr& record);
    // Asks for a cycle over what is due (subscriptions only just added are).
    void RequestCycle();
    // Whether a cycle is under way or asked for.
    bool IsBusy() const;
    // Waits until no cycle is under way or asked for; false when `timeout`
    // passed first.
    bool WaitForIdle(std::chrono::milliseconds timeout);
    // The clock the engine times and dates by: a front end that runs checks
    // on a schedule measures it on the same clock.
    const Clock& TimeSource() const { return *engine_.Options().clock; }

    std::string BaseDirectory() const { return model_.BaseDirectory(); }
    OptionSet Options() const { return model_.Options(); }
    // The settings dialog's OK: the two behaviour options, saved at once.
    void SetBehaviourOptions(int32_t updateStart, int32_t quitComplete);
    // What the autostart entry looks like now.
    void SetAutostartState(int32_t autostart, int32_t runKeyOpen);

    // The folder of a subscription (the base itself for the empty name).
    std::string FolderOf(const SubscriptionPtr& record) const;
    // The file of the download at `row`; none past the end.
    std::optional<std::string> DownloadFileOf(long long row) const;

    // ---- The download list ----
    // The waiting, failed or downloading download at `row` is cancelled: a
    // transfer under way stops, and what arrived stays for a later check or
    // a retry to resume where the server allows it. Told as the state
    // Cancelled (for a transfer once it has stopped); false when there was
    // nothing to cancel.
    bool CancelDownload(long long row);
    // The failed or cancelled download at `row` waits again in its row and
    // a cycle fetches it; false for any other.
    bool RetryDownload(long long row);
    // Every completed, failed or cancelled download is taken off the list,
    // each told as the state Removed; the rows keep their indices. The
    // number taken off.
    size_t RemoveFinishedDownloads();

    // ---- The episode library ----
    // The store of what became of each episode and the options per podcast
    // live in the claimed base directory (EpisodeStore); without its lock
    // there is none, and every episode counts as downloaded exactly when its
    // file exists. The operations below then answer NoStore.
    bool HasEpisodeStore() const;

    // The listed subscription that `podcast` names: its URL (in any spelling
    // of the same feed) or else its name (exactly, then ignoring case); none
    // when no record or more than one matches.
    SubscriptionPtr FindPodcast(const std::string& podcast) const;

    enum class EpisodeQuery { Done, NoStore, Failed };
    // The episodes of `record` the store knows, newest first.
    EpisodeQuery EpisodesOf(const SubscriptionPtr& record, std::vector<StoredEpisode>& episodes);

    // Every option key with its value and whether it is inherited: of
    // `record`, or of the default when `record` is null.
    EpisodeQuery SettingsOf(const SubscriptionPtr& record, std::vector<SettingRow>& rows);

    // Changes of options, as "KEY=VALUE" pairs already split.
    struct SettingChange {
        std::string key;
        std::string value; // "inherit" returns a podcast's key to the default
    };
    enum class SettingsResult { Done, UnknownKey, BadValue, NoStore, Failed };
    // Sets the options of `record` (the default when null), all or none;
    // `problem` names the first unknown key or bad "KEY=VALUE". "inherit" is
    // a bad value for the default.
    SettingsResult ChangeSettings(const SubscriptionPtr& record,
                                  const std::vector<SettingChange>& changes, std::string& problem);

    enum class AgainResult { Marked, UnknownEpisode, NoStore, Failed };
    // The next check downloads the episode of `record` that `episode` names
    // (its title, its file's name or its guid) once, whatever became of it.
    AgainResult DownloadAgain(const SubscriptionPtr& record, const std::string& episode);

    // What the episode list does to the episodes the user picked (see
    // EpisodeLedger::Pick): delete their files (whether a check downloads
    // them again follows the podcast's refetch-deleted), mark them as not
    // wanted, or download them once more with the next check.
    enum class EpisodePick { DeleteFile, NotWanted, DownloadAgain };
    // Applies `pick` to the episodes of `record` named by their keys; tells
    // EpisodesChanged when any changed. `changed`: how many did.
    EpisodeQuery PickEpisodes(const SubscriptionPtr& record, EpisodePick pick,
                              const std::vector<std::string>& keys, size_t* changed = nullptr);
    // The path of the file of `record`'s episode `key`; none when the store
    // knows no file of it.
    std::optional<std::string> EpisodeFile(const SubscriptionPtr& record,
                                           const std::string& key) const;

    // A downloaded file the clean-up removes (or would remove).
    struct CleanedFile {
        std::string podcast; // the subscription's name
        std::string title;   // the episode's
        std::string file;    // relative to the base directory
    };
    // Applies keep / keep-days to every podcast now: the files that go, in
    // list order; with `dryRun` nothing is deleted or recorded.
    EpisodeQuery CleanUp(bool dryRun, std::vector<CleanedFile>& files);

    // ---- A podcast's address and file names, changed by hand ----
    enum class AddressChange {
        Changed,
        Unchanged,         // the same address as before
        NotAFeedAddress,   // refused (see FeedAddress)
        AlreadySubscribed, // another podcast is listed under it
        Busy,              // a cycle runs: the change waits until it has ended
        Failed,            // not listed, or the store could not follow
    };
    // The manual form of a feed that moved: `record` takes the address
    // `typed` in its stored form (given back in `url`) and keeps its name,
    // folder, archive, episodes and options, as when its feed moved for
    // good; a podcast may go back to an address it moved away from this way.
    // The settings are saved. Refused while a cycle runs, whose check knows
    // the podcast by its old address.
    AddressChange ChangeAddress(const SubscriptionPtr& record, const std::string& typed,
                                std::string& url);
    // The newest episode the store knows of `record`; none when it knows
    // none (or there is no store).
    std::optional<StoredEpisode> NewestEpisode(const SubscriptionPtr& record);
    // The file name that the value `names` of the key "names" ("url" or a
    // pattern) gives `episode` of the podcast called `podcast`, as a check
    // names a new download (a name taken already would still get a tag).
    static std::string EpisodeFileNameFor(const StoredEpisode& episode, const std::string& podcast,
                                          const std::string& names);

    // Cancels the cycle under way and waits for the worker to end.
    void Shutdown();
    // Shutdown, then lets go of the base directory's lock.
    void Close();

private:
    // Tests reach the model and the engine through this (tests/support).
    friend struct PodcastLibraryTestAccess;

    // Opens the episode store of the claimed base directory once its
    // settings file is loaded, telling what could not be opened.
    void OpenEpisodeStore();
    // The subscription `url` was made now; `settings` are its own options.
    void RememberSubscribed(const std::string& url,
                            const std::map<std::string, std::string>& settings);
    // The options `values` checked: true when every key and value is sound
    // ("inherit" only for a podcast), normalised, "inherit" made empty.
    static SettingsResult CheckSettings(SettingValues& values, bool forDefault,
                                        std::string& problem);

    LibraryEvents& events_;
    StartupSwitches switches_;
    SharedModel model_;
    // The engine decides with it: made before, ended after. Reading it takes
    // its lock, also for what only reads the library.
    mutable EpisodeLedger episodes_;
    UpdateEngine engine_;
    BaseDirectoryPath claimed_;               // the base directory claimed last
    std::unique_ptr<BaseDirectoryLock> lock_; // its lock, when one was claimed
};

} // namespace tessarine
