#pragma once
// A list in report form over a ReportTableModel: full-row single selection
// and a selection mark (the row selected last, -1 when none), which follows
// its row when rows before it go and is gone with it.

#include "mainwindow/ReportTableModel.h"

#include <QTreeView>

namespace tessarine {

class ReportListView : public QTreeView {
    Q_OBJECT
public:
    // Shows `model`, which the caller keeps alive (usually a child of the window).
    ReportListView(ReportTableModel* model, QWidget* parent);

    ReportTableModel* Model() const { return model_; }
    // Sets the model's columns and their widths.
    void SetColumns(std::vector<ReportColumn> columns);
    int SelectionMark() const { return selectionMark_; }
    // Selects `row` the way a click does (it becomes the selection mark).
    void SelectRow(int row);

private:
    ReportTableModel* model_;
    int selectionMark_ = -1;
};

} // namespace tessarine
