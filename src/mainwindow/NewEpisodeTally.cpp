#include "mainwindow/NewEpisodeTally.h"

#include "subscriptions/Strings.h"
#include "update/EngineView.h"

namespace tessarine {

NewEpisodeTally::NewEpisodeTally()
    : downloading_(QString::fromStdString(LoadResString(IDS_DOWNLOADING))),
      completed_(QString::fromStdString(LoadResString(IDS_COMPLETED))) {}

void NewEpisodeTally::Apply(const std::vector<DownloadChange>& changes) {
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

std::vector<int> NewEpisodeTally::Take() {
    std::vector<int> rows;
    rows.swap(done_);
    return rows;
}

} // namespace tessarine
