#pragma once
// The subscription list's rows: a snapshot of the library's records, taken
// again on every change. Only rows whose values differ are announced (runs of
// them together), rows appended or one row removed are announced as such,
// rows that only changed places move as a layout change (the selection goes
// with them), anything else resets the list. Cells are formatted when they
// are shown.
//
// The rows are in the list's order, or sorted by a column (the name and the
// status as shown, the date of the last check); rows that are equal there
// keep the list's order.

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
    // The podcast's address (its password masked) and how its last check
    // ended, with the reason of a failure.
    QString ToolTip(int row, int column) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    // Sorts by `column`; -1 returns to the list's order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    struct Row {
        SubscriptionPtr record;
        Subscription values;
        int32_t lastStatus = 0; // how the last check ended, in this run or before
        Failure failure{};      // why it failed
    };
    // The library's rows in the order shown.
    std::vector<Row> Rows() const;
    QString Cell(const Row& row, int column) const;
    QString SortText(const Row& row, int column) const;
    // Brings the shown rows into the order of `next` (the same records) as a
    // layout change, taking their values too.
    void Reorder(std::vector<Row> next);

    const PodcastLibrary& library_;
    std::vector<Row> rows_;
    Language language_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace tessarine
