#pragma once
// The library's events for tessarine-cli: checks, downloads and messages
// become lines on the console (see ConsoleProgress), from the events alone.
// Nothing here waits for anybody: a message is printed and the check goes on.

#include "cli/ConsoleProgress.h"
#include "core/library/PodcastLibrary.h"
#include "core/model/LibraryEvents.h"

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tessarine {

class ConsoleView : public LibraryEvents {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // `now` gives the time a download's rate is measured with.
    explicit ConsoleView(ConsoleProgress& progress, Clock now = std::chrono::steady_clock::now);

    void SubscriptionsChanged() override {}
    void FeedCheckBegan(const std::string& url) override;
    void FeedCheckEnded(const FeedCheckEnd& end) override;
    void DownloadQueued(const QueuedDownload& download) override;
    void DownloadStateChanged(size_t index, DownloadState state, const Failure& reason) override;
    void DownloadProgress(size_t index, int64_t received, int64_t total) override;
    // An error is printed to the error stream and counts as a failure; a
    // notice is printed as a line of its own and is no failure.
    void MessagePosted(const Message& message) override;
    void CycleEnded(bool) override {} // the command line ends by itself

    // Redraws the download under way with its bytes so far (for a periodic
    // redraw, which keeps the rate current between changes of percentage).
    void Tick();

    size_t Messages() const;
    size_t FeedsChecked() const;
    size_t FeedsFailed() const;
    size_t FilesDownloaded() const;
    size_t FilesFailed() const;

private:
    void DrawDownload(); // with mutex_ held

    ConsoleProgress& progress_;
    const Clock now_;
    mutable std::mutex mutex_;
    // The address each check under way is shown with, by the address it
    // began with (a web page's check goes on from the feed it names).
    std::map<std::string, std::string> shownUrls_;
    std::vector<std::string> files_;                  // per download
    long long active_ = -1;                           // the download under way
    int64_t activeReceived_ = 0, activeLength_ = 0;   // its bytes so far, of
    // The bytes it had when the server answered (a resumed download starts
    // with what is on disk), and when that was; -1: no answer yet.
    int64_t activeFirst_ = -1;
    std::chrono::steady_clock::time_point started_;
    size_t messages_ = 0, feedsChecked_ = 0, feedsFailed_ = 0, filesDone_ = 0, filesFailed_ = 0;
};

// "Check for new items" on the library (whose events go to `view`), then the
// downloads; returns when all is done. Returns 0 when every feed and download
// succeeded, 1 otherwise (the rest is done all the same).
int CheckAllFeeds(PodcastLibrary& library, ConsoleView& view, ConsoleProgress& progress);

} // namespace tessarine
