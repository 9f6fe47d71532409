#pragma once
// The library's events for the window: called on any thread (the worker's or
// the window's own), they are queued and handed on in the order they were
// made on the thread this object lives on (the GUI thread), as signals. The
// worker never waits: the first event of a batch posts one delivery, later
// ones join the batch. Download events that follow each other go out together
// as one batch, and a download's progress still waiting in the batch is
// replaced by its newer progress: a fast transfer costs the GUI thread one
// change per delivery, however often it reports.

#include "core/model/LibraryEvents.h"

#include <QObject>

#include <mutex>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tessarine {

// One fact about the download list.
using DownloadEvent = std::variant<QueuedDownload, DownloadStateChange, DownloadBytes>;

class QueuedEngineView : public QObject, public LibraryEvents {
    Q_OBJECT
public:
    explicit QueuedEngineView(QObject* parent = nullptr);

    // A subscription's check beginning or ending changes its row like any
    // other change of the list: each of these asks for the rows again.
    void SubscriptionsChanged() override;
    void FeedCheckBegan(const std::string& url) override;
    void FeedCheckEnded(const FeedCheckEnd& end) override;
    void DownloadQueued(const QueuedDownload& download) override;
    void DownloadStateChanged(size_t index, DownloadState state, const Failure& reason) override;
    void DownloadProgress(size_t index, int64_t received, int64_t total) override;
    void MessagePosted(const Message& message) override;
    void CycleEnded(bool quit) override;
    void EpisodesChanged(const std::string& url) override;

    // Hands on every event that has arrived, now (on this object's thread).
    Q_INVOKABLE void Deliver();

signals:
    // The subscription list changed: take its rows again (one signal for a
    // run of such events).
    void subscriptionsChanged();
    void downloadsChanged(const std::vector<DownloadEvent>& events);
    void messagePosted(const Message& message);
    void cyclesEnded(bool quit);
    // The episodes of the podcast at `url` changed in the store.
    void episodesChanged(const std::string& url);

private:
    struct SubscriptionsEvent {};
    struct CycleEndEvent {
        bool quit = false;
    };
    struct EpisodesEvent {
        std::string url;
    };
    using Event =
        std::variant<SubscriptionsEvent, DownloadEvent, Message, CycleEndEvent, EpisodesEvent>;
    void Push(Event event);
    void PostDelivery();

    std::mutex mutex_;
    std::vector<Event> events_; // not yet handed on, in order; guarded by mutex_
    // Each download whose progress waits in events_, and its place there;
    // guarded by mutex_.
    std::vector<std::pair<size_t, size_t>> progressAt_;
};

} // namespace tessarine
