#include "platform/win/NullNotifier.h"

namespace tessarine {

std::unique_ptr<Notifier> Notifier::Create() {
    return std::make_unique<NullNotifier>();
}

} // namespace tessarine
