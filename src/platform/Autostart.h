#pragma once
// The autostart entry that starts the program with "/checkandquit" when the
// user logs on. Linux keeps it as the XDG autostart file
// $XDG_CONFIG_HOME/autostart/tessarine.desktop; a Windows build implements the
// same class on the per-user Run key in a file of its own beside this one.
//
// The entry counts as present whatever it holds, so an entry written by an
// older copy of the program (or edited by hand) still shows autostart as on.

#include "core/model/Subscription.h"

#include <QString>

#include <optional>

namespace tessarine {

class Autostart {
public:
    // Where the entry lives: the file path on Linux.
    static QString EntryPath();

    // Whether entries can be kept at all: the folder exists or can be created,
    // and it is writable.
    bool IsUsable() const;
    // Whether an entry exists, whatever it holds.
    bool IsPresent() const;
    // Writes (or rewrites) the entry for `programPath` (named as
    // AutostartProgramPath gives it); false when it could not be written, in
    // which case an older entry stays as it was.
    bool Write(const QString& programPath);
    // Removes the entry; true when it is gone afterwards (also when there was none).
    bool Remove();
};

// The command line of the entry: `programPath` quoted where the desktop-entry
// format needs it, then " /checkandquit"; the value as it is stored after
// "Exec=". None for a path that an entry cannot hold (empty, or with control
// characters other than tab, line feed and carriage return).
#ifndef _WIN32
std::optional<QString> DesktopEntryExec(const QString& programPath);
#endif

// The program path an entry names. An installed program is usually reached
// through PATH by a link (/usr/local/bin/tessarine pointing into a versioned
// folder, say) while the system reports the file the link resolves to; when
// the program of the same name that PATH finds is this very file, the entry
// names it as PATH does, so that it still works after an upgrade moves the
// link's target. Any other path is returned unchanged.
QString AutostartProgramPath(const QString& programPath);

// Start-up step of the main window: autostart and "run key open" as the entry
// and its folder are now.
void ReadAutostartState(OptionSet& options, const Autostart& autostart);

// After the settings dialog's OK (and after the settings file has been saved):
// writes the entry when options.autostart is set, removes it otherwise, and
// leaves options.autostart saying whether an entry exists afterwards.
void ApplyAutostartChoice(OptionSet& options, Autostart& autostart, const QString& programPath);

} // namespace tessarine
