#pragma once
// The download list's rows: what the library told of each download (its file
// and podcast, its state and why it failed, its bytes so far of its total),
// shown as the window's cells: file, podcast, size, progress and status.
//
// The downloads are numbered as the library numbers them (Facts); the list
// shows those that are not taken off it, in queue order or sorted by a
// column (size and progress by their numbers, the others by their text). A
// sorted list places new rows where they sort; a row whose cells change
// keeps its place until the next sort. A batch of events is applied with one
// insertion per run of rows appended to an unsorted list and one change
// notification for the range of rows whose cells changed.

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
    enum Column {
        ColumnFile = 0,
        ColumnPodcast = 1,
        ColumnSize = 2,
        ColumnProgress = 3,
        ColumnStatus = 4
    };

    using ReportTableModel::ReportTableModel;

    void Apply(const std::vector<DownloadEvent>& events);
    // What is known of the download numbered `download`; none for a number
    // the list was never told.
    const DownloadFacts* Facts(int download) const;
    // The number of the download the list shows in `row`, -1 outside the
    // list; and the row that shows `download`, -1 when none does.
    int DownloadAt(int row) const;
    int RowOf(int download) const;

    QString Cell(int row, int column) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    // A failed or cancelled row's reason; the cell's text otherwise.
    QString ToolTip(int row, int column) const override;
    // Sorts the rows by `column`; -1 puts them back in queue order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // The text of a download's cell in `column`.
    QString Text(int download, int column) const;
    // Whether download `a` comes before download `b` in the current sort.
    bool Before(size_t a, size_t b) const;
    // Where a new download goes among the rows.
    int InsertionRow(size_t download) const;
    // Takes the download off the rows (it was taken off the list).
    void Hide(size_t download);
    void IndexRows();

    std::vector<DownloadFacts> facts_; // by download number
    std::vector<size_t> rows_;         // the download each row shows
    std::vector<int> rowOf_;           // by download number; -1 when not shown
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace tessarine
