// What the platform layer hands the core: the cache folder, and the name
// under which a window serves its base directory.
#include "platform/CacheFolder.h"
#include "platform/SingleInstance.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include <unistd.h>

using namespace tessarine;
using namespace tessarine::test;

TEST(CacheFolder, LivesInTheUsersCacheFolder) {
#ifdef _WIN32
    ScopedEnv local("LOCALAPPDATA", "C:\\Users\\u\\AppData\\Local");
    EXPECT_EQ(FeedCacheFolder(), "C:\\Users\\u\\AppData\\Local\\tessarine\\feeds");
#else
    // Only an absolute XDG_CACHE_HOME counts; without a home there is none.
    const std::tuple<std::optional<std::string>, std::optional<std::string>, std::string> cases[] =
        {
            {"/x/cache", "/home/u", "/x/cache/tessarine"},
            {"", "/home/u", "/home/u/.cache/tessarine"},
            {"relative/cache", "/home/u", "/home/u/.cache/tessarine"},
            {std::nullopt, "/home/u", "/home/u/.cache/tessarine"},
            {std::nullopt, std::nullopt, ""},
        };
    for (const auto& [cacheHome, home, folder] : cases) {
        ScopedEnv cacheHomeEnv("XDG_CACHE_HOME", cacheHome);
        ScopedEnv homeEnv("HOME", home);
        EXPECT_EQ(ProgramCacheFolder(), folder);
        EXPECT_EQ(FeedCacheFolder(), folder.empty() ? "" : folder + "/feeds");
    }
#endif
}

// The socket's name as the versions before named it. (Every spelling of the
// folder and a link give one name: BaseDirectory's InstanceKey.)
TEST(SingleInstance, ServerNamesKeepTheirSpelling) {
#ifndef _WIN32
    const QString prefix = "tessarine-" + QString::number(::getuid()) + "-";
    EXPECT_EQ(SingleInstance::ServerName("/nonexistent-tessarine//pods///"),
              prefix + "b1b2dad3572bd4b1");
    EXPECT_EQ(SingleInstance::ServerName("/nonexistent-tessarine/Pod Casts/x/"),
              prefix + "cfdc4a71eb8cf433");
    EXPECT_EQ(SingleInstance::ServerName("/"), prefix + "8a5edab282632443");
#endif
}
