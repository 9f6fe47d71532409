#pragma once
// The update engine: check cycles on one worker thread. A cycle fetches every
// due subscription, reads its feed, queues the enclosures whose files are
// missing, records the items in the feed's archive, updates the subscription,
// saves the settings (CheckWalk), then downloads what is queued
// (DownloadRun).
//
// Cycles never overlap: a request while a cycle runs is remembered and run by
// the same worker right after it. Once no further cycle is pending the front
// end hears that the cycles ended, with the quit rule's answer. The worker
// never waits for the front end.

#include "core/model/LibraryEvents.h"
#include "core/model/SharedModel.h"
#include "core/update/ArchiveMemo.h"
#include "core/update/EngineOptions.h"
#include "core/update/TransferStop.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace tessarine {

// What tests and benchmarks reach beyond the operations below; defined in
// the tests' support code, not part of the program.
struct UpdateEngineTestAccess;

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

    // The download at `row` stops: a waiting (or failed) one is told as
    // Cancelled now, the one under way once its transfer has stopped, which
    // keeps what arrived for resuming where it can. False when it was
    // neither.
    bool CancelDownload(size_t row);
    // Cancels every download that `record`'s checks queued.
    void CancelDownloadsOf(const SubscriptionPtr& record);
    // The failed or cancelled download at `row` waits again, told as such,
    // and a cycle fetches it. False for any other.
    bool RetryDownload(size_t row);

    const EngineOptions& Options() const { return options_; }

    // True while a cycle runs or one is pending.
    bool IsBusy() const;
    // Waits until no cycle runs or is pending; false on time-out.
    bool WaitForIdle(std::chrono::milliseconds timeout);
    // Cancels the transfer under way and every pending cycle; Shutdown also
    // waits for the worker to end (it never waits for the front end, so this
    // takes no longer than the cancelled transfer needs to stop).
    void BeginShutdown();
    void Shutdown();

private:
    friend struct UpdateEngineTestAccess;

    void WorkerMain();
    // The cycle the worker runs next, told when no other is pending.
    void RunAndTellCycle(std::unique_lock<std::mutex>& lock);
    // One cycle on the calling thread, without the end event: the check
    // walk, then the downloads when it queued any.
    CycleResult RunCycle();
    // Fetches every queued entry whose file is missing.
    CycleResult RunDownloads();
    // Applies the podcasts' keep options.
    void CleanUp();

    SharedModel& model_;
    LibraryEvents& events_;
    const bool checkAndQuit_;
    const EngineOptions options_;
    ArchiveMemo archiveMemo_; // only the worker thread uses it

    std::atomic<bool> cancel_{false};
    TransferStop transferStop_{cancel_};
    // A retried download waits: the next cycle fetches the queue even when
    // its check queued nothing.
    std::atomic<bool> downloadsWanted_{false};
    std::atomic<uint64_t> cyclesRun_{0}; // run to their end or cancellation
    mutable std::mutex workerMutex_;
    std::condition_variable workerWake_;
    std::condition_variable workerIdle_;
    bool pending_ = false;
    bool running_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace tessarine
