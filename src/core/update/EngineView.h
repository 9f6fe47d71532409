#pragma once
// The events the update engine sends to a front end. The worker never waits
// for one: the main window queues them and applies them in order on its own
// thread (messages are shown one after another while the cycle goes on), a
// console front end prints them, tests record them. The engine never calls
// it while it holds the model's lock.

#include <array>
#include <cstdint>
#include <string>

namespace tessarine {

// Download list columns.
enum DownloadColumn { ColumnFile = 0, ColumnSize = 1, ColumnProgress = 2, ColumnStatus = 3 };
using DownloadRow = std::array<std::string, 4>;

class EngineView {
public:
    virtual ~EngineView() = default;
    // Some subscription's name, date or status changed: show the model's rows again.
    virtual void RefreshSubscriptionRows() = 0;
    // Row `row` (always the current row count) was appended with its four cells.
    virtual void InsertDownloadRow(size_t row, const DownloadRow& cells) = 0;
    virtual void SetDownloadCell(size_t row, DownloadColumn column, const std::string& text) = 0;
    // Bytes of the download at `row` so far, of `length` (0 when not
    // announced): sent now and then while it runs, for a front end that shows
    // more than the percentage.
    virtual void DownloadProgress(size_t /*row*/, int64_t /*received*/, int64_t /*length*/) {}
    // An error message for the user.
    virtual void ShowError(const std::string& message) = 0;
    // A message that tells the user what the engine did for them, which is
    // no failure; shown as an error message unless a front end tells the two
    // apart.
    virtual void ShowNotice(const std::string& message) { ShowError(message); }
    // The worker has ended its cycles and nothing is pending. `quit`: the
    // quit rule says that the program ends now (once the user has read the
    // messages still open).
    virtual void CycleEnded(bool quit) = 0;
};

} // namespace tessarine

#include "core/model/LibraryEvents.h"
#include "core/util/Strings.h"

#include <mutex>
#include <utility>
#include <vector>

namespace tessarine {

// Renders the library's events as the cells and texts of an EngineView, for
// the front ends that still take those.
class EngineViewEvents : public LibraryEvents {
public:
    explicit EngineViewEvents(EngineView& view) : view_(view) {}

    void SubscriptionsChanged() override { view_.RefreshSubscriptionRows(); }
    void FeedCheckBegan(const std::string&) override { view_.RefreshSubscriptionRows(); }
    void FeedCheckEnded(const FeedCheckEnd&) override { view_.RefreshSubscriptionRows(); }
    void DownloadQueued(const QueuedDownload& download) override {
        {
            std::lock_guard lock(mutex_);
            if (cells_.size() <= download.index)
                cells_.resize(download.index + 1);
            cells_[download.index] = {"", "0%"};
        }
        view_.InsertDownloadRow(download.index,
                                {download.fileName, "", "0%", LoadResString(IDS_WAITING)});
    }
    void DownloadStateChanged(size_t index, DownloadState state, const Failure&) override {
        const int id = state == DownloadState::Waiting       ? IDS_WAITING
                       : state == DownloadState::Downloading ? IDS_DOWNLOADING
                       : state == DownloadState::Done        ? IDS_COMPLETED
                                                             : IDS_FAILED;
        view_.SetDownloadCell(index, ColumnStatus, LoadResString(id));
    }
    void DownloadProgress(size_t index, int64_t received, int64_t total) override {
        const std::string size =
            FormatResNumber(IDS_SIZE_FORMAT, static_cast<double>(total) / 1048576.0);
        const std::string percent =
            total != 0 ? std::to_string(static_cast<int>(static_cast<double>(received) * 100.0 /
                                                         static_cast<double>(total))) +
                             "%"
                       : std::string();
        bool newSize = false, newPercent = false;
        {
            std::lock_guard lock(mutex_);
            if (index < cells_.size()) {
                newSize = std::exchange(cells_[index][0], size) != size;
                newPercent = !percent.empty() && std::exchange(cells_[index][1], percent) != percent;
            }
        }
        if (newSize)
            view_.SetDownloadCell(index, ColumnSize, size);
        if (newPercent)
            view_.SetDownloadCell(index, ColumnProgress, percent);
        view_.DownloadProgress(index, received, total);
    }
    void MessagePosted(const Message& message) override {
        const std::string text = FormatText(LoadResString(message.id), message.args);
        if (message.kind == Message::Kind::Notice)
            view_.ShowNotice(text);
        else
            view_.ShowError(text);
    }
    void CycleEnded(bool quit) override { view_.CycleEnded(quit); }

private:
    EngineView& view_;
    std::mutex mutex_;
    std::vector<std::array<std::string, 2>> cells_; // size and progress shown per row
};

} // namespace tessarine
