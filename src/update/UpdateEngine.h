#pragma once
// The update engine: check cycles on one worker thread. A cycle fetches every
// due subscription, reads its feed, queues the enclosures whose files are
// missing, records the items in the feed's archive, updates the subscription,
// saves the settings, then downloads what is queued.
//
// Cycles never overlap: a request while a cycle runs is remembered and run by
// the same worker right after it. The quit rule is applied once no further
// cycle is pending.

#include "update/EngineView.h"
#include "update/HttpClient.h"
#include "update/SharedModel.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace tessarine {

struct EngineOptions {
    HttpOptions http;
    int64_t maxFeedBytes = int64_t{64} << 20; // larger feeds are refused as errors
};

class UpdateEngine {
public:
    UpdateEngine(SharedModel& model, EngineView& view, bool checkAndQuit,
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

    // True while a cycle runs or one is pending.
    bool IsBusy() const;
    // How many cycles the worker has run to their end or cancellation.
    uint64_t CyclesRun() const { return cyclesRun_; }
    // Waits until no cycle runs or is pending; false on time-out.
    bool WaitForIdle(std::chrono::milliseconds timeout);
    // Cancels the transfer under way and every pending cycle, and ends the
    // worker. The caller must keep serving the view's calls meanwhile (the
    // worker may be waiting in one): see BeginShutdown and WaitForIdle.
    void BeginShutdown();
    void Shutdown();

    // One cycle on the calling thread, without the quit rule: 0 normally,
    // -1 when an internet handle could not be opened, 1 when cancelled.
    int CheckCycleProc();
    // Queues an enclosure under `fileName` in the folder of `folder` unless
    // that file exists; true when it added an entry and row. Without a file
    // name, the name the URL gives on its own (EnclosureNames).
    bool QueueDownload(const std::string& url, const std::string& folder,
                       std::string fileName = {});
    // Fetches every queued entry whose file is missing: 0, or -1 when no
    // internet handle could be opened, 1 when cancelled.
    int RunDownloads();

private:
    void WorkerMain();
    std::string NameAfterCheck(const SubscriptionPtr& s, const std::string& channelTitle);
    void ApplyQuitRule();
    void TransferOne(HttpSession& session, size_t row, const std::string& url,
                     const std::string& target);
    void SetEntryState(size_t row, DownloadState state, int textId);

    SharedModel& model_;
    EngineView& view_;
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
