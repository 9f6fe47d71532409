#pragma once
// The desktop's news of new episodes: after the check cycles have ended, how
// many episodes were downloaded since the last news, and from which
// podcasts. New are the downloads that reached Done from Downloading in the
// events that reached the window; a file that was there already goes
// straight to Done and is not new, and a failed transfer is not either.
// Nothing is told when nothing is new.

#include "mainwindow/QueuedEngineView.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessarine {

class DownloadTableModel;
class Notifier;

class NewEpisodeNews {
public:
    // Tells `notifier` (none: nobody).
    explicit NewEpisodeNews(std::unique_ptr<Notifier> notifier);
    ~NewEpisodeNews();
    NewEpisodeNews(const NewEpisodeNews&) = delete; // the notifier calls back into this one
    NewEpisodeNews& operator=(const NewEpisodeNews&) = delete;
    void SetNotifier(std::unique_ptr<Notifier> notifier);
    // Called when the user chooses a notification (of this notifier or a
    // later one) with the podcasts it named, each once, in its order.
    using Activation = std::function<void(const std::vector<std::string>& podcasts)>;
    void SetActivation(Activation activated);

    // Follows a batch of download events, in their order.
    void Apply(const std::vector<DownloadEvent>& events);
    // The rows completed since the last call, in the order they completed.
    std::vector<int> TakeNewRows();
    // Tells the notifier about the rows completed since the last news; the
    // podcast of a row is the one `downloads` shows it from.
    void Report(const DownloadTableModel& downloads);

private:
    void Activated() const;

    std::unique_ptr<Notifier> notifier_;
    Activation activated_;
    std::vector<DownloadState> states_; // each row's state as the events left it
    std::vector<int> done_;
    std::vector<std::string> told_; // the podcasts of the last news, each once
};

} // namespace tessarine
