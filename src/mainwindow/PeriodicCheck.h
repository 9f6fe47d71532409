#pragma once
// "Check for new items" on a schedule: every N hours while the window runs
// (shown, minimised or hidden in the tray), counted from the last check,
// whoever asked for that one, and never while a cycle is under way (a check
// that falls due then waits until the cycle has ended).
//
// The time is the library's clock's. A timer only looks at it now and then,
// so that a test moves a test clock on by hours and asks at once. Hours
// pass when either of the clock's times says so: the monotonic time does not
// count a suspended machine, the calendar time does but may be set back.

#include "core/util/Clock.h"

#include <QObject>

#include <chrono>
#include <ctime>
#include <functional>

class QTimer;

namespace tessarine {

class PeriodicCheck : public QObject {
    Q_OBJECT
public:
    // `busy` tells whether a cycle is under way or asked for; `check` runs
    // "Check for new items" (and is expected to call CheckBegan).
    PeriodicCheck(const Clock& clock, std::function<bool()> busy, std::function<void()> check,
                  QObject* parent = nullptr);

    // A check every `hours` hours; 0 (or less) turns the schedule off.
    void SetEveryHours(int hours);
    int EveryHours() const { return hours_; }
    // A check for new items began now: the next one is counted from here.
    void CheckBegan();
    // Whether the next check is due by the clock.
    bool Due() const;
    // Runs the check when it is due and no cycle is under way; true when it ran.
    bool RunIfDue();

    // How often the timer looks at the clock while a schedule is set.
    static constexpr std::chrono::seconds kLookEvery{30};

private:
    const Clock& clock_;
    std::function<bool()> busy_;
    std::function<void()> check_;
    QTimer* timer_;
    int hours_ = 0;
    Clock::TimePoint last_;      // the last check, on the monotonic time
    std::time_t lastCalendar_;   // and on the calendar
};

} // namespace tessarine
