#pragma once
// tessarine-cli: Tessarine's subscriptions and check cycle without a window,
// on the same base directory, settings file, archives and downloads as the
// window. See CliArguments for the command line.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace tessarine {

// Exit statuses.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1; // a feed, download or file failed
inline constexpr int kExitUsage = 2; // also: the base directory is missing
inline constexpr int kExitLocked = 3; // another Tessarine holds the base directory

struct CliConsole {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool outIsTerminal = false; // progress redrawn in place, aligned list
    // The terminal's width, asked at each redraw (it follows a resize).
    std::function<size_t()> width = [] { return size_t{80}; };
};

// The Podcast Index's key and secret for search --index; empty when the
// user has none.
struct SearchCredentials {
    std::string key;
    std::string secret;
};

class TessarineCli {
public:
    // Runs the command line `arguments` (without the program name).
    // `profileBase` is the base directory the profile remembers (used when
    // no --base is given; empty: the current folder), `feedCacheFolder` the
    // feed cache's folder the platform chose (empty: no cache).
    static int Run(const std::vector<std::string>& arguments, const std::string& profileBase,
                   const std::string& feedCacheFolder, const CliConsole& console,
                   const SearchCredentials& credentials = {});
};

} // namespace tessarine
