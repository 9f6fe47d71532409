#include "cli/ConsoleView.h"

#include "core/net/UrlReference.h"
#include "core/util/Strings.h"
#include "display/DisplayText.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <thread>

namespace tessarine {

ConsoleView::ConsoleView(ConsoleProgress& progress, Clock now)
    : progress_(progress), now_(std::move(now)) {}

void ConsoleView::FeedCheckBegan(const std::string& url) {
    const std::string shown = ShownUrl(url);
    {
        std::lock_guard lock(mutex_);
        shownUrls_[url] = shown;
    }
    progress_.FeedStarted(shown);
}

void ConsoleView::FeedCheckEnded(const FeedCheckEnd& end) {
    std::string shown;
    {
        std::lock_guard lock(mutex_);
        const auto began = shownUrls_.find(end.url);
        if (began != shownUrls_.end()) {
            shown = began->second;
            shownUrls_.erase(began);
        } else {
            shown = ShownUrl(end.url);
        }
        ++feedsChecked_;
        if (end.status == Error)
            ++feedsFailed_;
    }
    std::string line = StatusText(end.status) + ": " + end.name + " (" + shown + ")";
    if (end.status != Error) {
        progress_.FeedFinished(line);
        return;
    }
    if (const std::string reason = FailureText(end.failure); !reason.empty())
        line += ": " + reason;
    // Under --quiet the check's message has told it already, with its reason.
    if (!progress_.Quiet())
        progress_.Failed(line);
}

void ConsoleView::DownloadQueued(const QueuedDownload& download) {
    std::lock_guard lock(mutex_);
    if (files_.size() <= download.index)
        files_.resize(download.index + 1);
    files_[download.index] = download.fileName;
}

void ConsoleView::DownloadStateChanged(size_t index, DownloadState state, const Failure& reason) {
    std::lock_guard lock(mutex_);
    const auto row = static_cast<long long>(index);
    if (state == DownloadState::Downloading) {
        active_ = row;
        activeReceived_ = activeLength_ = 0;
        activeFirst_ = -1;
        started_ = now_();
        DrawDownload();
    } else if (state == DownloadState::Done || state == DownloadState::Failed) {
        const int64_t length = active_ == row ? activeReceived_ : 0;
        if (active_ == row)
            active_ = -1;
        const bool done = state == DownloadState::Done;
        (done ? filesDone_ : filesFailed_)++;
        std::string line =
            StateText(state) + ": " + (index < files_.size() ? files_[index] : std::string());
        if (done && length > 0)
            line += " (" + ConsoleProgress::ByteSize(length) + ")";
        if (done) {
            progress_.DownloadFinished(line);
            return;
        }
        if (const std::string why = FailureText(reason); !why.empty())
            line += " (" + why + ")";
        progress_.Failed(line);
    }
}

void ConsoleView::DrawDownload() {
    if (active_ < 0 || !progress_.Terminal() || progress_.Quiet())
        return;
    const int64_t received = activeReceived_, length = activeLength_;
    // Before the server answered nothing is known of the rate.
    const std::chrono::duration<double> elapsed =
        activeFirst_ < 0 ? std::chrono::duration<double>::zero() : now_() - started_;
    const auto row = static_cast<size_t>(active_);
    progress_.DownloadProgress(row < files_.size() ? files_[row] : std::string(), received, length,
                               received - std::max<int64_t>(activeFirst_, 0), elapsed.count());
}

void ConsoleView::DownloadProgress(size_t row, int64_t received, int64_t length) {
    std::lock_guard lock(mutex_);
    if (active_ != static_cast<long long>(row))
        return;
    if (activeFirst_ < 0) {
        // The server's answer: the rate counts from here, and from these bytes.
        activeFirst_ = received;
        started_ = now_();
    }
    activeReceived_ = received;
    activeLength_ = length;
    DrawDownload();
}

void ConsoleView::Tick() {
    std::lock_guard lock(mutex_);
    DrawDownload();
}

void ConsoleView::MessagePosted(const Message& message) {
    const std::string text = MessageWithReason(message);
    if (message.kind == Message::Kind::Notice) {
        // A feed named by a web page: the check goes on from that feed, and
        // its line names it.
        if (message.id == IDS_FEED_FROM_PAGE && message.args.size() == 2) {
            std::lock_guard lock(mutex_);
            for (auto& [began, shown] : shownUrls_)
                if (shown == message.args[0])
                    shown = message.args[1];
        }
        progress_.Line(ConsoleProgress::OneLine(text));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        ++messages_;
    }
    progress_.Message(text);
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
