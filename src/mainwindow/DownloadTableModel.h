#pragma once
// The download list's rows: what the library told of each download (its file
// and podcast, its state and why it failed, its bytes so far of its total),
// shown as the window's cells: file, size, progress and status. Rows are only
// appended (row n shows entry n of the queue). A batch of events is applied
// with one insertion per run of new rows and one change notification for the
// range of rows whose cells changed.

#include "mainwindow/QueuedEngineView.h"
#include "mainwindow/ReportTableModel.h"

#include <string>
#include <vector>

namespace tessarine {

struct DownloadFacts {
    std::string file;
    std::string podcast;
    DownloadState state = DownloadState::Waiting;
    Failure reason{};       // why a Failed download failed
    int64_t received = 0;
    int64_t total = 0;      // 0: not announced
    bool progressed = false; // its transfer has begun: its size is known
};

class DownloadTableModel : public ReportTableModel {
    Q_OBJECT
public:
    enum Column { ColumnFile = 0, ColumnSize = 1, ColumnProgress = 2, ColumnStatus = 3 };

    using ReportTableModel::ReportTableModel;

    void Apply(const std::vector<DownloadEvent>& events);
    // What is known of the download in `row`; none outside the list.
    const DownloadFacts* Facts(int row) const;

    QString Cell(int row, int column) const override;
    int rowCount(const QModelIndex& parent = {}) const override;

private:
    std::vector<DownloadFacts> rows_;
};

} // namespace tessarine
