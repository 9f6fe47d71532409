#include "support/TestClock.h"

namespace tessarine {

TestClock::TestClock(TimePoint start, std::time_t calendar) : start_(start), calendar_(calendar) {}

Clock::TimePoint TestClock::Now() const {
    std::lock_guard lock(mutex_);
    return start_ + std::chrono::duration_cast<TimePoint::duration>(elapsed_);
}

std::time_t TestClock::CalendarNow() const {
    std::lock_guard lock(mutex_);
    return calendar_ + std::chrono::duration_cast<std::chrono::seconds>(elapsed_).count();
}

bool TestClock::WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                          TimePoint deadline, const std::function<bool()>& done) const {
    // The waiter's condition variable belongs to the code under test, which
    // notifies it when `done` may have changed; the clock's own moves are
    // looked at in short slices, so a wait never misses an Advance.
    bool counted = false;
    const auto count = [&](bool on) {
        if (on == counted)
            return;
        counted = on;
        std::lock_guard own(mutex_);
        waiting_ += on ? 1 : -1;
        waitingChanged_.notify_all();
    };
    bool result = done();
    for (; !result && Now() < deadline; result = done()) {
        count(true);
        wake.wait_for(lock, std::chrono::milliseconds(2));
    }
    count(false);
    return result;
}

void TestClock::Advance(std::chrono::nanoseconds by) {
    std::lock_guard lock(mutex_);
    elapsed_ += by;
}

int TestClock::Waiting() const {
    std::lock_guard lock(mutex_);
    return waiting_;
}

bool TestClock::AwaitWaiting(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return waitingChanged_.wait_for(lock, limit, [this] { return waiting_ > 0; });
}

} // namespace tessarine
