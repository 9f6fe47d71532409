#pragma once
// The download list's rows: the texts the engine's events gave each row.
// Rows are only appended (row n shows entry n of the queue). A batch of
// changes is applied with one insertion per run of new rows and one change
// notification for the range of rows whose cells changed.

#include "mainwindow/QueuedEngineView.h"
#include "mainwindow/ReportTableModel.h"

#include <QStringList>

#include <vector>

namespace tessarine {

class DownloadTableModel : public ReportTableModel {
    Q_OBJECT
public:
    using ReportTableModel::ReportTableModel;

    void Apply(const std::vector<DownloadChange>& changes);

    QString Cell(int row, int column) const override;
    int rowCount(const QModelIndex& parent = {}) const override;

private:
    std::vector<QStringList> rows_;
};

} // namespace tessarine
