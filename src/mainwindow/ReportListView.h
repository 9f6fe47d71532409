#pragma once
// A list in report form over a ReportTableModel: full-row single selection
// and a selection mark (the row selected last, -1 when none), which follows
// its row when rows before it go or rows change places, and is gone with it.
// The last column stretches to the list's width.

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
    // Where a menu asked for from the keyboard opens, in global coordinates:
    // below the selection mark's row, scrolled into view (the top-left
    // corner of the rows when nothing is selected).
    QPoint KeyboardMenuPoint();
    // A short text drawn in the middle of the list while it has no rows (it
    // is no row itself: nothing to select or scroll).
    void SetEmptyHint(const QString& hint);
    const QString& EmptyHint() const { return emptyHint_; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // At a fractional scale factor the style's frame lines fall between
    // device pixels; this draws the frame again on whole device pixels.
    void DrawFrameOnDevicePixels();

    ReportTableModel* model_;
    QString emptyHint_;
    int selectionMark_ = -1;
    QPersistentModelIndex markBeforeLayout_; // the mark's row while rows change places
};

} // namespace tessarine
