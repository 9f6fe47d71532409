#include "support/RecordingView.h"

namespace tessarine::test {

void RecordingView::RefreshSubscriptionRows() {}

void RecordingView::InsertDownloadRow(size_t /*row: always the end*/, const DownloadRow& cells) {
    std::lock_guard lock(mutex_);
    rows_.push_back(cells);
    history_.emplace_back(4);
    for (size_t c = 0; c < 4; ++c)
        history_.back()[c].push_back(cells[c]);
}

void RecordingView::SetDownloadCell(size_t row, DownloadColumn column, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (row >= rows_.size())
        return;
    rows_[row][column] = text;
    history_[row][column].push_back(text);
}

void RecordingView::ShowError(const std::string& message) {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
}

void RecordingView::CycleEnded(bool quit) {
    std::lock_guard lock(mutex_);
    ++cycleEnds_;
    quits_ += quit ? 1 : 0;
}

std::vector<std::string> RecordingView::CellHistory(size_t row, DownloadColumn column) const {
    std::lock_guard lock(mutex_);
    if (row >= history_.size())
        return {};
    return history_[row][column];
}

} // namespace tessarine::test
