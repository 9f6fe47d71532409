#include "core/files/BaseDirectory.h"

#include "core/util/Fnv1a.h"
#include "core/util/Text.h"

#include <cstdio>
#include <filesystem>

namespace tessarine {

std::string NormalizedBaseDirectory(std::string path) {
    if (path.empty())
        return path;
    while (!path.empty() && IsPathSeparator(path.back()))
        path.pop_back();
    return path + kPathSeparator;
}

BaseDirectoryPath::BaseDirectoryPath(std::string path)
    : text_(NormalizedBaseDirectory(std::move(path))) {}

namespace {

// Without the separators at its end; a root such as "/" stays as it is.
std::string WithoutTrailingSeparators(std::string text) {
    while (text.size() > 1 && (text.back() == '/' || text.back() == '\\'))
        text.pop_back();
    return text;
}

} // namespace

std::string BaseDirectoryPath::AbsoluteText() const {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(text_.empty() ? "." : text_, error);
    if (error)
        path = text_;
    return WithoutTrailingSeparators(path.lexically_normal().string());
}

std::string BaseDirectoryPath::CheckRecordFileName() const {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.checks",
                  static_cast<unsigned long long>(Fnv1a(AbsoluteText())));
    return name;
}

namespace {

// Paths are UTF-8 throughout; so is the instance key on every system.
std::filesystem::path Utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The generic form: "/" between the parts everywhere (Windows writes "\\").
std::string Utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

std::string BaseDirectoryPath::InstanceKey() const {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path given = text_.empty() ? fs::current_path(error) : Utf8Path(text_);
    fs::path key = fs::canonical(given, error);
    if (error) {
        const fs::path absolute = fs::absolute(given, error);
        key = (error ? given : absolute).lexically_normal();
    }
    return WithoutTrailingSeparators(Utf8Text(key));
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
    // The settings file, its temporary and kept copies, the episode store
    // with its journal and kept copies and the lock file sit beside the feed
    // folders and must never be taken by one.
    if (StartsWithIgnoringCase(folder, kSettingsFileName) ||
        StartsWithIgnoringCase(folder, kEpisodeStoreFileName) ||
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
