#pragma once
// Paths under the base directory. The base directory ends with the platform's
// separator once set (see BaseDirectoryPath); paths are formed by
// concatenation beneath it.

#include "core/files/File.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tessarine {

inline constexpr const char* kSettingsFileName = "Tessarine Settings.xml";
inline constexpr const char* kArchiveFileName = "feed.xml";
// The lock file in the base directory (see BaseDirectoryLock). The name is
// reserved: no feed folder or downloaded file may take it.
inline constexpr const char* kLockFileName = ".tessarine.lock";
// The episode store beside the settings file (see EpisodeStore), with its
// rollback journal ("<name>-journal") while a change is being written. Both
// names are reserved as the settings file's are.
inline constexpr const char* kEpisodeStoreFileName = "Tessarine Episodes.db";

// The longest name a folder entry can hold, in bytes.
inline constexpr std::size_t kMaxEntryNameBytes = 255;

// The one rule for names too long for a folder entry: a name of more than
// `maxBytes` bytes is cut at a UTF-8 character boundary so that it fits,
// keeping its extension (the part from its last ".", when that is at most 32
// bytes and not the whole name). Shorter names stay as they are.
std::string ShortenedName(std::string_view name, std::size_t maxBytes = kMaxEntryNameBytes);

// The extension of a name as ShortenedName keeps it: from the last "." on,
// when that dot is not the first byte and the extension has at most 32 bytes;
// empty otherwise.
std::string_view NameExtension(std::string_view name);

// The path ending with exactly one separator, however many it ended with
// (a root such as "/" stays as it is); the empty path stays empty.
std::string NormalizedBaseDirectory(std::string path);

// The folder name of a feed, formed from its name. Separators, control
// characters (and on Windows the characters a folder name cannot hold) become
// "_"; "." and ".." become "_" and "__"; a name that is the settings file's
// or the episode store's (or begins with one of them, as their temporary
// files, journal and kept copies do) or the lock file's, in any letter case,
// gets a "_" appended, so that no folder can take the place of one of them. A name too long for
// a folder entry is shortened (ShortenedName). Any other name stays as it is,
// so no name can lead outside the base directory. The empty name stays empty.
std::string FeedFolderName(const std::string& name);

// base + "Tessarine Settings.xml"
std::string SettingsFilePath(const std::string& base);
// base + folder name of `feedName` (the base itself for the empty name)
std::string FeedFolderPath(const std::string& base, const std::string& feedName);
// The file `fileName` in the feed's folder: base + folder + separator + file,
// or base + file when the folder name is empty.
std::string FeedFilePath(const std::string& base, const std::string& feedName,
                         const std::string& fileName);

// A base directory as one value: the path as given, ending with exactly one
// separator (NormalizedBaseDirectory; empty for the current folder), the
// paths of the files beneath it and the names stored elsewhere that are
// derived from it. The stored names must never change their spelling: the
// check record of a folder and its single-instance socket are found by them.
class BaseDirectoryPath {
public:
    BaseDirectoryPath() = default; // the current folder
    explicit BaseDirectoryPath(std::string path);

    // The path ending with one separator; empty for the current folder.
    const std::string& Text() const { return text_; }
    bool IsCurrentFolder() const { return text_.empty(); }
    bool operator==(const BaseDirectoryPath&) const = default;

    std::string SettingsFile() const { return SettingsFilePath(text_); }
    std::string FeedFolder(const std::string& feedName) const {
        return FeedFolderPath(text_, feedName);
    }
    std::string LockFile() const { return text_ + kLockFileName; }
    std::string EpisodeStoreFile() const { return text_ + kEpisodeStoreFileName; }

    // The folder as one spelling, without reading the disk: absolute, without
    // "." or ".." and without a trailing separator. The check record names
    // its folder so.
    std::string AbsoluteText() const;
    // The name of the check record's file in the cache ("<hash>.checks").
    std::string CheckRecordFileName() const;
    // The folder as one text for every way of naming it (links resolved where
    // it exists, "..", a missing separator), with "/" as separator
    // everywhere; its absolute path when it does not exist. Two programs on
    // the same folder meet under this key (the single-instance socket's name
    // is a hash of it), and one program knows its own folder by it.
    std::string InstanceKey() const;

private:
    std::string text_;
};

} // namespace tessarine
