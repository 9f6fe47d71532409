#include "support/EventRecorder.h"

#include "display/DisplayText.h"

namespace tessarine::test {

void EventRecorder::SubscriptionsChanged() {
    std::lock_guard lock(mutex_);
    events_.emplace_back(SubscriptionsChangedEvent{});
    recorded_.notify_all();
}

void EventRecorder::FeedCheckBegan(const std::string& url) {
    std::lock_guard lock(mutex_);
    events_.emplace_back(FeedCheckBeganEvent{url});
    recorded_.notify_all();
}

void EventRecorder::FeedCheckEnded(const FeedCheckEnd& end) {
    std::lock_guard lock(mutex_);
    events_.emplace_back(end);
    recorded_.notify_all();
}

void EventRecorder::DownloadQueued(const QueuedDownload& download) {
    std::lock_guard lock(mutex_);
    events_.emplace_back(download);
    recorded_.notify_all();
    const DownloadRow row = {download.fileName, "", "0%", StateText(DownloadState::Waiting)};
    if (download.index < rows_.size())
        rows_[download.index] = row; // queued again in its row
    else if (download.index == rows_.size())
        rows_.push_back(row); // rows only ever come at the end; a test sees a gap
}

void EventRecorder::DownloadStateChanged(size_t index, DownloadState state,
                                         const Failure& reason) {
    std::lock_guard lock(mutex_);
    events_.emplace_back(DownloadStateEvent{index, state, reason});
    recorded_.notify_all();
    SetCell(index, ColumnStatus, StateText(state));
}

void EventRecorder::DownloadProgress(size_t index, int64_t received, int64_t total) {
    std::lock_guard lock(mutex_);
    events_.emplace_back(DownloadProgressEvent{index, received, total});
    recorded_.notify_all();
    SetCell(index, ColumnSize, SizeText(total));
    if (total != 0)
        SetCell(index, ColumnProgress, PercentText(received, total));
}

void EventRecorder::MessagePosted(const Message& message) {
    std::lock_guard lock(mutex_);
    events_.emplace_back(message);
    recorded_.notify_all();
    messages_.push_back(MessageText(message));
}

void EventRecorder::CycleEnded(bool quit) {
    std::lock_guard lock(mutex_);
    events_.emplace_back(CycleEndedEvent{quit});
    recorded_.notify_all();
    ++cycleEnds_;
    quits_ += quit ? 1 : 0;
}

bool EventRecorder::AwaitEvents(const std::function<bool(const std::vector<Event>&)>& ready,
                                std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return recorded_.wait_for(lock, limit, [&] { return ready(events_); });
}

void EventRecorder::SetCell(size_t row, DownloadColumn column, const std::string& text) {
    if (row < rows_.size())
        rows_[row][column] = text;
}

} // namespace tessarine::test
