#include "mainwindow/NewEpisodeNews.h"

#include "mainwindow/DownloadTableModel.h"
#include "platform/Notifier.h"

#include <algorithm>

namespace tessarine {

NewEpisodeNews::NewEpisodeNews(std::unique_ptr<Notifier> notifier) {
    SetNotifier(std::move(notifier));
}

NewEpisodeNews::~NewEpisodeNews() = default;

void NewEpisodeNews::SetNotifier(std::unique_ptr<Notifier> notifier) {
    notifier_ = std::move(notifier);
    if (notifier_ != nullptr)
        notifier_->SetActivation([this] { Activated(); });
}

void NewEpisodeNews::SetActivation(Activation activated) { activated_ = std::move(activated); }

void NewEpisodeNews::Activated() const {
    // Each news replaces the one before on the desktop: a click is on the last.
    if (activated_)
        activated_(told_);
}

void NewEpisodeNews::Apply(const std::vector<DownloadEvent>& events) {
    for (const DownloadEvent& event : events) {
        if (const auto* queued = std::get_if<QueuedDownload>(&event)) {
            if (queued->index >= states_.size())
                states_.resize(queued->index + 1);
            states_[queued->index] = DownloadState::Waiting;
            continue;
        }
        const auto* change = std::get_if<DownloadStateChange>(&event);
        if (change == nullptr || change->index >= states_.size())
            continue;
        DownloadState& state = states_[change->index];
        if (change->state == DownloadState::Done && state == DownloadState::Downloading)
            done_.push_back(static_cast<int>(change->index));
        state = change->state;
    }
}

std::vector<int> NewEpisodeNews::TakeNewRows() {
    std::vector<int> rows;
    rows.swap(done_);
    return rows;
}

void NewEpisodeNews::Report(const DownloadTableModel& downloads) {
    const std::vector<int> rows = TakeNewRows();
    std::vector<std::string> podcasts;
    for (int row : rows)
        if (const DownloadFacts* facts = downloads.Facts(row))
            podcasts.push_back(facts->podcast);
    if (notifier_ == nullptr || rows.empty())
        return;
    NotifyNewEpisodes(*notifier_, static_cast<int>(rows.size()), podcasts);
    told_.clear();
    for (const std::string& name : podcasts)
        if (std::find(told_.begin(), told_.end(), name) == told_.end())
            told_.push_back(name);
}

} // namespace tessarine
