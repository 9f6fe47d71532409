#pragma once
// The subscription list's rows: a snapshot of the library's records, taken
// again on every change. Only rows whose values differ are announced (runs of
// them together), rows appended or one row removed are announced as such,
// anything else resets the list. Cells are formatted when they are shown.

#include "core/library/PodcastLibrary.h"
#include "core/util/Strings.h"
#include "mainwindow/ReportTableModel.h"

#include <vector>

namespace tessarine {

class SubscriptionTableModel : public ReportTableModel {
    Q_OBJECT
public:
    SubscriptionTableModel(const PodcastLibrary& library, QObject* parent);

    // Takes a new snapshot of the library and announces what changed.
    void Sync();
    // The record shown in `row`, or none.
    SubscriptionPtr RecordAt(int row) const;

    QString Cell(int row, int column) const override;
    int rowCount(const QModelIndex& parent = {}) const override;

private:
    const PodcastLibrary& library_;
    std::vector<SubscriptionSnapshot> rows_;
    Language language_;
};

} // namespace tessarine
