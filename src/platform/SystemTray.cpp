#include "platform/SystemTray.h"

#include <QSystemTrayIcon>

namespace tessarine {
namespace {

HasSystemTrayFn& TrayHook() {
    static HasSystemTrayFn hook;
    return hook;
}

} // namespace

bool HasSystemTray() {
    if (TrayHook())
        return TrayHook()();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SetHasSystemTray(HasSystemTrayFn fn) { TrayHook() = std::move(fn); }

} // namespace tessarine
