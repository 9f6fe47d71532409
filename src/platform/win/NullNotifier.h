#pragma once
// Windows: no notification is shown.

#include "platform/Notifier.h"

namespace tessarine {

class NullNotifier : public Notifier {
public:
    bool Notify(const QString&, const QString&) override { return false; }
};

} // namespace tessarine
