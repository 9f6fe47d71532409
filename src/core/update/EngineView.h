#pragma once
// The events the update engine sends to a front end. The worker never waits
// for one: the main window queues them and applies them in order on its own
// thread (messages are shown one after another while the cycle goes on), a
// console front end prints them, tests record them. The engine never calls
// it while it holds the model's lock.

#include <array>
#include <cstdint>
#include <string>

namespace tessarine {

// Download list columns.
enum DownloadColumn { ColumnFile = 0, ColumnSize = 1, ColumnProgress = 2, ColumnStatus = 3 };
using DownloadRow = std::array<std::string, 4>;

class EngineView {
public:
    virtual ~EngineView() = default;
    // Some subscription's name, date or status changed: show the model's rows again.
    virtual void RefreshSubscriptionRows() = 0;
    // Row `row` (always the current row count) was appended with its four cells.
    virtual void InsertDownloadRow(size_t row, const DownloadRow& cells) = 0;
    virtual void SetDownloadCell(size_t row, DownloadColumn column, const std::string& text) = 0;
    // Bytes of the download at `row` so far, of `length` (0 when not
    // announced): sent now and then while it runs, for a front end that shows
    // more than the percentage.
    virtual void DownloadProgress(size_t /*row*/, int64_t /*received*/, int64_t /*length*/) {}
    // An error message for the user.
    virtual void ShowError(const std::string& message) = 0;
    // A message that tells the user what the engine did for them, which is
    // no failure; shown as an error message unless a front end tells the two
    // apart.
    virtual void ShowNotice(const std::string& message) { ShowError(message); }
    // The worker has ended its cycles and nothing is pending. `quit`: the
    // quit rule says that the program ends now (once the user has read the
    // messages still open).
    virtual void CycleEnded(bool quit) = 0;
};

} // namespace tessarine
