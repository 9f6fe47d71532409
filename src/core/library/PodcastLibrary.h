#pragma once
// What the program works on, in one object: the subscription list, the
// options, the base directory, the download queue, loading and saving the
// settings file, and the update engine that checks and downloads. A front end
// (the window, the command line) is built on it: it creates the library with
// its event receiver, calls the operations below and shows the events.

#include "core/model/SharedModel.h"
#include "core/model/LibraryEvents.h"
#include "core/update/UpdateEngine.h"

#include <optional>
#include <string>

namespace tessarine {

// The two switches of the command line.
struct StartupSwitches {
    bool checkAndQuit = false;
    bool doNotCheck = false;
};

class PodcastLibrary {
public:
    // `events` receives the engine's events from the worker thread, and a
    // SubscriptionsChanged after each change of the list made here; it must
    // outlive the library.
    PodcastLibrary(LibraryEvents& events, StartupSwitches switches, EngineOptions options = {});
    ~PodcastLibrary(); // ends the worker
    PodcastLibrary(const PodcastLibrary&) = delete;
    PodcastLibrary& operator=(const PodcastLibrary&) = delete;

    SharedModel& Model() { return model_; }
    UpdateEngine& Engine() { return engine_; }
    const StartupSwitches& Switches() const { return switches_; }

    // Start-up: the default options, `base` as the base directory (an empty
    // one means the current folder) and its settings file.
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
    // Removes a record and saves; false when it was not listed.
    bool Remove(const SubscriptionPtr& record);
    // Makes `base` the base directory: the list is emptied and the new
    // base's settings file loaded, with no save in between.
    LoadResult ChangeBaseDirectory(const std::string& base);

    // "Check for new items"; true when any subscription was marked.
    bool CheckForNewItems();
    // "Update this podcast now"; nothing without a record.
    void UpdateNow(const SubscriptionPtr& record);

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

    // Cancels the cycle under way and waits for the worker to end.
    void Shutdown();

private:
    LibraryEvents& events_;
    StartupSwitches switches_;
    SharedModel model_;
    UpdateEngine engine_;
};

} // namespace tessarine
