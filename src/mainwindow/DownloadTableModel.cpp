#include "mainwindow/DownloadTableModel.h"

#include <algorithm>

namespace tessarine {

void DownloadTableModel::Apply(const std::vector<DownloadChange>& changes) {
    const int columns = columnCount();
    int changedFirst = -1, changedLast = -1;
    for (size_t i = 0; i < changes.size();) {
        const DownloadChange& change = changes[i];
        if (change.column >= 0) {
            ++i;
            if (change.row < 0 || change.row >= static_cast<int>(rows_.size()) ||
                change.column >= columns)
                continue;
            QString& cell = rows_[static_cast<size_t>(change.row)][change.column];
            const QString text = change.cells.value(0);
            if (cell == text)
                continue;
            cell = text;
            changedFirst = changedFirst < 0 ? change.row : std::min(changedFirst, change.row);
            changedLast = std::max(changedLast, change.row);
            continue;
        }
        // Rows appended one after the other go in together.
        const int first = static_cast<int>(rows_.size());
        size_t end = i;
        while (end < changes.size() && changes[end].column < 0)
            ++end;
        beginInsertRows({}, first, first + static_cast<int>(end - i) - 1);
        for (; i < end; ++i) {
            QStringList cells = changes[i].cells;
            while (cells.size() < columns)
                cells.append(QString());
            rows_.push_back(std::move(cells));
        }
        endInsertRows();
    }
    if (changedFirst >= 0)
        AnnounceRows(changedFirst, changedLast);
}

QString DownloadTableModel::Cell(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 ||
        column >= rows_[static_cast<size_t>(row)].size())
        return {};
    return rows_[static_cast<size_t>(row)][column];
}

int DownloadTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

} // namespace tessarine
