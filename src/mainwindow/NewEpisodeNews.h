#pragma once
// The desktop's news of new episodes: after the check cycles have ended, how
// many episodes were downloaded since the last news, and from which
// podcasts. New are the download list's rows whose status went from
// "Downloading" to "Completed" in the changes that reached the window; a
// file that was there already goes straight to "Completed" and is not new,
// and a failed transfer is not either. Nothing is told when nothing is new.

#include "mainwindow/QueuedEngineView.h"

#include <QString>

#include <memory>
#include <vector>

namespace tessarine {

class Notifier;
class PodcastLibrary;

class NewEpisodeNews {
public:
    // Tells `notifier` (none: nobody).
    explicit NewEpisodeNews(std::unique_ptr<Notifier> notifier);
    ~NewEpisodeNews();
    void SetNotifier(std::unique_ptr<Notifier> notifier);

    // Follows a batch of download list changes, in their order.
    void Apply(const std::vector<DownloadChange>& changes);
    // The rows completed since the last call, in the order they completed.
    std::vector<int> TakeNewRows();
    // Tells the notifier about the rows completed since the last news; the
    // podcast of a row is its entry's folder in `library`.
    void Report(const PodcastLibrary& library);

private:
    std::unique_ptr<Notifier> notifier_;
    QString downloading_;
    QString completed_;
    std::vector<QString> status_; // each row's status as the changes left it
    std::vector<int> done_;
};

} // namespace tessarine
