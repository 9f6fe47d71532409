#include "platform/Autostart.h"

namespace tessarine {

void ReadAutostartState(OptionSet& options, const Autostart& autostart) {
    options.autostart = 0;
    options.runKeyOpen = 0;
    if (!autostart.IsUsable())
        return;
    options.autostart = autostart.IsPresent() ? 1 : 0;
    options.runKeyOpen = 1;
}

void ApplyAutostartChoice(OptionSet& options, Autostart& autostart, const QString& programPath) {
    // Without a usable place for the entry the box was disabled and nothing
    // can be changed: autostart stays off, as it was read at start-up.
    if (options.runKeyOpen == 0) {
        options.autostart = 0;
        return;
    }
    if (options.autostart != 0) {
        options.autostart = 0;
        if (autostart.Write(programPath))
            options.autostart = 1;
    } else {
        // Only an entry that exists and could not be removed keeps it on.
        options.autostart = autostart.Remove() ? 0 : 1;
    }
}

} // namespace tessarine
