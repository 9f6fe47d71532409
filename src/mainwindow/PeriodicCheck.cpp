#include "mainwindow/PeriodicCheck.h"

#include <QTimer>

#include <algorithm>

namespace tessarine {

PeriodicCheck::PeriodicCheck(const Clock& clock, std::function<bool()> busy,
                             std::function<void()> check, QObject* parent)
    : QObject(parent), clock_(clock), busy_(std::move(busy)), check_(std::move(check)),
      timer_(new QTimer(this)), last_(clock.Now()), lastCalendar_(clock.CalendarNow()) {
    timer_->setObjectName(QStringLiteral("periodicCheck"));
    timer_->setInterval(kLookEvery);
    timer_->setTimerType(Qt::VeryCoarseTimer);
    connect(timer_, &QTimer::timeout, this, [this] { RunIfDue(); });
}

void PeriodicCheck::SetEveryHours(int hours) {
    hours_ = std::max(hours, 0);
    if (hours_ > 0)
        timer_->start();
    else
        timer_->stop();
}

void PeriodicCheck::CheckBegan() {
    last_ = clock_.Now();
    lastCalendar_ = clock_.CalendarNow();
}

bool PeriodicCheck::Due() const {
    if (hours_ <= 0)
        return false;
    const std::chrono::seconds every = std::chrono::hours(hours_);
    if (clock_.Now() - last_ >= every)
        return true;
    // A calendar set back gives no negative time: the monotonic time counts then.
    const std::time_t now = clock_.CalendarNow();
    return now >= lastCalendar_ && std::chrono::seconds(now - lastCalendar_) >= every;
}

bool PeriodicCheck::RunIfDue() {
    if (!Due() || busy_())
        return false;
    CheckBegan();
    check_();
    return true;
}

} // namespace tessarine
