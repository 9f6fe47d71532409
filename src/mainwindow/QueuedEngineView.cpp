#include "mainwindow/QueuedEngineView.h"

namespace tessarine {

QueuedEngineView::QueuedEngineView(QObject* parent) : QObject(parent) {}

void QueuedEngineView::RefreshSubscriptionRows() {
    Push({Kind::Subscriptions, {}, false});
}

void QueuedEngineView::InsertDownloadRow(size_t row, const DownloadRow& cells) {
    Push({Kind::Download,
          {static_cast<int>(row),
           -1,
           {QString::fromStdString(cells[0]), QString::fromStdString(cells[1]),
            QString::fromStdString(cells[2]), QString::fromStdString(cells[3])}},
          false});
}

void QueuedEngineView::SetDownloadCell(size_t row, DownloadColumn column, const std::string& text) {
    Push({Kind::Download,
          {static_cast<int>(row), static_cast<int>(column), {QString::fromStdString(text)}},
          false});
}

void QueuedEngineView::ShowError(const std::string& message) {
    Push({Kind::Error, {0, 0, {QString::fromStdString(message)}}, false});
}

void QueuedEngineView::CycleEnded(bool quit) {
    Push({Kind::CycleEnd, {}, quit});
}

void QueuedEngineView::Push(Event event) {
    bool first;
    {
        std::lock_guard lock(mutex_);
        first = events_.empty();
        events_.push_back(std::move(event));
    }
    // Invoked by name: the queued call is then allocated, posted and read
    // inside Qt alone, and what it carries to the GUI thread is nothing but
    // the wake-up; the events themselves pass under mutex_.
    if (first)
        QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
}

void QueuedEngineView::Deliver() {
    std::vector<Event> events;
    {
        std::lock_guard lock(mutex_);
        events.swap(events_);
    }
    std::vector<DownloadChange> downloads;
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
        if (event.kind == Kind::Download) {
            downloads.push_back(std::move(event.change));
            continue;
        }
        if (event.kind == Kind::Subscriptions) {
            refreshPending = true;
            continue;
        }
        flushDownloads();
        flushRefresh();
        if (event.kind == Kind::Error)
            emit errorArrived(event.change.cells.value(0));
        else
            emit cyclesEnded(event.quit);
    }
    flushDownloads();
    flushRefresh();
}

} // namespace tessarine
