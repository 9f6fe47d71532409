#include "mainwindow/SubscriptionTableModel.h"

#include "display/DisplayText.h"

#include <algorithm>

namespace tessarine {
namespace {

bool SameValues(const Subscription& a, const Subscription& b) {
    return a.name == b.name && a.lastChecked == b.lastChecked && a.status == b.status;
}

bool SameRecords(const std::vector<SubscriptionSnapshot>& a, size_t aFrom,
                 const std::vector<SubscriptionSnapshot>& b, size_t bFrom, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (a[aFrom + i].record != b[bFrom + i].record)
            return false;
    return true;
}

} // namespace

SubscriptionTableModel::SubscriptionTableModel(const PodcastLibrary& library, QObject* parent)
    : ReportTableModel(parent), library_(library), language_(CurrentLanguage()) {}

void SubscriptionTableModel::Sync() {
    std::vector<SubscriptionSnapshot> next = library_.SubscriptionRows();
    const size_t shown = rows_.size();
    const bool relabel = language_ != CurrentLanguage();
    language_ = CurrentLanguage();

    if (next.size() + 1 == shown) {
        // One record removed?
        size_t gone = 0;
        while (gone < next.size() && rows_[gone].record == next[gone].record)
            ++gone;
        if (SameRecords(rows_, gone + 1, next, gone, next.size() - gone)) {
            beginRemoveRows({}, static_cast<int>(gone), static_cast<int>(gone));
            rows_.erase(rows_.begin() + static_cast<long>(gone));
            endRemoveRows();
        }
    }
    const size_t common = std::min(rows_.size(), next.size());
    if (!SameRecords(rows_, 0, next, 0, common)) {
        beginResetModel();
        rows_ = std::move(next);
        endResetModel();
        return;
    }
    // Runs of changed rows are announced together.
    int runStart = -1;
    for (size_t r = 0; r < common; ++r) {
        const bool changed = relabel || !SameValues(rows_[r].values, next[r].values);
        if (changed)
            rows_[r].values = next[r].values;
        if (changed && runStart < 0) {
            runStart = static_cast<int>(r);
        } else if (!changed && runStart >= 0) {
            AnnounceRows(runStart, static_cast<int>(r) - 1);
            runStart = -1;
        }
    }
    if (runStart >= 0)
        AnnounceRows(runStart, static_cast<int>(common) - 1);
    if (next.size() > common) {
        beginInsertRows({}, static_cast<int>(common), static_cast<int>(next.size()) - 1);
        rows_.insert(rows_.end(), std::make_move_iterator(next.begin() + static_cast<long>(common)),
                     std::make_move_iterator(next.end()));
        endInsertRows();
    } else if (rows_.size() > common) {
        beginRemoveRows({}, static_cast<int>(common), static_cast<int>(rows_.size()) - 1);
        rows_.resize(common);
        endRemoveRows();
    }
}

SubscriptionPtr SubscriptionTableModel::RecordAt(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return nullptr;
    return rows_[static_cast<size_t>(row)].record;
}

QString SubscriptionTableModel::Cell(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return {};
    const Subscription& s = rows_[static_cast<size_t>(row)].values;
    switch (column) {
    case 0:
        return QString::fromStdString(s.name);
    case 1:
        return QString::fromStdString(s.lastChecked.FormatShown());
    case 2:
        return QString::fromStdString(StatusText(s.status));
    default:
        return {};
    }
}

int SubscriptionTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

} // namespace tessarine
