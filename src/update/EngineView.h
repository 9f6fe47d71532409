#pragma once
// What the update engine needs of the window. The main window implements it
// by carrying each call over to the GUI thread: the download-list changes go
// in order without waiting, the other calls wait until the GUI thread has
// carried them out. Tests implement it by recording the calls. The engine
// never calls it while it holds the model's lock.

#include <array>
#include <string>

namespace tessarine {

// Download list columns.
enum DownloadColumn { ColumnFile = 0, ColumnSize = 1, ColumnProgress = 2, ColumnStatus = 3 };
using DownloadRow = std::array<std::string, 4>;

class EngineView {
public:
    virtual ~EngineView() = default;
    // Rewrites every row of the subscription list from the model.
    virtual void RefreshSubscriptionRows() = 0;
    // Appends row `row` (always the current row count) with its four cells.
    virtual void InsertDownloadRow(size_t row, const DownloadRow& cells) = 0;
    virtual void SetDownloadCell(size_t row, DownloadColumn column, const std::string& text) = 0;
    // Shows an error message and returns when the user has dismissed it.
    virtual void ShowError(const std::string& message) = 0;
    // Asks for a command to be run on the GUI thread later (posted, not waited for).
    virtual void PostCommand(int commandId) = 0;
};

} // namespace tessarine
