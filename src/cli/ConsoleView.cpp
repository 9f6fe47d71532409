#include "cli/ConsoleView.h"

#include "core/net/UrlReference.h"
#include "core/util/Strings.h"

#include <atomic>
#include <condition_variable>
#include <thread>

namespace tessarine {

ConsoleView::ConsoleView(ConsoleProgress& progress) : progress_(progress) {}

void ConsoleView::RefreshSubscriptionRows() {
    struct Row {
        const Subscription* record;
        int32_t status;
        std::string name, url;
    };
    std::vector<Row> rows;
    if (library_ == nullptr)
        return;
    for (const SubscriptionSnapshot& s : library_->SubscriptionRows())
        rows.push_back({s.record.get(), s.values.status, s.values.name, ShownUrl(s.values.url)});
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
        const std::optional<DownloadEntry> entry =
            library_ != nullptr ? library_->DownloadAt(static_cast<long long>(row)) : std::nullopt;
        if (!entry)
            return;
        const DownloadState state = entry->state;
        const int64_t length = active_ == static_cast<long long>(row) ? activeReceived_ : 0;
        const std::string file = row < files_.size() ? files_[row] : std::string();
        if (state == DownloadState::Downloading) {
            active_ = static_cast<long long>(row);
            activeReceived_ = activeLength_ = 0;
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
    const int64_t received = activeReceived_, length = activeLength_;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started_;
    const auto row = static_cast<size_t>(active_);
    progress_.DownloadProgress(row < files_.size() ? files_[row] : std::string(), received, length,
                               elapsed.count());
}

void ConsoleView::DownloadProgress(size_t row, int64_t received, int64_t length) {
    std::lock_guard lock(mutex_);
    if (active_ != static_cast<long long>(row))
        return;
    activeReceived_ = received;
    activeLength_ = length;
    DrawDownload();
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

void ConsoleView::ShowNotice(const std::string& message) {
    progress_.Line(ConsoleProgress::OneLine(message));
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

int CheckAllFeeds(PodcastLibrary& library, ConsoleView& view, ConsoleProgress& progress) {
    {
        // Subscriptions that were only just added are due too, also when
        // nothing else is subscribed.
        if (!library.CheckForNewItems() && library.SubscriptionCount() > 0)
            library.RequestCycle();

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
        while (!library.WaitForIdle(std::chrono::seconds(1))) {
        }
        {
            std::lock_guard lock(tickMutex);
            finished = true;
        }
        tickWake.notify_all();
        if (ticker.joinable())
            ticker.join();
    }

    const bool failed = view.Messages() > 0 || view.FeedsFailed() > 0 || view.FilesFailed() > 0;
    progress.Line(
        FormatText(LoadResString(TXT_CLI_SUMMARY),
                   {std::to_string(view.FeedsChecked()), std::to_string(view.FeedsFailed()),
                    std::to_string(view.FilesDownloaded()), std::to_string(view.FilesFailed())}));
    return failed ? 1 : 0;
}

} // namespace tessarine
