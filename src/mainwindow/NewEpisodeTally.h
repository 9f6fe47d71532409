#pragma once
// Which downloads were new since the last look: the download list's rows
// whose status went from "Downloading" to "Completed" in the changes that
// reached the window. A file that was there already goes straight to
// "Completed" and is not counted; neither is a failed transfer.

#include "mainwindow/QueuedEngineView.h"

#include <QString>

#include <vector>

namespace tessarine {

class NewEpisodeTally {
public:
    NewEpisodeTally();

    // Follows a batch of download list changes, in their order.
    void Apply(const std::vector<DownloadChange>& changes);
    // The rows completed since the last call, in the order they completed.
    std::vector<int> Take();

private:
    QString downloading_;
    QString completed_;
    std::vector<QString> status_; // each row's status as the changes left it
    std::vector<int> done_;
};

} // namespace tessarine
