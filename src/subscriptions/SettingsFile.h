#pragma once
// The settings file "Tessarine Settings.xml": the two behaviour options and
// every subscription's URL, name and last-checked time.

#include "subscriptions/Subscription.h"

#include <optional>
#include <string>
#include <vector>

namespace tessarine {

// The file's bytes for these options and subscriptions.
std::string SerializeSettings(const OptionSet& options, const SubscriptionList& list);

struct StoredFeed {
    std::string url;
    std::string name;        // white space condensed by the parser
    std::string lastChecked; // as stored; parse with OleDateTime::ParseStored
};

struct StoredSettings {
    // Set when the root holds a "settings" element.
    std::optional<int32_t> updateStart;
    std::optional<int32_t> quitComplete;
    std::vector<StoredFeed> feeds;
};

// Reads the file; nullopt when it is missing, unreadable or not well-formed.
std::optional<StoredSettings> ReadSettingsFile(const std::string& path);

} // namespace tessarine
