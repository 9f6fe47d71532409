#include "platform/CacheFolder.h"

#include <cstdlib>
#include <filesystem>

namespace tessarine {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

} // namespace

std::string ProgramCacheFolder() {
    std::filesystem::path root;
#ifdef _WIN32
    root = Environment("LOCALAPPDATA");
#else
    // Only an absolute XDG_CACHE_HOME counts; a relative one is ignored.
    root = Environment("XDG_CACHE_HOME");
    if (!root.is_absolute()) {
        const std::filesystem::path home = Environment("HOME");
        root = home.is_absolute() ? home / ".cache" : std::filesystem::path();
    }
#endif
    if (root.empty() || !root.is_absolute())
        return {};
    return (root / "tessarine").string();
}

std::string FeedCacheFolder() {
    const std::string folder = ProgramCacheFolder();
    return folder.empty() ? std::string() : (std::filesystem::path(folder) / "feeds").string();
}

} // namespace tessarine
