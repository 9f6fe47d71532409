#pragma once
// The model behind a list in report form: rows of text cells under column
// headers, addressed by row index. Subclasses say what a cell shows.

#include <QAbstractTableModel>
#include <QString>

#include <vector>

namespace tessarine {

struct ReportColumn {
    QString header;
    Qt::Alignment alignment;
    int width;
    QString sample = {}; // a typical widest cell text the column must show whole
};

class ReportTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetColumns(std::vector<ReportColumn> columns);
    // The text of a cell; empty outside the table.
    virtual QString Cell(int row, int column) const = 0;
    // A cell's tooltip: its text unless a subclass says more.
    virtual QString ToolTip(int row, int column) const { return Cell(row, column); }

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

protected:
    // Announces rows first..last (all columns) as changed.
    void AnnounceRows(int first, int last);

private:
    std::vector<ReportColumn> columns_;
};

} // namespace tessarine
