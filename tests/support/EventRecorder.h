#pragma once
// A LibraryEvents receiver that records every event in order, as facts, and
// also renders the download list as the window would show it in English
// (file, size, progress, status), for tests that read it that way.

#include "core/model/LibraryEvents.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

namespace tessarine::test {

enum DownloadColumn { ColumnFile = 0, ColumnSize = 1, ColumnProgress = 2, ColumnStatus = 3 };
using DownloadRow = std::array<std::string, 4>;

struct SubscriptionsChangedEvent {};
struct FeedCheckBeganEvent {
    std::string url;
};
using DownloadStateEvent = DownloadStateChange;
using DownloadProgressEvent = DownloadBytes;
struct CycleEndedEvent {
    bool quit = false;
};
using Event = std::variant<SubscriptionsChangedEvent, FeedCheckBeganEvent, FeedCheckEnd,
                           QueuedDownload, DownloadStateEvent, DownloadProgressEvent, Message,
                           CycleEndedEvent>;

class EventRecorder : public LibraryEvents {
public:
    void SubscriptionsChanged() override;
    void FeedCheckBegan(const std::string& url) override;
    void FeedCheckEnded(const FeedCheckEnd& end) override;
    void DownloadQueued(const QueuedDownload& download) override;
    void DownloadStateChanged(size_t index, DownloadState state, const Failure& reason) override;
    void DownloadProgress(size_t index, int64_t received, int64_t total) override;
    void MessagePosted(const Message& message) override;
    void CycleEnded(bool quit) override;

    // Every event so far, in the order it came.
    std::vector<Event> Events() const { return Locked(events_); }
    // The events of one kind, in order.
    template <typename T> std::vector<T> EventsOf() const {
        std::vector<T> out;
        for (const Event& event : Events())
            if (const T* one = std::get_if<T>(&event))
                out.push_back(*one);
        return out;
    }

    // The download list as the window shows it.
    std::vector<DownloadRow> Rows() const { return Locked(rows_); }
    // The messages' texts, in English.
    std::vector<std::string> Messages() const { return Locked(messages_); }
    // How many cycle ends were told, and how many of them said to quit.
    size_t CycleEnds() const { return Locked(cycleEnds_); }
    size_t Quits() const { return Locked(quits_); }
    // Waits until `ready` holds for the events so far, asking it again after
    // each event; false when `limit` passes first.
    bool AwaitEvents(const std::function<bool(const std::vector<Event>&)>& ready,
                     std::chrono::milliseconds limit = std::chrono::minutes(1)) const;

private:
    template <typename T> T Locked(const T& member) const {
        std::lock_guard lock(mutex_);
        return member;
    }
    void SetCell(size_t row, DownloadColumn column, const std::string& text);

    mutable std::mutex mutex_;
    mutable std::condition_variable recorded_;
    std::vector<Event> events_;
    std::vector<DownloadRow> rows_;
    std::vector<std::string> messages_;
    size_t cycleEnds_ = 0;
    size_t quits_ = 0;
};

} // namespace tessarine::test
