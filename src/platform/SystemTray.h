#pragma once
// Whether the desktop shows programs' icons in a tray (a panel's status or
// notification area). Where it does not (a desktop without one, the
// offscreen platform) a window that closes cannot stay behind as an icon.
// Tests replace the answer as they replace the other desktop services.

#include <functional>

namespace tessarine {

bool HasSystemTray();
using HasSystemTrayFn = std::function<bool()>;
// Replaces the answer; an empty function asks the desktop again.
void SetHasSystemTray(HasSystemTrayFn fn);

} // namespace tessarine
