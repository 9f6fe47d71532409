#include "mainwindow/ReportList.h"

#include <QFontMetrics>
#include <QHeaderView>

#include <algorithm>
#include <iterator>

namespace tessarine {

ReportListModel::ReportListModel(QObject* parent) : QAbstractTableModel(parent) {}

void ReportListModel::SetColumns(std::vector<ReportColumn> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
}

void ReportListModel::InsertRow(int row, const QStringList& cells) {
    row = std::clamp(row, 0, static_cast<int>(rows_.size()));
    beginInsertRows({}, row, row);
    QStringList padded = cells;
    while (padded.size() < static_cast<int>(columns_.size()))
        padded.append(QString());
    rows_.insert(rows_.begin() + row, padded);
    endInsertRows();
}

void ReportListModel::InsertRows(int row, std::vector<QStringList> rows) {
    if (rows.empty())
        return;
    row = std::clamp(row, 0, static_cast<int>(rows_.size()));
    const int count = static_cast<int>(rows.size());
    beginInsertRows({}, row, row + count - 1);
    for (QStringList& cells : rows)
        while (cells.size() < static_cast<int>(columns_.size()))
            cells.append(QString());
    rows_.insert(rows_.begin() + row, std::make_move_iterator(rows.begin()),
                 std::make_move_iterator(rows.end()));
    endInsertRows();
}

void ReportListModel::RemoveRow(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void ReportListModel::Clear() {
    if (rows_.empty())
        return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void ReportListModel::SetCell(int row, int column, const QString& text) {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 ||
        column >= rows_[row].size())
        return;
    if (rows_[row][column] == text)
        return;
    rows_[row][column] = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void ReportListModel::SetRows(const std::vector<QStringList>& rows) {
    const int count = std::min(static_cast<int>(rows.size()), static_cast<int>(rows_.size()));
    // Consecutive changed rows are announced together.
    int runStart = -1;
    auto announce = [this](int first, int last) {
        emit dataChanged(index(first, 0), index(last, columnCount() - 1), {Qt::DisplayRole});
    };
    for (int r = 0; r < count; ++r) {
        bool changed = false;
        for (int c = 0; c < rows[r].size() && c < rows_[r].size(); ++c) {
            if (rows_[r][c] != rows[r][c]) {
                rows_[r][c] = rows[r][c];
                changed = true;
            }
        }
        if (changed && runStart < 0)
            runStart = r;
        else if (!changed && runStart >= 0) {
            announce(runStart, r - 1);
            runStart = -1;
        }
    }
    if (runStart >= 0)
        announce(runStart, count - 1);
}

QString ReportListModel::Cell(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 ||
        column >= rows_[row].size())
        return {};
    return rows_[row][column];
}

int ReportListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return rows_[index.row()][index.column()];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columns_[index.column()].alignment | Qt::AlignVCenter);
    return {};
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(columns_.size()))
        return {};
    if (role == Qt::DisplayRole)
        return columns_[section].header;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columns_[section].alignment | Qt::AlignVCenter);
    return {};
}

ReportListView::ReportListView(QWidget* parent)
    : QTreeView(parent), model_(new ReportListModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps long lists fast
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (!selected.isEmpty())
                    selectionMark_ = selected.indexes().first().row();
            });
    // The mark follows its row when rows before it go, and is gone with it.
    connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                if (selectionMark_ > last)
                    selectionMark_ -= last - first + 1;
                else if (selectionMark_ >= first)
                    selectionMark_ = -1;
            });
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { selectionMark_ = -1; });
}

void ReportListView::SetColumns(std::vector<ReportColumn> columns) {
    // The widths are given for a font whose average character is 6 pixels
    // wide; they grow with the font in use, and never cut off a header or a
    // column's widest sample text.
    const QFontMetrics metrics(font());
    const int padding = 2 * metrics.averageCharWidth() + 8;
    std::vector<int> widths;
    for (const ReportColumn& c : columns) {
        int width = c.width * std::max(6, metrics.averageCharWidth()) / 6;
        width = std::max(width, metrics.horizontalAdvance(c.header) + padding);
        if (!c.sample.isEmpty())
            width = std::max(width, metrics.horizontalAdvance(c.sample) + padding);
        widths.push_back(width);
    }
    model_->SetColumns(std::move(columns));
    for (size_t i = 0; i < widths.size(); ++i)
        setColumnWidth(static_cast<int>(i), widths[i]);
}

void ReportListView::SelectRow(int row) {
    const QModelIndex index = model_->index(row, 0);
    if (!index.isValid())
        return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
}

} // namespace tessarine
