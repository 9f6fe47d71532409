#include "core/update/CycleSaves.h"

#include <algorithm>

namespace tessarine {

CycleSaves::CycleSaves(SharedModel& model, const Clock& clock, std::chrono::milliseconds interval)
    : model_(model), clock_(clock), interval_(interval) {}

CycleSaves::~CycleSaves() {
    Flush();
}

void CycleSaves::Changed() {
    changed_ = true;
    if (!last_ || clock_.Now() - *last_ >= interval_)
        Flush();
}

std::chrono::milliseconds CycleSaves::TimeToNext() const {
    if (!changed_ || !last_)
        return std::chrono::milliseconds(0);
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now() - *last_);
    return std::max(std::chrono::milliseconds(0), interval_ - since);
}

void CycleSaves::Flush() {
    if (!changed_)
        return;
    changed_ = false;
    model_.SaveSettings();
    last_ = clock_.Now();
}

} // namespace tessarine
