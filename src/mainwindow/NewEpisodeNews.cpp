#include "mainwindow/NewEpisodeNews.h"

#include "core/library/PodcastLibrary.h"
#include "core/update/EngineView.h"
#include "core/util/Strings.h"
#include "platform/Notifier.h"

namespace tessarine {

NewEpisodeNews::NewEpisodeNews(std::unique_ptr<Notifier> notifier)
    : notifier_(std::move(notifier)),
      downloading_(QString::fromStdString(LoadResString(IDS_DOWNLOADING))),
      completed_(QString::fromStdString(LoadResString(IDS_COMPLETED))) {}

NewEpisodeNews::~NewEpisodeNews() = default;

void NewEpisodeNews::SetNotifier(std::unique_ptr<Notifier> notifier) {
    notifier_ = std::move(notifier);
}

void NewEpisodeNews::Apply(const std::vector<DownloadChange>& changes) {
    for (const DownloadChange& change : changes) {
        if (change.row < 0)
            continue;
        const auto row = static_cast<size_t>(change.row);
        if (row >= status_.size())
            status_.resize(row + 1);
        if (change.column < 0) { // a new row with its four cells
            status_[row] = change.cells.value(ColumnStatus);
            continue;
        }
        if (change.column != ColumnStatus)
            continue;
        const QString status = change.cells.value(0);
        if (status == completed_ && status_[row] == downloading_)
            done_.push_back(change.row);
        status_[row] = status;
    }
}

std::vector<int> NewEpisodeNews::TakeNewRows() {
    std::vector<int> rows;
    rows.swap(done_);
    return rows;
}

void NewEpisodeNews::Report(const PodcastLibrary& library) {
    const std::vector<int> rows = TakeNewRows();
    std::vector<std::string> podcasts;
    for (int row : rows)
        if (const std::optional<DownloadEntry> entry = library.DownloadAt(row))
            podcasts.push_back(entry->folder);
    if (notifier_ != nullptr)
        NotifyNewEpisodes(*notifier_, static_cast<int>(rows.size()), podcasts);
}

} // namespace tessarine
