#pragma once
// The update engine: check cycles on one worker thread. A cycle fetches every
// due subscription, reads its feed, queues the enclosures whose files are
// missing, records the items in the feed's archive, updates the subscription,
// saves the settings, then downloads what is queued.
//
// Feeds are fetched a few at a time ahead of the walk (FeedFetcher), asked
// for conditionally with what the feed cache keeps of the last reply; a feed
// the server reports unchanged is taken from the cache exactly as if it had
// been fetched again. Everything the user and the files see still happens in
// list order. The settings file is written at a bounded rate during the walk
// and once at its end. Downloads run one after another; one that the network
// cut off keeps its partial file, and the next attempt asks for the rest.
//
// Cycles never overlap: a request while a cycle runs is remembered and run by
// the same worker right after it. Once no further cycle is pending the front
// end hears that the cycles ended, with the quit rule's answer. The worker
// never waits for the front end.

#include "core/feeds/FeedArchive.h"
#include "core/files/File.h"
#include "core/model/LibraryEvents.h"
#include "core/model/SharedModel.h"
#include "core/net/HttpClient.h"
#include "core/util/Clock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tessarine {

// How a cycle (or its transfer walk) ended.
enum CycleResult : int {
    CycleDone = 0,
    CycleNoInternet = -1, // an internet handle could not be opened
    CycleCancelled = 1,
};

struct EngineOptions {
    HttpOptions http;
    int64_t maxFeedBytes = kMaxFeedBytes; // larger feeds are refused as errors
    // The feed cache's folder, chosen by the front end's platform layer; no
    // cache at all when not given or empty.
    std::optional<std::string> feedCacheDirectory{};
    int feedConnections = 4; // feeds fetched at once
    // During the walk the settings file is written at most once per this
    // interval (also while the walk waits for the network), and once at the
    // walk's end: a kill loses at most this much of dates and statuses.
    std::chrono::milliseconds saveInterval{500};
    // The clock of everything the engine times or dates: the saves, the wait
    // for a feed, the stall watchdog of every transfer (it replaces
    // `http.clock`) and the date a subscription was checked.
    const Clock* clock = &Clock::System();
};

class UpdateEngine {
public:
    UpdateEngine(SharedModel& model, LibraryEvents& events, bool checkAndQuit,
                 EngineOptions options = {});
    ~UpdateEngine(); // Shutdown()
    UpdateEngine(const UpdateEngine&) = delete;
    UpdateEngine& operator=(const UpdateEngine&) = delete;

    // "Check for new items": marks every subscription that is not newly added
    // as pending and asks for a cycle when any subscription is due (newly
    // added or pending), setting checkAllRequested then. True when it did.
    bool OnCheckForNewItems();
    // "Update this podcast now": marks `record` pending and asks for a cycle;
    // nothing without a record.
    void OnUpdateThisPodcast(const SubscriptionPtr& record);
    // Asks for a cycle: it starts now, or right after the one that runs.
    void RequestCycle();

    const EngineOptions& Options() const { return options_; }

    // True while a cycle runs or one is pending.
    bool IsBusy() const;
    // How many cycles the worker has run to their end or cancellation.
    uint64_t CyclesRun() const { return cyclesRun_; }
    // Waits until no cycle runs or is pending; false on time-out.
    bool WaitForIdle(std::chrono::milliseconds timeout);
    // Cancels the transfer under way and every pending cycle; Shutdown also
    // waits for the worker to end (it never waits for the front end, so this
    // takes no longer than the cancelled transfer needs to stop).
    void BeginShutdown();
    void Shutdown();

    // One cycle on the calling thread, without the end event.
    CycleResult CheckCycleProc();
    // Queues an enclosure under `fileName` in the folder of `folder` unless
    // that file exists; true when it added an entry and row. Without a file
    // name, the name the URL gives on its own (EnclosureNames).
    bool QueueDownload(const std::string& url, const std::string& folder,
                       std::string fileName = {});
    // Fetches every queued entry whose file is missing.
    CycleResult RunDownloads();

private:
    void WorkerMain();
    std::string NameAfterCheck(const SubscriptionPtr& s, const std::string& channelTitle);
    // `present`: names known to be in the folder (listed at the start of the
    // feed's step); a name missing there is still looked for on disk.
    bool QueueDownloadIn(const std::string& base, const std::string& url, const std::string& folder,
                         std::string fileName,
                         const std::unordered_set<std::string>* present = nullptr,
                         int64_t announcedSize = -1);
    void TransferOne(HttpSession& session, size_t row, const std::string& url,
                     const std::string& target);
    // Removes the partial files (and resume information) in the folder of
    // `folder` whose enclosures are neither among `fileNames` nor queued.
    // `listed`: the folder's names as listed during the step.
    void RemoveStalePartials(const std::string& base, const std::string& folder,
                             const std::unordered_set<std::string>& listed,
                             const std::vector<std::string>& fileNames);
    void SetEntryState(size_t row, DownloadState state, const Failure& reason = {});
    // The record's check ended: its name and status now, and why it failed.
    void TellCheckEnded(const SubscriptionPtr& s, const std::string& url, const Failure& failure);
    void PostError(int id, std::vector<std::string> args, Failure reason = {});

    // Per archive file, as the worker last left it: its stamp and a hash of
    // the enclosure URLs of the feed, every one of which it records. While
    // both are the same, an unchanged feed has nothing to append to it and
    // the archive is not read. Only the worker thread uses it.
    struct ArchiveMemo {
        FileStamp stamp;
        uint64_t links = 0;
    };
    std::unordered_map<std::string, ArchiveMemo> archiveMemo_;

    SharedModel& model_;
    LibraryEvents& events_;
    const bool checkAndQuit_;
    const EngineOptions options_;

    std::atomic<bool> cancel_{false};
    std::atomic<uint64_t> cyclesRun_{0};
    mutable std::mutex workerMutex_;
    std::condition_variable workerWake_;
    std::condition_variable workerIdle_;
    bool pending_ = false;
    bool running_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace tessarine
