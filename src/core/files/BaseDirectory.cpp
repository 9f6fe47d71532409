#include "core/files/BaseDirectory.h"

#include "core/util/Text.h"

namespace tessarine {

std::string WithTrailingSeparator(std::string path) {
    if (path.empty() || path.back() != kPathSeparator)
        path += kPathSeparator;
    return path;
}

std::string NormalizedBaseDirectory(std::string path) {
    if (path.empty())
        return path;
    while (!path.empty() && IsPathSeparator(path.back()))
        path.pop_back();
    return path + kPathSeparator;
}

namespace {

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The first `bytes` bytes of `text`, up to three fewer where that would cut
// a UTF-8 character; a text that is no UTF-8 there is cut where it fits.
std::string_view CutAtCharacter(std::string_view text, std::size_t bytes) {
    if (bytes >= text.size())
        return text;
    std::size_t cut = bytes;
    for (int i = 0; i < 3 && cut > 0 && IsUtf8Continuation(text[cut]); ++i)
        --cut;
    if (IsUtf8Continuation(text[cut]))
        cut = bytes;
    return text.substr(0, cut);
}

} // namespace

std::string_view NameExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot > 32)
        return {};
    return name.substr(dot);
}

std::string ShortenedName(std::string_view name, std::size_t maxBytes) {
    if (name.size() <= maxBytes)
        return std::string(name);
    std::string_view extension = NameExtension(name);
    if (extension.size() >= maxBytes)
        extension = {};
    const std::string_view stem = name.substr(0, name.size() - extension.size());
    std::string shortened(CutAtCharacter(stem, maxBytes - extension.size()));
    return shortened.append(extension);
}

std::string FeedFolderName(const std::string& name) {
    if (name == ".")
        return "_";
    if (name == "..")
        return "__";
    std::string folder = name;
    // The settings file, its temporary and kept copies and the lock file sit
    // beside the feed folders and must never be taken by one.
    if (StartsWithIgnoringCase(folder, kSettingsFileName) ||
        SameNameIgnoringCase(folder, kLockFileName))
        folder += '_';
    for (char& c : folder) {
        const unsigned char u = static_cast<unsigned char>(c);
        bool replace = c == '/' || c == '\\' || u < 32 || u == 127;
        replace = replace || IsForbiddenInFileName(c);
        if (replace)
            c = '_';
    }
    return ShortenedName(folder);
}

std::string SettingsFilePath(const std::string& base) {
    return base + kSettingsFileName;
}

std::string FeedFolderPath(const std::string& base, const std::string& feedName) {
    return base + FeedFolderName(feedName);
}

std::string FeedFilePath(const std::string& base, const std::string& feedName,
                         const std::string& fileName) {
    const std::string folder = FeedFolderName(feedName);
    if (folder.empty())
        return base + fileName;
    return base + folder + kPathSeparator + fileName;
}

} // namespace tessarine
