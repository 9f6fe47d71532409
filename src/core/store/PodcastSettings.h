#pragma once
// What the program fetches and keeps of a podcast: a few options by key, the
// same keys for the default of every podcast and for one podcast's own value.
// A podcast without a value of its own for a key inherits the default; a
// default never set is the built-in one, which keeps the program's plain
// rule (every episode whose file is missing is downloaded, and kept).
//
// Keys and their values, as the command line and OPML files write them:
//   paused=yes|no            checks for new items pass the podcast over
//   refetch-deleted=yes|no   a file the user deleted is downloaded again
//   on-subscribe=all|N       the first check downloads only the newest N
//   keep=all|N               only the newest N downloaded episodes are kept
//   keep-days=all|D          none older than D days is kept
//   names=url|PATTERN        file names from the URL, or a pattern of
//                            {date}, {title}, {podcast}, {ext}

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

// The keys in the order they are listed.
const std::vector<std::string>& SettingKeys();
bool IsSettingKey(std::string_view key);
// The built-in value of `key` ("no", "yes", "all", "url"); empty for an
// unknown key.
std::string BuiltInSetting(std::string_view key);

// Brings `value` for `key` into its one stored spelling ("Yes" -> "yes",
// "007" -> "7"); false when the key is unknown or the value is none of the
// key's ("inherit" is no value: the caller handles it).
bool NormaliseSetting(std::string_view key, std::string& value);

// The values one level holds, by key (only the keys it sets).
using SettingValues = std::map<std::string, std::string>;

// The options of one podcast as the engine applies them.
struct PodcastSettings {
    bool paused = false;
    bool refetchDeleted = true;
    int64_t onSubscribe = -1; // -1: all
    int64_t keep = -1;        // -1: all
    int64_t keepDays = -1;    // -1: all
    std::string names;        // empty: the URL's name; else the pattern

    // Whether a clean-up has anything to apply.
    bool KeepsAll() const { return keep < 0 && keepDays < 0; }
};

// The podcast's options: its own values, else the defaults, else the
// built-in values. Values that do not normalise count as not set.
PodcastSettings ResolveSettings(const SettingValues& defaults, const SettingValues& own);

// One key as listed: its value and whether it is inherited (from the default
// for a podcast, from the built-in value for the default).
struct SettingRow {
    std::string key;
    std::string value;
    bool inherited = false;
};
// Every key in order, for a podcast (`own` its values) or for the default
// (`own` the defaults, `defaults` empty and `forDefault` true).
std::vector<SettingRow> ListSettings(const SettingValues& defaults, const SettingValues& own,
                                     bool forDefault);

} // namespace tessarine
