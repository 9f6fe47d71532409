#pragma once
// The per-user profile: where the base directory is remembered between runs
// (QSettings "Orvendale"/"Tessarine", key "Settings/Basedir").

#include <QString>

namespace tessarine {

// The stored base directory, ending with exactly one separator (the empty
// text when none was ever chosen).
QString ReadBaseDirectoryFromProfile();
void WriteBaseDirectoryToProfile(const QString& path);

} // namespace tessarine
