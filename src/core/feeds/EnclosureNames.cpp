#include "core/feeds/EnclosureNames.h"

#include "core/files/BaseDirectory.h"
#include "core/util/Fnv1a.h"
#include "core/util/Text.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace tessarine {

std::string FileNameFromUrl(const std::string& url) {
    // Query and fragment are not part of the file's name.
    std::string_view path(url);
    path = path.substr(0, path.find_first_of("?#"));

    const std::size_t slash = path.rfind('/');
    std::string name =
        slash == std::string_view::npos ? std::string() : std::string(path.substr(slash + 1));
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        bool replace = c == '\\' || byte < 32 || byte == 127;
        replace = replace || IsForbiddenInFileName(c);
        if (replace)
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        return "output";
    return name;
}

namespace {

// The name a URL gives on its own: its last segment, made to fit.
std::string PlainName(const std::string& url) {
    return ShortenedName(FileNameFromUrl(url));
}

} // namespace

std::string EnclosureNames::Tag(std::string_view text, int hexDigits) {
    // A shorter tag folds the upper half in.
    uint64_t hash = Fnv1a(text);
    if (hexDigits <= 8)
        hash = (hash ^ (hash >> 32)) & 0xFFFFFFFFull;
    hexDigits = std::clamp(hexDigits, 1, 16);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string tag(static_cast<size_t>(hexDigits), '0');
    for (int i = hexDigits - 1; i >= 0; --i, hash >>= 4)
        tag[static_cast<size_t>(i)] = kDigits[hash & 0xF];
    return tag;
}

bool EnclosureNames::IsReserved(std::string_view name) {
    // The archive, the settings file, the episode store and the base
    // directory's lock file, and the files written beside them: temporary
    // files ("<name>.tmp<process>-<count>"), the store's journal
    // ("<name>-journal") and kept copies of an unreadable settings file or
    // store ("<name>.unreadable-<date>-<time>").
    if (SameNameIgnoringCase(name, kArchiveFileName) ||
        StartsWithIgnoringCase(name, std::string(kArchiveFileName) + ".tmp") ||
        SameNameIgnoringCase(name, kSettingsFileName) ||
        StartsWithIgnoringCase(name, std::string(kSettingsFileName) + ".") ||
        StartsWithIgnoringCase(name, kEpisodeStoreFileName) ||
        SameNameIgnoringCase(name, kLockFileName))
        return true;
    // Partial files and the resume information kept beside them.
    return IsPartialName(name);
}

bool EnclosureNames::IsPartialName(std::string_view name) {
    const auto endsWith = [name](std::string_view suffix) {
        return name.size() >= suffix.size() &&
               SameNameIgnoringCase(name.substr(name.size() - suffix.size()), suffix);
    };
    return endsWith(kPartialSuffix) || endsWith(kResumeSuffix);
}

std::string EnclosureNames::Tagged(std::string_view name, std::string_view tag) {
    std::string_view extension = NameExtension(name);
    if (IsReserved(extension))
        extension = {}; // ".tessarine-part" must not stay at the end
    const std::string_view stem = name.substr(0, name.size() - extension.size());
    const std::string ending = "-" + std::string(tag) + std::string(extension);
    std::string tagged = ShortenedName(stem, kMaxEntryNameBytes - ending.size()) + ending;
    // The tag ends the name (but for its extension), so a reserved name's
    // end is gone; its beginning stays, and a name that still begins as the
    // program's own files do ("Tessarine Settings.xml.x.mp3") gets a "_" in
    // front, which none of them has.
    if (IsReserved(tagged))
        tagged = "_" + ShortenedName(stem, kMaxEntryNameBytes - 1 - ending.size()) + ending;
    return tagged;
}

// Level 0 is the plain name, 1 the short tag, 2 the long one; higher levels
// count on from the long tag, for the case that nothing else tells two apart.
// The counter is part of the tag, which shortening never cuts, so each level
// gives a name of its own.
std::string EnclosureNames::NameAt(const std::string& url, const std::string& plain, int level) {
    if (level == 0)
        return plain;
    if (level == 1)
        return Tagged(plain, Tag(url, 8));
    std::string tag = Tag(url, 16);
    if (level > 2)
        tag += "-" + std::to_string(level - 1);
    return Tagged(plain, tag);
}

EnclosureNames::EnclosureNames(const std::vector<std::string>& urls) {
    struct Slot {
        std::string url;
        std::string plain;
        int level = 0;
        std::string name; // empty once past kLastLevel: no name found
    };
    std::vector<Slot> slots;
    for (const std::string& url : urls)
        if (names_.emplace(url, std::string()).second)
            slots.push_back({url, PlainName(url), 0, {}});
    // Sorted by URL, so that what follows does not depend on the feed's order.
    std::sort(slots.begin(), slots.end(),
              [](const Slot& a, const Slot& b) { return a.url < b.url; });

    // Moves a slot one level up; past the last level it gets no name.
    const auto raise = [](Slot& slot) {
        if (++slot.level > kLastLevel)
            slot.name.clear();
        else
            slot.name = NameAt(slot.url, slot.plain, slot.level);
    };

    std::map<std::string, int> plainCount;
    for (const Slot& slot : slots)
        ++plainCount[LowerAscii(slot.plain)];
    for (Slot& slot : slots) {
        slot.level = plainCount[LowerAscii(slot.plain)] == 1 ? 0 : 1;
        slot.name = NameAt(slot.url, slot.plain, slot.level);
    }

    // Tags can meet one another or another URL's plain name. In each group of
    // equal names the one of the lowest level (then of the smallest URL)
    // keeps its name and the others go one level up, until all differ. Every
    // round raises at least one slot, and no slot goes past kLastLevel, so
    // this ends whatever the URLs.
    for (bool clash = true; clash;) {
        clash = false;
        std::map<std::string, std::vector<Slot*>> groups;
        for (Slot& slot : slots) {
            while (!slot.name.empty() && IsReserved(slot.name))
                raise(slot);
            if (!slot.name.empty())
                groups[LowerAscii(slot.name)].push_back(&slot);
        }
        for (auto& [name, members] : groups) {
            if (members.size() < 2)
                continue;
            clash = true;
            std::stable_sort(members.begin(), members.end(),
                             [](const Slot* a, const Slot* b) { return a->level < b->level; });
            for (size_t i = 1; i < members.size(); ++i)
                raise(*members[i]);
        }
    }
    for (const Slot& slot : slots)
        names_[slot.url] = slot.name;
}

std::string EnclosureNames::NameOf(const std::string& url) const {
    const auto found = names_.find(url);
    if (found != names_.end())
        return found->second;
    return EnclosureNames({url}).NameOf(url);
}

std::string NameFromFeedUrl(const std::string& url,
                            const std::function<bool(const std::string& name)>& taken) {
    std::string_view rest(url);
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (const size_t scheme = rest.find("://"); scheme != std::string_view::npos)
        rest.remove_prefix(scheme + 3);
    const size_t slash = rest.find('/');
    std::string_view host = rest.substr(0, slash);
    if (const size_t at = host.rfind('@'); at != std::string_view::npos)
        host.remove_prefix(at + 1); // no user name or password in a folder name
    std::string_view segment;
    if (slash != std::string_view::npos) {
        std::string_view path = rest.substr(slash);
        while (!path.empty() && path.back() == '/')
            path.remove_suffix(1);
        segment = path.substr(path.rfind('/') + 1);
    }
    std::string name(host);
    if (!segment.empty())
        name += (name.empty() ? "" : " - ") + std::string(segment);
    if (name.empty() || taken(name))
        name += (name.empty() ? "" : " ") + EnclosureNames::Tag(url, 8);
    return name;
}

} // namespace tessarine
