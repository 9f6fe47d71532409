#pragma once
// A clock that stands still until the test moves it on. Its steady time
// starts at the steady clock's epoch (as on a machine booted a moment ago)
// and its calendar time at a fixed date; nothing in it sleeps for the code
// under test. Whoever waits on it for a deadline waits until the test has
// advanced the clock that far (or what it waits for happens), and the test
// can wait for that moment: "the walk is waiting now".

#include "core/util/Clock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tessarine {

class TestClock final : public Clock {
public:
    explicit TestClock(TimePoint start = TimePoint{}, std::time_t calendar = 1700000000);

    TimePoint Now() const override;
    std::time_t CalendarNow() const override;
    bool WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline, const std::function<bool()>& done) const override;

    // Moves both times on by `by`; waits whose deadline it passes end.
    void Advance(std::chrono::nanoseconds by);
    // How many callers wait on the clock for a deadline still ahead.
    int Waiting() const;
    // Waits until someone waits on the clock for a deadline still ahead; false
    // when `limit` (real time, which only ends a broken run) passes first.
    bool AwaitWaiting(std::chrono::milliseconds limit = std::chrono::minutes(1)) const;

private:
    mutable std::mutex mutex_;
    std::chrono::nanoseconds elapsed_{0};
    const TimePoint start_;
    const std::time_t calendar_;
    mutable int waiting_ = 0;
    mutable std::condition_variable waitingChanged_;
};

} // namespace tessarine
