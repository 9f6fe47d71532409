#pragma once
// An EngineView that records what the engine asks of the window: the
// download rows as a list control would hold them, messages and cycle ends.

#include "core/update/EngineView.h"

#include <mutex>
#include <string>
#include <vector>

namespace tessarine::test {

class RecordingView : public EngineView {
public:
    void RefreshSubscriptionRows() override;
    void InsertDownloadRow(size_t row, const DownloadRow& cells) override;
    void SetDownloadCell(size_t row, DownloadColumn column, const std::string& text) override;
    void ShowError(const std::string& message) override;
    void CycleEnded(bool quit) override;

    std::vector<DownloadRow> Rows() const { return Locked(rows_); }
    std::vector<std::string> Messages() const { return Locked(messages_); }
    // How many cycle ends were told, and how many of them said to quit.
    size_t CycleEnds() const { return Locked(cycleEnds_); }
    size_t Quits() const { return Locked(quits_); }
    // Every text a cell of `row` showed in `column`, in order.
    std::vector<std::string> CellHistory(size_t row, DownloadColumn column) const;

private:
    template <typename T> T Locked(const T& member) const {
        std::lock_guard lock(mutex_);
        return member;
    }
    mutable std::mutex mutex_;
    std::vector<DownloadRow> rows_;
    std::vector<std::vector<std::vector<std::string>>> history_;
    std::vector<std::string> messages_;
    size_t cycleEnds_ = 0;
    size_t quits_ = 0;
};

} // namespace tessarine::test
