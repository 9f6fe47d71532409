#include "subscriptions/BaseDirectory.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

namespace tessarine {

std::string WithTrailingSeparator(std::string path) {
    if (path.empty() || path.back() != kPathSeparator)
        path += kPathSeparator;
    return path;
}

std::string NormalizedBaseDirectory(std::string path) {
    if (path.empty())
        return path;
#ifdef _WIN32
    auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
#else
    auto isSeparator = [](char c) { return c == '/'; };
#endif
    while (!path.empty() && isSeparator(path.back()))
        path.pop_back();
    return path + kPathSeparator;
}

std::string FeedFolderName(const std::string& name) {
    if (name == ".")
        return "_";
    if (name == "..")
        return "__";
    std::string folder = name;
    for (char& c : folder) {
        const unsigned char u = static_cast<unsigned char>(c);
        bool replace = c == '/' || c == '\\' || u < 32 || u == 127;
#ifdef _WIN32
        replace = replace || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' ||
                  c == '?' || c == '*';
#endif
        if (replace)
            c = '_';
    }
    return folder;
}

std::string SettingsFilePath(const std::string& base) { return base + kSettingsFileName; }

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

bool PathExists(const std::string& path) {
#ifdef _WIN32
    struct _stat64 st;
    return _stat64(path.c_str(), &st) == 0;
#else
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
#endif
}

void CreateFolder(const std::string& path) {
#ifdef _WIN32
    _mkdir(path.c_str());
#else
    mkdir(path.c_str(), 0777);
#endif
}

} // namespace tessarine
