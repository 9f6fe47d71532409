// The feed cache: entries kept per URL in files of their own, and every way
// a file can be wrong read as no entry.
#include "update/FeedCache.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

void ExpectSame(const FeedDocument& a, const FeedDocument& b) {
    EXPECT_EQ(a.wellFormed, b.wellFormed);
    EXPECT_EQ(a.hasChannel, b.hasChannel);
    EXPECT_EQ(a.channelTitle, b.channelTitle);
    ASSERT_EQ(a.items.size(), b.items.size());
    for (size_t i = 0; i < a.items.size(); ++i) {
        EXPECT_EQ(a.items[i].enclosureUrl, b.items[i].enclosureUrl) << i;
        EXPECT_EQ(a.items[i].title, b.items[i].title) << i;
        EXPECT_EQ(a.items[i].description, b.items[i].description) << i;
        EXPECT_EQ(a.items[i].pubDate, b.items[i].pubDate) << i;
    }
}

CachedFeed Sample() {
    CachedFeed entry;
    entry.validators = {"\"abc\"", "Wed, 28 Jan 2009 13:24:41 GMT"};
    entry.document.wellFormed = true;
    entry.document.hasChannel = true;
    entry.document.channelTitle = "Caf\xc3\xa9 Show";
    entry.document.items.push_back({"http://a/1.mp3", "One", "Line\r\nbreak", "Mon"});
    entry.document.items.push_back({"", std::string("nul\0byte", 8), "", ""});
    return entry;
}

} // namespace

TEST(FeedCache, KeepsOneEntryPerUrlAndReadsAnythingWrongAsNone) {
    TempDir dir;
    const FeedCache cache((dir.Path() / "cache" / "feeds").string());
    const std::string url = "http://127.0.0.1:1/feed.xml", other = "http://127.0.0.1:1/other.xml";
    EXPECT_FALSE(cache.Load(url)); // no folder yet

    const CachedFeed entry = Sample();
    ASSERT_TRUE(cache.Store(url, entry));
    CachedFeed second;
    second.validators.etag = "W/\"2\"";
    ASSERT_TRUE(cache.Store(other, second));
    EXPECT_NE(cache.PathFor(url), cache.PathFor(other));
    auto loaded = cache.Load(url);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->validators, entry.validators);
    ExpectSame(loaded->document, entry.document);
    ASSERT_TRUE(cache.Load(other));
    EXPECT_EQ(cache.Load(other)->validators.etag, "W/\"2\"");
    // Only the two entries, no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(cache.Directory()), fs::directory_iterator()),
              2);

    const std::string path = cache.PathFor(url);
    const std::string good = ReadFile(path);
    std::string flipped = good;
    flipped[flipped.size() / 2] ^= 0x20;
    std::string version = good;
    version[21] = static_cast<char>(version[21] + 1); // the format version follows the magic line
    const std::string cases[] = {
        "",
        good.substr(0, good.size() - 1),
        good.substr(0, good.size() / 2),
        flipped,
        version,
        good + "x",
        "TESSARINE-FEED-CACHE\n" + std::string(40, '\xff'),
    };
    for (const std::string& bytes : cases) {
        WriteFile(path, bytes);
        EXPECT_FALSE(cache.Load(url)) << bytes.size();
    }
    // Another URL's entry under this URL's name (a hash collision) is none.
    fs::copy_file(cache.PathFor(other), path, fs::copy_options::overwrite_existing);
    EXPECT_FALSE(cache.Load(url));

    cache.Forget(other);
    EXPECT_FALSE(cache.Load(other));
    // Turned off, it keeps nothing.
    const FeedCache off("");
    EXPECT_FALSE(off.Store(url, entry));
    EXPECT_FALSE(off.Load(url));
}

TEST(FeedCache, LivesInTheUsersCacheFolder) {
#ifdef _WIN32
    ScopedEnv local("LOCALAPPDATA", "C:\\Users\\u\\AppData\\Local");
    EXPECT_EQ(FeedCache::DefaultDirectory(), "C:\\Users\\u\\AppData\\Local\\tessarine\\feeds");
#else
    {
        ScopedEnv cacheHome("XDG_CACHE_HOME", "/x/cache");
        EXPECT_EQ(FeedCache::DefaultDirectory(), "/x/cache/tessarine/feeds");
    }
    ScopedEnv home("HOME", "/home/u");
    for (const char* unusable : {"", "relative/cache"}) {
        ScopedEnv cacheHome("XDG_CACHE_HOME", unusable);
        EXPECT_EQ(FeedCache::DefaultDirectory(), "/home/u/.cache/tessarine/feeds");
    }
    ScopedEnv noCacheHome("XDG_CACHE_HOME", std::nullopt);
    EXPECT_EQ(FeedCache::DefaultDirectory(), "/home/u/.cache/tessarine/feeds");
    ScopedEnv noHome("HOME", std::nullopt);
    EXPECT_EQ(FeedCache::DefaultDirectory(), "");
#endif
}

// Real-world documents come back from the cache exactly as they were read.
TEST(FeedCache, PeerFeedsRoundTrip) {
    const fs::path dir = PeerFeedsDir();
    if (dir.empty())
        GTEST_SKIP() << "no peer feeds";
    TempDir cacheDir;
    const FeedCache cache(cacheDir.Path().string());
    int feeds = 0;
    for (const auto& file : fs::directory_iterator(dir)) {
        if (file.path().extension() != ".rss")
            continue;
        SCOPED_TRACE(file.path().filename().string());
        CachedFeed entry;
        entry.document = ReadFeed(ReadFile(file.path()));
        const std::string url = "http://127.0.0.1/" + file.path().filename().string();
        ASSERT_TRUE(cache.Store(url, entry));
        const auto loaded = cache.Load(url);
        ASSERT_TRUE(loaded);
        ExpectSame(loaded->document, entry.document);
        ++feeds;
    }
    EXPECT_GT(feeds, 30);
}
