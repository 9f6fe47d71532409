#pragma once
// An EngineView that records what the engine asks of the window: the
// download rows as a list control would hold them, messages and posts.

#include "update/EngineView.h"

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
    void PostCommand(int commandId) override;

    std::vector<DownloadRow> Rows() const;
    std::vector<std::string> Messages() const;
    std::vector<int> Posts() const;
    // Every text a cell of `row` showed in `column`, in order.
    std::vector<std::string> CellHistory(size_t row, DownloadColumn column) const;

private:
    mutable std::mutex mutex_;
    std::vector<DownloadRow> rows_;
    std::vector<std::vector<std::vector<std::string>>> history_;
    std::vector<std::string> messages_;
    std::vector<int> posts_;
};

} // namespace tessarine::test
