#pragma once
// The settings file "Tessarine Settings.xml": the two behaviour options and
// every subscription's URL, name and last-checked time.

#include "core/model/Subscription.h"

#include <optional>
#include <string>
#include <vector>

namespace tessarine {

// The file's bytes for these options and subscriptions.
std::string SerializeSettings(const OptionSet& options, const SubscriptionList& list);

struct StoredFeed {
    std::string url;         // bytes that are not UTF-8 percent-encoded (UrlAsValidUtf8)
    std::string name;        // white space condensed by the parser, valid UTF-8 (ValidUtf8)
    std::string lastChecked; // as stored; parse with OleDateTime::ParseStored
};

struct StoredSettings {
    // Set when the root holds a "settings" element.
    std::optional<int32_t> updateStart;
    std::optional<int32_t> quitComplete;
    std::vector<StoredFeed> feeds;
};

// Reads the file; nullopt when it is missing, unreadable, not well-formed or
// has another root element than "TessarineSettings".
std::optional<StoredSettings> ReadSettingsFile(const std::string& path);

// A settings file read at start-up or after a change of base directory.
struct SettingsLoad {
    std::optional<StoredSettings> settings; // none when missing or unreadable
    // When the file exists but cannot be read as a settings file: the path of
    // the copy that holds its bytes (empty when no copy could be made).
    bool unreadable = false;
    std::string keptCopy;
};

// Reads the settings file at `path`. A file that exists but cannot be read as
// one is kept before anything can be written over it: its bytes are copied
// beside it as "<path>.unreadable-YYYYMMDD-HHMMSS" (local time; "-2", "-3"
// ... added when that name is taken), unless such a copy already holds the
// very same bytes, which is then reported instead. A file that cannot even be
// opened is renamed to that name instead of copied. The program never
// deletes these copies.
SettingsLoad LoadSettingsFile(const std::string& path);

// The name of the `attempt`th (from 1) kept copy of an unreadable file at
// `path`: "<path>.unreadable-YYYYMMDD-HHMMSS" in local time now, with "-2",
// "-3" ... added from the second attempt on. The episode store keeps its
// unreadable file under the same names.
std::string UnreadableCopyName(const std::string& path, int attempt);

} // namespace tessarine
