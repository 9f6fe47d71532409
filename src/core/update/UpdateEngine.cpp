#include "core/update/UpdateEngine.h"

#include "core/store/EpisodeLedger.h"
#include "core/update/CheckWalk.h"
#include "core/update/DownloadRun.h"

#include <optional>

namespace tessarine {

UpdateEngine::UpdateEngine(SharedModel& model, LibraryEvents& events, bool checkAndQuit,
                           EngineOptions options)
    : model_(model), events_(events), checkAndQuit_(checkAndQuit), options_([&options] {
          options.http.clock = options.clock;
          return std::move(options);
      }()) {
    archiveMemo_.KeepIn(options_.episodes);
}

UpdateEngine::~UpdateEngine() {
    Shutdown();
}

bool UpdateEngine::OnCheckForNewItems() {
    // Newly added subscriptions are due as they are; every other one is
    // marked pending. A cycle starts when any subscription is due, so that
    // an unattended run with only new subscriptions checks them and ends.
    // Paused podcasts are passed over; "Update this podcast now" still
    // checks one.
    std::unordered_set<std::string> paused;
    if (options_.episodes != nullptr) {
        std::vector<std::string> urls;
        for (const SubscriptionSnapshot& row : model_.SnapshotSubscriptions())
            urls.push_back(row.values.url);
        paused = options_.episodes->Paused(model_.BaseDirectory(), urls);
    }
    const bool due = model_.MarkAllPending(paused);
    if (due)
        RequestCycle();
    return due;
}

void UpdateEngine::OnUpdateThisPodcast(const SubscriptionPtr& record) {
    if (!record)
        return;
    model_.MarkPending(record);
    RequestCycle();
}

void UpdateEngine::RequestCycle() {
    std::lock_guard lock(workerMutex_);
    if (stopping_)
        return;
    pending_ = true;
    if (!worker_.joinable())
        worker_ = std::thread([this] { WorkerMain(); });
    workerWake_.notify_one();
}

bool UpdateEngine::CancelDownload(size_t row) {
    const std::optional<DownloadState> was = model_.CancelDownload(row);
    if (!was)
        return false;
    if (*was == DownloadState::Downloading)
        transferStop_.Stop(row); // the worker tells the end of what it began
    else
        events_.DownloadStateChanged(row, DownloadState::Cancelled, {FailureKind::Cancelled});
    return true;
}

void UpdateEngine::CancelDownloadsOf(const SubscriptionPtr& record) {
    for (size_t row : model_.UnfinishedDownloadsOf(record))
        CancelDownload(row);
}

bool UpdateEngine::RetryDownload(size_t row) {
    if (!model_.RetryDownload(row))
        return false;
    events_.DownloadStateChanged(row, DownloadState::Waiting, {});
    downloadsWanted_ = true;
    RequestCycle();
    return true;
}

bool UpdateEngine::IsBusy() const {
    std::lock_guard lock(workerMutex_);
    return pending_ || running_;
}

bool UpdateEngine::WaitForIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(workerMutex_);
    return workerIdle_.wait_for(lock, timeout, [this] { return !pending_ && !running_; });
}

void UpdateEngine::BeginShutdown() {
    std::lock_guard lock(workerMutex_);
    stopping_ = true;
    pending_ = false;
    cancel_ = true;
    transferStop_.StopAll();
    workerWake_.notify_one();
}

void UpdateEngine::Shutdown() {
    BeginShutdown();
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
        worker_.join();
}

void UpdateEngine::WorkerMain() {
    std::unique_lock lock(workerMutex_);
    for (;;) {
        workerWake_.wait(lock, [this] { return pending_ || stopping_; });
        if (stopping_)
            break;
        pending_ = false;
        running_ = true;
        RunAndTellCycle(lock);
        running_ = pending_;
        if (!running_)
            workerIdle_.notify_all();
    }
    running_ = false;
    workerIdle_.notify_all();
}

void UpdateEngine::RunAndTellCycle(std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    const CycleResult result = RunCycle();
    model_.SaveCheckHistory();
    // A settings file that could not be written is told once a cycle,
    // however many of its saves failed.
    if (const std::optional<Message> failure = model_.TakeSaveFailure())
        events_.MessagePosted(*failure);
    ++cyclesRun_;
    lock.lock();
    if (!pending_ && !stopping_) {
        lock.unlock();
        // The quit rule: not after a cancelled cycle or one whose
        // transfers could not open an internet handle.
        events_.CycleEnded(result == CycleDone && model_.QuitWanted(checkAndQuit_));
        lock.lock();
    }
}

CycleResult UpdateEngine::RunCycle() {
    bool queued = false;
    {
        // The walk's feed transfers end and its last save is written before
        // the downloads begin.
        CheckWalk walk(model_, events_, options_, cancel_, archiveMemo_);
        const CycleResult result = walk.Run();
        if (result != CycleDone)
            return result;
        queued = walk.AnyQueued();
    }
    const bool retried = downloadsWanted_.exchange(false);
    const CycleResult result = queued || retried ? RunDownloads() : CycleDone;
    if (result == CycleDone)
        CleanUp();
    return result;
}

CycleResult UpdateEngine::RunDownloads() {
    return DownloadRun(model_, events_, options_.http, cancel_, transferStop_, options_.episodes)
        .Run();
}

void UpdateEngine::CleanUp() {
    // Podcasts that keep only their newest episodes lose the older files
    // at the end of every cycle that ran to its end.
    if (options_.episodes == nullptr)
        return;
    std::vector<std::string> urls;
    for (const SubscriptionSnapshot& row : model_.SnapshotSubscriptions())
        urls.push_back(row.values.url);
    std::vector<EpisodeLedger::Removal> removed;
    options_.episodes->CleanUp(model_.BaseDirectory(), urls, options_.clock->CalendarNow(), false,
                               removed);
}

} // namespace tessarine
