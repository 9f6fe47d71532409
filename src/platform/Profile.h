#pragma once
// The per-user profile: where the base directory is remembered between runs
// (QSettings "Orvendale"/"Tessarine", key "Settings/Basedir").

#include <QString>

namespace tessarine {

QString ReadBaseDirectoryFromProfile();
void WriteBaseDirectoryToProfile(const QString& path);

} // namespace tessarine
