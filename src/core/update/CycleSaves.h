#pragma once
// The settings saves of one walk: at most one per interval while records
// change, one when the walk waits for the network past the time the next
// save is due, and one at its end, however it ends.

#include "core/model/SharedModel.h"
#include "core/util/Clock.h"

#include <chrono>
#include <optional>

namespace tessarine {

class CycleSaves {
public:
    CycleSaves(SharedModel& model, const Clock& clock, std::chrono::milliseconds interval);
    ~CycleSaves(); // Flush()
    CycleSaves(const CycleSaves&) = delete;
    CycleSaves& operator=(const CycleSaves&) = delete;

    // A record changed: saved now when the interval since the last save has
    // passed (or nothing was saved yet).
    void Changed();
    // How long until a save of the changes is due (zero without changes:
    // nothing to wait for).
    std::chrono::milliseconds TimeToNext() const;
    // Saves the changes not yet saved, if any.
    void Flush();

private:
    SharedModel& model_;
    const Clock& clock_;
    const std::chrono::milliseconds interval_;
    bool changed_ = false;
    // When the walk last saved; none before its first save, which is due at
    // once whatever the clock reads.
    std::optional<Clock::TimePoint> last_;
};

} // namespace tessarine
