#pragma once
// A list in report form: rows of text cells under column headers, addressed
// by row index only, with full-row single selection and a selection mark
// (the row selected last, -1 when none). The model keeps the cell texts like
// a list control does; rows change only through its calls.

#include <QAbstractTableModel>
#include <QStringList>
#include <QTreeView>

#include <vector>

namespace tessarine {

struct ReportColumn {
    QString header;
    Qt::Alignment alignment;
    int width;
    QString sample = {}; // a typical widest cell text the column must show whole
};

class ReportListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ReportListModel(QObject* parent = nullptr);

    void SetColumns(std::vector<ReportColumn> columns);
    const std::vector<ReportColumn>& Columns() const { return columns_; }

    void InsertRow(int row, const QStringList& cells);
    // Inserts consecutive rows at `row` with one change notification, as
    // that many InsertRow calls at row, row + 1, ... would.
    void InsertRows(int row, std::vector<QStringList> rows);
    void RemoveRow(int row);
    void Clear();
    void SetCell(int row, int column, const QString& text);
    // Rewrites the cells of rows 0..rows.size()-1 (rows past the end are
    // ignored). Only rows whose texts change are announced, so that an
    // unchanged row is not repainted.
    void SetRows(const std::vector<QStringList>& rows);
    QString Cell(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<ReportColumn> columns_;
    std::vector<QStringList> rows_;
};

class ReportListView : public QTreeView {
    Q_OBJECT
public:
    explicit ReportListView(QWidget* parent = nullptr);

    ReportListModel* Model() const { return model_; }
    void SetColumns(std::vector<ReportColumn> columns);
    int SelectionMark() const { return selectionMark_; }
    // Selects `row` the way a click does (it becomes the selection mark).
    void SelectRow(int row);

private:
    ReportListModel* model_;
    int selectionMark_ = -1;
};

} // namespace tessarine
