#include "mainwindow/QueuedEngineView.h"

namespace tessarine {

QueuedEngineView::QueuedEngineView(QObject* parent) : QObject(parent) {}

void QueuedEngineView::SubscriptionsChanged() { Push(SubscriptionsEvent{}); }

void QueuedEngineView::FeedCheckBegan(const std::string&) { Push(SubscriptionsEvent{}); }

void QueuedEngineView::FeedCheckEnded(const FeedCheckEnd&) { Push(SubscriptionsEvent{}); }

void QueuedEngineView::DownloadQueued(const QueuedDownload& download) {
    Push(DownloadEvent{download});
}

void QueuedEngineView::DownloadStateChanged(size_t index, DownloadState state,
                                            const Failure& reason) {
    Push(DownloadEvent{DownloadStateChange{index, state, reason}});
}

void QueuedEngineView::DownloadProgress(size_t index, int64_t received, int64_t total) {
    const DownloadBytes bytes{index, received, total};
    bool first;
    {
        std::lock_guard lock(mutex_);
        // Only the latest bytes of a download matter to the list: they take
        // the place of those still waiting (a delivery is posted already).
        for (const auto& [row, at] : progressAt_) {
            if (row == index) {
                std::get<DownloadBytes>(std::get<DownloadEvent>(events_[at])) = bytes;
                return;
            }
        }
        first = events_.empty();
        progressAt_.emplace_back(index, events_.size());
        events_.emplace_back(DownloadEvent{bytes});
    }
    if (first)
        PostDelivery();
}

void QueuedEngineView::MessagePosted(const Message& message) { Push(message); }

void QueuedEngineView::CycleEnded(bool quit) { Push(CycleEndEvent{quit}); }

void QueuedEngineView::EpisodesChanged(const std::string& url) { Push(EpisodesEvent{url}); }

void QueuedEngineView::Push(Event event) {
    bool first;
    {
        std::lock_guard lock(mutex_);
        // A refresh reads the whole list: one for a run of them is enough.
        if (std::holds_alternative<SubscriptionsEvent>(event) && !events_.empty() &&
            std::holds_alternative<SubscriptionsEvent>(events_.back()))
            return;
        first = events_.empty();
        events_.push_back(std::move(event));
    }
    if (first)
        PostDelivery();
}

void QueuedEngineView::PostDelivery() {
    // Invoked by name: the queued call is then allocated, posted and read
    // inside Qt alone, and what it carries to the GUI thread is nothing but
    // the wake-up; the events themselves pass under mutex_.
    QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
}

void QueuedEngineView::Deliver() {
    std::vector<Event> events;
    {
        std::lock_guard lock(mutex_);
        events.swap(events_);
        progressAt_.clear();
    }
    std::vector<DownloadEvent> downloads;
    auto flushDownloads = [&] {
        if (!downloads.empty())
            emit downloadsChanged(downloads);
        downloads.clear();
    };
    bool refreshPending = false; // a refresh reads the model: one for a run of them is enough
    auto flushRefresh = [&] {
        if (refreshPending)
            emit subscriptionsChanged();
        refreshPending = false;
    };
    for (Event& event : events) {
        if (DownloadEvent* download = std::get_if<DownloadEvent>(&event)) {
            downloads.push_back(std::move(*download));
            continue;
        }
        if (std::holds_alternative<SubscriptionsEvent>(event)) {
            refreshPending = true;
            continue;
        }
        flushDownloads();
        flushRefresh();
        if (const Message* message = std::get_if<Message>(&event))
            emit messagePosted(*message);
        else if (const EpisodesEvent* episodes = std::get_if<EpisodesEvent>(&event))
            emit episodesChanged(episodes->url);
        else
            emit cyclesEnded(std::get<CycleEndEvent>(event).quit);
    }
    flushDownloads();
    flushRefresh();
}

} // namespace tessarine
