#include "cli/ConsoleView.h"

#include "subscriptions/Strings.h"
#include "update/UpdateEngine.h"

#include <atomic>
#include <condition_variable>
#include <thread>

namespace tessarine {

ConsoleView::ConsoleView(SharedModel& model, ConsoleProgress& progress)
    : model_(model), progress_(progress) {}

void ConsoleView::RefreshSubscriptionRows() {
    struct Row {
        const Subscription* record;
        int32_t status;
        std::string name, url;
    };
    std::vector<Row> rows;
    {
        std::lock_guard lock(model_.mutex);
        for (const SubscriptionPtr& s : model_.subscriptions.Items())
            rows.push_back({s.get(), s->status, s->name, s->url});
    }
    std::lock_guard lock(mutex_);
    for (const Row& row : rows) {
        int32_t& seen = statuses_.try_emplace(row.record, -1).first->second;
        if (seen == row.status)
            continue;
        const bool wasChecking = seen == Checking;
        seen = row.status;
        if (row.status == Checking) {
            progress_.FeedStarted(row.url);
        } else if (wasChecking) {
            ++feedsChecked_;
            if (row.status == Error)
                ++feedsFailed_;
            progress_.FeedFinished(StatusText(row.status) + ": " + row.name + " (" + row.url + ")");
        }
    }
}

void ConsoleView::InsertDownloadRow(size_t row, const DownloadRow& cells) {
    std::lock_guard lock(mutex_);
    if (files_.size() <= row)
        files_.resize(row + 1);
    files_[row] = cells[ColumnFile];
}

void ConsoleView::SetDownloadCell(size_t row, DownloadColumn column, const std::string&) {
    std::lock_guard lock(mutex_);
    if (column == ColumnStatus) {
        DownloadState state;
        int64_t length;
        {
            std::lock_guard modelLock(model_.mutex);
            const DownloadEntry* entry = model_.downloads.At(static_cast<long long>(row));
            if (entry == nullptr)
                return;
            state = entry->state;
            length = entry->length;
        }
        const std::string file = row < files_.size() ? files_[row] : std::string();
        if (state == DownloadState::Downloading) {
            active_ = static_cast<long long>(row);
            started_ = std::chrono::steady_clock::now();
            DrawDownload();
        } else if (state == DownloadState::Done || state == DownloadState::Failed) {
            if (active_ == static_cast<long long>(row))
                active_ = -1;
            const bool done = state == DownloadState::Done;
            (done ? filesDone_ : filesFailed_)++;
            std::string line = LoadResString(done ? IDS_COMPLETED : IDS_FAILED) + ": " + file;
            if (done && length > 0)
                line += " (" + ConsoleProgress::ByteSize(length) + ")";
            progress_.DownloadFinished(line);
        }
    } else if (active_ == static_cast<long long>(row)) {
        DrawDownload();
    }
}

void ConsoleView::DrawDownload() {
    if (active_ < 0 || !progress_.Terminal() || progress_.Quiet())
        return;
    int64_t received = 0, length = 0;
    {
        std::lock_guard lock(model_.mutex);
        if (const DownloadEntry* entry = model_.downloads.At(active_)) {
            received = entry->received;
            length = entry->length;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started_;
    const auto row = static_cast<size_t>(active_);
    progress_.DownloadProgress(row < files_.size() ? files_[row] : std::string(), received, length,
                               elapsed.count());
}

void ConsoleView::Tick() {
    std::lock_guard lock(mutex_);
    DrawDownload();
}

void ConsoleView::ShowError(const std::string& message) {
    {
        std::lock_guard lock(mutex_);
        ++messages_;
    }
    progress_.Message(message);
}

size_t ConsoleView::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}
size_t ConsoleView::FeedsChecked() const {
    std::lock_guard lock(mutex_);
    return feedsChecked_;
}
size_t ConsoleView::FeedsFailed() const {
    std::lock_guard lock(mutex_);
    return feedsFailed_;
}
size_t ConsoleView::FilesDownloaded() const {
    std::lock_guard lock(mutex_);
    return filesDone_;
}
size_t ConsoleView::FilesFailed() const {
    std::lock_guard lock(mutex_);
    return filesFailed_;
}

int CheckAllFeeds(SharedModel& model, ConsoleProgress& progress) {
    ConsoleView view(model, progress);
    {
        UpdateEngine engine(model, view, false);
        if (!engine.OnCheckForNewItems()) {
            // Only newly added subscriptions (or none): the window's command
            // would start nothing, but they are due all the same.
            bool due;
            {
                std::lock_guard lock(model.mutex);
                due = !model.subscriptions.Empty();
            }
            if (due)
                engine.RequestCycle();
        }

        // On a terminal the download bar is redrawn a few times a second,
        // so that its rate stays current.
        std::mutex tickMutex;
        std::condition_variable tickWake;
        bool finished = false;
        std::thread ticker;
        if (progress.Terminal() && !progress.Quiet()) {
            ticker = std::thread([&] {
                std::unique_lock lock(tickMutex);
                while (!tickWake.wait_for(lock, std::chrono::milliseconds(250),
                                          [&] { return finished; }))
                    view.Tick();
            });
        }
        while (!engine.WaitForIdle(std::chrono::seconds(1))) {
        }
        {
            std::lock_guard lock(tickMutex);
            finished = true;
        }
        tickWake.notify_all();
        if (ticker.joinable())
            ticker.join();
        engine.Shutdown();
    }

    const bool failed = view.Messages() > 0 || view.FeedsFailed() > 0 || view.FilesFailed() > 0;
    progress.Line(
        FormatText(LoadResString(TXT_CLI_SUMMARY),
                   {std::to_string(view.FeedsChecked()), std::to_string(view.FeedsFailed()),
                    std::to_string(view.FilesDownloaded()), std::to_string(view.FilesFailed())}));
    return failed ? 1 : 0;
}

} // namespace tessarine
