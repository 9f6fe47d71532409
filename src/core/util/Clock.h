#pragma once
// The time as the core sees it. Everything that measures an interval (the
// settings saves of a walk, the stall watchdog of a transfer, the wait for a
// feed) or stamps a date (when a subscription was last checked) asks a Clock,
// never the system directly, so that the whole core can run on a clock that
// is set and moved on by hand.

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <mutex>

namespace tessarine {

class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;

    // Monotonic time for intervals and time-outs. Its epoch means nothing:
    // only differences between two readings do.
    virtual TimePoint Now() const = 0;
    // The calendar time, for dates that are shown and stored.
    virtual std::time_t CalendarNow() const = 0;
    // Waits on `wake` (with `lock` held on entry and on return) until `done()`
    // holds or Now() reaches `deadline`, whichever comes first; returns
    // done(). Whoever makes `done()` true notifies `wake`.
    virtual bool WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                           TimePoint deadline, const std::function<bool()>& done) const = 0;

    // The machine's clocks: steady_clock and the system's calendar time.
    static const Clock& System();
};

} // namespace tessarine
