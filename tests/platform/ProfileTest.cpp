// What the platform layer hands the core: the cache folder, and the name
// under which a window serves its base directory.
#include "platform/CacheFolder.h"
#include "platform/SingleInstance.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

TEST(CacheFolder, LivesInTheUsersCacheFolder) {
#ifdef _WIN32
    ScopedEnv local("LOCALAPPDATA", "C:\\Users\\u\\AppData\\Local");
    EXPECT_EQ(FeedCacheFolder(), "C:\\Users\\u\\AppData\\Local\\tessarine\\feeds");
#else
    {
        ScopedEnv cacheHome("XDG_CACHE_HOME", "/x/cache");
        EXPECT_EQ(ProgramCacheFolder(), "/x/cache/tessarine");
        EXPECT_EQ(FeedCacheFolder(), "/x/cache/tessarine/feeds");
    }
    ScopedEnv home("HOME", "/home/u");
    for (const char* unusable : {"", "relative/cache"}) {
        ScopedEnv cacheHome("XDG_CACHE_HOME", unusable);
        EXPECT_EQ(FeedCacheFolder(), "/home/u/.cache/tessarine/feeds");
    }
    ScopedEnv noCacheHome("XDG_CACHE_HOME", std::nullopt);
    EXPECT_EQ(FeedCacheFolder(), "/home/u/.cache/tessarine/feeds");
    ScopedEnv noHome("HOME", std::nullopt);
    EXPECT_EQ(ProgramCacheFolder(), "");
    EXPECT_EQ(FeedCacheFolder(), "");
#endif
}

// The socket's name as the versions before named it, for every spelling of
// the folder and through a link.
TEST(SingleInstance, ServerNamesKeepTheirSpelling) {
#ifndef _WIN32
    const QString user = QString::number(::getuid());
    for (const auto& [spellings, hash] :
         std::vector<std::pair<std::vector<std::string>, QString>>{
             {{"/nonexistent-tessarine/pods", "/nonexistent-tessarine//pods///",
               "/nonexistent-tessarine/x/../pods/./"},
              "b1b2dad3572bd4b1"},
             {{"/nonexistent-tessarine/Pod Casts/x/"}, "cfdc4a71eb8cf433"},
             {{"/"}, "8a5edab282632443"}}) {
        for (const std::string& spelling : spellings)
            EXPECT_EQ(SingleInstance::ServerName(spelling), "tessarine-" + user + "-" + hash)
                << spelling;
    }
    TempDir dir;
    fs::create_directories(dir / "real");
    fs::create_directory_symlink(dir / "real", dir / "link");
    EXPECT_EQ(SingleInstance::ServerName(dir.Base() + "link/"),
              SingleInstance::ServerName(dir.Base() + "real"));
    EXPECT_NE(SingleInstance::ServerName(dir.Base() + "link/"),
              SingleInstance::ServerName(dir.Base()));
#endif
}
