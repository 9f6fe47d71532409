#include "mainwindow/DownloadTableModel.h"

#include "core/util/Strings.h"
#include "display/DisplayText.h"

#include <algorithm>

namespace tessarine {

void DownloadTableModel::Apply(const std::vector<DownloadEvent>& events) {
    std::vector<size_t> changedDownloads;
    for (size_t i = 0; i < events.size();) {
        if (const auto* state = std::get_if<DownloadStateChange>(&events[i])) {
            ++i;
            if (state->index >= facts_.size())
                continue;
            DownloadFacts& facts = facts_[state->index];
            facts.reason = state->reason;
            if (facts.state == state->state)
                continue;
            facts.state = state->state;
            if (state->state == DownloadState::Removed)
                Hide(state->index);
            else
                changedDownloads.push_back(state->index);
            continue;
        }
        if (const auto* bytes = std::get_if<DownloadBytes>(&events[i])) {
            ++i;
            if (bytes->index >= facts_.size())
                continue;
            DownloadFacts& facts = facts_[bytes->index];
            // The cells show the size and the whole percentage, not each byte.
            const bool shownAlike = facts.progressed && facts.total == bytes->total &&
                                    WholePercent(facts.received, facts.total) ==
                                        WholePercent(bytes->received, bytes->total);
            facts.received = bytes->received;
            facts.total = bytes->total;
            facts.progressed = true;
            if (!shownAlike)
                changedDownloads.push_back(bytes->index);
            continue;
        }
        const auto& queued = std::get<QueuedDownload>(events[i]);
        if (queued.index < facts_.size()) { // told again: the row shows it anew
            facts_[queued.index] = {queued.fileName, queued.podcast};
            changedDownloads.push_back(queued.index);
            ++i;
            continue;
        }
        if (sortColumn_ >= 0) { // each goes where it sorts
            facts_.resize(queued.index + 1);
            facts_[queued.index] = {queued.fileName, queued.podcast};
            const int row = InsertionRow(queued.index);
            beginInsertRows({}, row, row);
            rows_.insert(rows_.begin() + row, queued.index);
            IndexRows();
            endInsertRows();
            ++i;
            continue;
        }
        // Rows appended one after the other go in together.
        size_t end = i, size = facts_.size();
        for (; end < events.size(); ++end) {
            const auto* next = std::get_if<QueuedDownload>(&events[end]);
            if (next == nullptr || next->index < size)
                break;
            size = next->index + 1;
        }
        const auto first = static_cast<int>(rows_.size());
        beginInsertRows({}, first, first + static_cast<int>(end - i) - 1);
        facts_.resize(size);
        for (; i < end; ++i) {
            const auto& one = std::get<QueuedDownload>(events[i]);
            facts_[one.index] = {one.fileName, one.podcast};
            rows_.push_back(one.index);
        }
        IndexRows();
        endInsertRows();
    }
    int changedFirst = -1, changedLast = -1;
    for (size_t download : changedDownloads) {
        const int row = RowOf(static_cast<int>(download));
        if (row < 0)
            continue;
        changedFirst = changedFirst < 0 ? row : std::min(changedFirst, row);
        changedLast = std::max(changedLast, row);
    }
    if (changedFirst >= 0)
        AnnounceRows(changedFirst, changedLast);
}

void DownloadTableModel::Hide(size_t download) {
    const int row = RowOf(static_cast<int>(download));
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    IndexRows();
    endRemoveRows();
}

void DownloadTableModel::IndexRows() {
    rowOf_.assign(facts_.size(), -1);
    for (size_t row = 0; row < rows_.size(); ++row)
        rowOf_[rows_[row]] = static_cast<int>(row);
}

const DownloadFacts* DownloadTableModel::Facts(int download) const {
    if (download < 0 || download >= static_cast<int>(facts_.size()))
        return nullptr;
    return &facts_[static_cast<size_t>(download)];
}

int DownloadTableModel::DownloadAt(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return -1;
    return static_cast<int>(rows_[static_cast<size_t>(row)]);
}

int DownloadTableModel::RowOf(int download) const {
    if (download < 0 || download >= static_cast<int>(rowOf_.size()))
        return -1;
    return rowOf_[static_cast<size_t>(download)];
}

QString DownloadTableModel::Cell(int row, int column) const {
    return Text(DownloadAt(row), column);
}

QString DownloadTableModel::Text(int download, int column) const {
    const DownloadFacts* facts = Facts(download);
    if (facts == nullptr)
        return {};
    switch (column) {
    case ColumnFile:
        return QString::fromStdString(facts->file);
    case ColumnPodcast:
        return QString::fromStdString(facts->podcast);
    case ColumnSize:
        // Known once the transfer begins: the announced total (0B when the
        // server announced none).
        return facts->progressed ? QString::fromStdString(SizeText(facts->total)) : QString();
    case ColumnProgress:
        return QString::fromStdString(PercentText(facts->received, facts->total));
    case ColumnStatus:
        return QString::fromStdString(StateText(facts->state));
    default:
        return {};
    }
}

QString DownloadTableModel::ToolTip(int row, int column) const {
    // A failed or cancelled row's tip says why.
    if (const DownloadFacts* facts = Facts(DownloadAt(row)); facts && facts->reason)
        return QString::fromStdString(
            FormatText(LoadResString(TXT_DOWNLOAD_TIP_REASON),
                       {StateText(facts->state), FailureText(facts->reason)}));
    return ReportTableModel::ToolTip(row, column);
}

int DownloadTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

bool DownloadTableModel::Before(size_t a, size_t b) const {
    const DownloadFacts& x = facts_[a];
    const DownloadFacts& y = facts_[b];
    int order = 0;
    switch (sortColumn_) {
    case ColumnSize: {
        // A size not known yet comes before every known one.
        const int64_t sx = x.progressed ? x.total : -1, sy = y.progressed ? y.total : -1;
        order = sx < sy ? -1 : sx > sy ? 1 : 0;
        break;
    }
    case ColumnProgress: {
        const int px = WholePercent(x.received, x.total), py = WholePercent(y.received, y.total);
        order = px < py ? -1 : px > py ? 1 : 0;
        break;
    }
    default:
        if (sortColumn_ >= 0)
            order = QString::localeAwareCompare(Text(static_cast<int>(a), sortColumn_),
                                                Text(static_cast<int>(b), sortColumn_));
        break;
    }
    if (order == 0) // alike: in queue order
        return a < b;
    return sortOrder_ == Qt::AscendingOrder ? order < 0 : order > 0;
}

int DownloadTableModel::InsertionRow(size_t download) const {
    const auto at = std::upper_bound(rows_.begin(), rows_.end(), download,
                                     [this](size_t a, size_t b) { return Before(a, b); });
    return static_cast<int>(at - rows_.begin());
}

void DownloadTableModel::sort(int column, Qt::SortOrder order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> downloads;
    for (const QModelIndex& index : before)
        downloads.push_back(DownloadAt(index.row()));
    sortColumn_ = column;
    sortOrder_ = order;
    std::stable_sort(rows_.begin(), rows_.end(),
                     [this](size_t a, size_t b) { return Before(a, b); });
    IndexRows();
    QModelIndexList after;
    for (size_t i = 0; i < downloads.size(); ++i)
        after.push_back(index(RowOf(downloads[i]), before[static_cast<int>(i)].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace tessarine
