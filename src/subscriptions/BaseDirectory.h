#pragma once
// Paths under the base directory. The base directory ends with the platform's
// separator once set; paths are formed by concatenation beneath it.

#include <string>

namespace tessarine {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

inline constexpr const char* kSettingsFileName = "Tessarine Settings.xml";
inline constexpr const char* kArchiveFileName = "feed.xml";
// The lock file in the base directory (see BaseDirectoryLock). The name is
// reserved: no feed folder or downloaded file may take it.
inline constexpr const char* kLockFileName = ".tessarine.lock";

// Appends the separator unless the path already ends with one.
std::string WithTrailingSeparator(std::string path);
// The path ending with exactly one separator, however many it ended with
// (a root such as "/" stays as it is); the empty path stays empty.
std::string NormalizedBaseDirectory(std::string path);

// The folder name of a feed, formed from its name. Separators, control
// characters (and on Windows the characters a folder name cannot hold) become
// "_"; "." and ".." become "_" and "__". Any other name stays as it is, so no
// name can lead outside the base directory. The empty name stays empty.
std::string FeedFolderName(const std::string& name);

// base + "Tessarine Settings.xml"
std::string SettingsFilePath(const std::string& base);
// base + folder name of `feedName` (the base itself for the empty name)
std::string FeedFolderPath(const std::string& base, const std::string& feedName);
// The file `fileName` in the feed's folder: base + folder + separator + file,
// or base + file when the folder name is empty.
std::string FeedFilePath(const std::string& base, const std::string& feedName,
                         const std::string& fileName);

// Anything at `path` (file, folder, link) counts as existing.
bool PathExists(const std::string& path);
// Creates one level of folder; the outcome is not reported.
void CreateFolder(const std::string& path);

} // namespace tessarine
