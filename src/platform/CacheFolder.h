#pragma once
// Where the program keeps its own state that is no part of the base
// directory: the feed cache and the record of the last checks. The front end
// chooses it for the platform and hands it to the library.

#include <string>

namespace tessarine {

// "$XDG_CACHE_HOME/tessarine" (only an absolute XDG_CACHE_HOME counts), else
// "~/.cache/tessarine"; on Windows "%LOCALAPPDATA%\tessarine". Empty when
// none of these is known.
std::string ProgramCacheFolder();
// The feed cache's folder: "feeds" in it; empty without a cache folder.
std::string FeedCacheFolder();

} // namespace tessarine
