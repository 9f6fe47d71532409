#pragma once
// The update engine's view for tessarine-cli: rows and messages become lines
// on the console (see ConsoleProgress). Nothing here waits for anybody: a
// message is printed and the check goes on.

#include "cli/ConsoleProgress.h"
#include "core/library/PodcastLibrary.h"
#include "core/update/EngineView.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tessarine {

class ConsoleView : public EngineView {
public:
    explicit ConsoleView(ConsoleProgress& progress);
    // The library whose rows and downloads the events are about; set before
    // the first event.
    void Attach(const PodcastLibrary& library) { library_ = &library; }

    void RefreshSubscriptionRows() override;
    void InsertDownloadRow(size_t row, const DownloadRow& cells) override;
    void SetDownloadCell(size_t row, DownloadColumn column, const std::string& text) override;
    void DownloadProgress(size_t row, int64_t received, int64_t length) override;
    void ShowError(const std::string& message) override;
    // Printed as a line of its own; no failure.
    void ShowNotice(const std::string& message) override;
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

    const PodcastLibrary* library_ = nullptr;
    ConsoleProgress& progress_;
    mutable std::mutex mutex_;
    std::map<const Subscription*, int32_t> statuses_; // as last seen
    std::vector<std::string> files_;                  // per download row
    long long active_ = -1;                           // the row downloading now
    int64_t activeReceived_ = 0, activeLength_ = 0;   // its bytes so far, of
    std::chrono::steady_clock::time_point started_;
    size_t messages_ = 0, feedsChecked_ = 0, feedsFailed_ = 0, filesDone_ = 0, filesFailed_ = 0;
};

// "Check for new items" on the library (whose events go to `view`), then the
// downloads; returns when all is done. Returns 0 when every feed and download
// succeeded, 1 otherwise (the rest is done all the same).
int CheckAllFeeds(PodcastLibrary& library, ConsoleView& view, ConsoleProgress& progress);

} // namespace tessarine
