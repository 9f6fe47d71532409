#pragma once
// The per-user profile: where the base directory is remembered between runs
// (QSettings "Orvendale"/"Tessarine", key "Settings/Basedir").

#include <QString>

namespace tessarine {

// The stored base directory, ending with exactly one separator (the empty
// text when none was ever chosen).
QString ReadBaseDirectoryFromProfile();
void WriteBaseDirectoryToProfile(const QString& path);

// Where a first start keeps its files: "Podcasts" in the user's home folder,
// ending with a separator.
QString DefaultBaseDirectory();
// The base directory a start works on: the stored one; when none is stored,
// the default, which is created and stored, so that the list never depends
// on the folder the program was started from.
QString BaseDirectoryForStart();

} // namespace tessarine
