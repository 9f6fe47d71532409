#include "core/store/PodcastSettings.h"

#include "core/feeds/EpisodeFileName.h"

#include "core/util/Text.h"

namespace tessarine {

namespace {

// The largest count of episodes or days a value may name: far beyond any
// real podcast, and small enough that no sum or product of it overflows.
constexpr int64_t kMaxCount = 1000000;

enum class Kind { YesNo, Count, Names };

struct KeyInfo {
    const char* key;
    Kind kind;
    int64_t least; // the smallest count allowed (Count only)
    const char* builtIn;
};

// In the order the keys are listed.
constexpr KeyInfo kKeys[] = {
    {"paused", Kind::YesNo, 0, "no"},        {"refetch-deleted", Kind::YesNo, 0, "yes"},
    {"on-subscribe", Kind::Count, 0, "all"}, {"keep", Kind::Count, 1, "all"},
    {"keep-days", Kind::Count, 1, "all"},    {"names", Kind::Names, 0, "url"},
};

const KeyInfo* FindKey(std::string_view key) {
    for (const KeyInfo& info : kKeys) {
        if (key == info.key)
            return &info;
    }
    return nullptr;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The value of `key` in `values` in its stored spelling; empty when it is not
// set there or is none of the key's values.
std::string NormalisedValue(const SettingValues& values, const std::string& key) {
    const auto found = values.find(key);
    if (found == values.end())
        return {};
    std::string value = found->second;
    return NormaliseSetting(key, value) ? value : std::string();
}

// "all" as -1, else the number.
int64_t CountOf(const std::string& value) {
    return value == "all" ? -1 : ParseDecimal(value);
}

} // namespace

const std::vector<std::string>& SettingKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> out;
        for (const KeyInfo& info : kKeys)
            out.emplace_back(info.key);
        return out;
    }();
    return keys;
}

bool IsSettingKey(std::string_view key) {
    return FindKey(key) != nullptr;
}

std::string BuiltInSetting(std::string_view key) {
    const KeyInfo* info = FindKey(key);
    return info != nullptr ? info->builtIn : std::string();
}

bool NormaliseSetting(std::string_view key, std::string& value) {
    const KeyInfo* info = FindKey(key);
    if (info == nullptr)
        return false;
    // Blanks around a value are no part of it; a pattern keeps its own.
    const std::string_view trimmed = Trimmed(value, IsBlank);
    const std::string lower = LowerAscii(trimmed);
    switch (info->kind) {
    case Kind::YesNo:
        if (lower == "yes" || lower == "true" || lower == "on" || lower == "1") {
            value = "yes";
            return true;
        }
        if (lower == "no" || lower == "false" || lower == "off" || lower == "0") {
            value = "no";
            return true;
        }
        return false;
    case Kind::Count: {
        if (lower == "all") {
            value = "all";
            return true;
        }
        const int64_t n = ParseDecimal(trimmed);
        if (n < info->least || n > kMaxCount)
            return false;
        value = std::to_string(n);
        return true;
    }
    case Kind::Names:
        if (lower == "url") {
            value = "url";
            return true;
        }
        return IsFileNamePattern(value);
    }
    return false;
}

PodcastSettings ResolveSettings(const SettingValues& defaults, const SettingValues& own) {
    const auto value = [&](const char* key) {
        std::string v = NormalisedValue(own, key);
        if (v.empty())
            v = NormalisedValue(defaults, key);
        return v.empty() ? BuiltInSetting(key) : v;
    };
    PodcastSettings settings;
    settings.paused = value("paused") == "yes";
    settings.refetchDeleted = value("refetch-deleted") == "yes";
    settings.onSubscribe = CountOf(value("on-subscribe"));
    settings.keep = CountOf(value("keep"));
    settings.keepDays = CountOf(value("keep-days"));
    const std::string names = value("names");
    if (names != "url")
        settings.names = names;
    return settings;
}

std::vector<SettingRow> ListSettings(const SettingValues& defaults, const SettingValues& own,
                                     bool forDefault) {
    std::vector<SettingRow> rows;
    for (const KeyInfo& info : kKeys) {
        SettingRow row;
        row.key = info.key;
        row.value = NormalisedValue(own, row.key);
        if (row.value.empty()) {
            row.inherited = true;
            if (!forDefault)
                row.value = NormalisedValue(defaults, row.key);
            if (row.value.empty())
                row.value = info.builtIn;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace tessarine
