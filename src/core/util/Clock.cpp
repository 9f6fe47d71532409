#include "core/util/Clock.h"

namespace tessarine {
namespace {

class SystemClock final : public Clock {
public:
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
    std::time_t CalendarNow() const override { return std::time(nullptr); }
    bool WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline, const std::function<bool()>& done) const override {
        return wake.wait_until(lock, deadline, done);
    }
};

} // namespace

const Clock& Clock::System() {
    static const SystemClock clock;
    return clock;
}

} // namespace tessarine
