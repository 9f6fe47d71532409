#include "mainwindow/DownloadTableModel.h"

#include "display/DisplayText.h"

#include <algorithm>

namespace tessarine {

void DownloadTableModel::Apply(const std::vector<DownloadEvent>& events) {
    int changedFirst = -1, changedLast = -1;
    auto changed = [&](size_t index) {
        const int row = static_cast<int>(index);
        changedFirst = changedFirst < 0 ? row : std::min(changedFirst, row);
        changedLast = std::max(changedLast, row);
    };
    for (size_t i = 0; i < events.size();) {
        if (const auto* state = std::get_if<DownloadStateChange>(&events[i])) {
            ++i;
            if (state->index >= rows_.size())
                continue;
            DownloadFacts& row = rows_[state->index];
            row.reason = state->reason;
            if (row.state != state->state) {
                row.state = state->state;
                changed(state->index);
            }
            continue;
        }
        if (const auto* bytes = std::get_if<DownloadBytes>(&events[i])) {
            ++i;
            if (bytes->index >= rows_.size())
                continue;
            DownloadFacts& row = rows_[bytes->index];
            // The cells show the size and the whole percentage, not each byte.
            const bool shownAlike =
                row.progressed && row.total == bytes->total &&
                WholePercent(row.received, row.total) == WholePercent(bytes->received, bytes->total);
            row.received = bytes->received;
            row.total = bytes->total;
            row.progressed = true;
            if (!shownAlike)
                changed(bytes->index);
            continue;
        }
        const auto& queued = std::get<QueuedDownload>(events[i]);
        if (queued.index < rows_.size()) { // told again: the row shows it anew
            rows_[queued.index] = {queued.fileName, queued.podcast};
            changed(queued.index);
            ++i;
            continue;
        }
        // Rows appended one after the other go in together.
        size_t end = i, size = rows_.size();
        for (; end < events.size(); ++end) {
            const auto* next = std::get_if<QueuedDownload>(&events[end]);
            if (next == nullptr || next->index < size)
                break;
            size = next->index + 1;
        }
        beginInsertRows({}, static_cast<int>(rows_.size()), static_cast<int>(size) - 1);
        rows_.resize(size);
        for (; i < end; ++i) {
            const auto& one = std::get<QueuedDownload>(events[i]);
            rows_[one.index] = {one.fileName, one.podcast};
        }
        endInsertRows();
    }
    if (changedFirst >= 0)
        AnnounceRows(changedFirst, changedLast);
}

const DownloadFacts* DownloadTableModel::Facts(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return nullptr;
    return &rows_[static_cast<size_t>(row)];
}

QString DownloadTableModel::Cell(int row, int column) const {
    const DownloadFacts* facts = Facts(row);
    if (facts == nullptr)
        return {};
    switch (column) {
    case ColumnFile:
        return QString::fromStdString(facts->file);
    case ColumnSize:
        // Known once the transfer begins: the announced total (0.0MB when
        // the server announced none).
        return facts->progressed ? QString::fromStdString(SizeText(facts->total)) : QString();
    case ColumnProgress:
        return QString::fromStdString(PercentText(facts->received, facts->total));
    case ColumnStatus:
        return QString::fromStdString(StateText(facts->state));
    default:
        return {};
    }
}

int DownloadTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

} // namespace tessarine
