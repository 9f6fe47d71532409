// The feed reading of the check cycle, on any document: the channel title, the
// items and their enclosure URLs, the paths the cycle makes from them, and
// the archive it records them in.

#include "FuzzTarget.h"

#include "subscriptions/BaseDirectory.h"
#include "subscriptions/FileStore.h"
#include "subscriptions/SettingsFile.h"
#include "update/FeedArchive.h"
#include "update/FeedReader.h"

using namespace tessarine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const FeedDocument feed = ReadFeed(text);
    if (!feed.hasChannel) {
        FUZZ_CHECK(feed.channelTitle.empty());
        FUZZ_CHECK(feed.items.empty());
        return 0;
    }

    // Every file the cycle writes for this feed lies beneath the base directory.
    const std::string base = "/home/user/Podcasts/";
    FUZZ_CHECK(fuzz::StaysInside(base, FeedFilePath(base, feed.channelTitle, kArchiveFileName)));
    if (!feed.channelTitle.empty())
        FUZZ_CHECK(fuzz::StaysInside(base, FeedFolderPath(base, feed.channelTitle)));
    for (const FeedItem& item : feed.items) {
        FUZZ_CHECK(item.enclosureUrl == TrimWhiteSpace(item.enclosureUrl));
        const std::string target =
            FeedFilePath(base, feed.channelTitle, FileNameFromUrl(item.enclosureUrl));
        FUZZ_CHECK(fuzz::StaysInside(base, target));
        FUZZ_CHECK(fuzz::StaysInside(base, target + ".part"));
    }

    // The cycle goes on only with a well-formed document. The channel title
    // becomes the subscription's name, saved in the settings file: read back,
    // it is the same name (and so the same folder).
    if (!feed.wellFormed)
        return 0;
    SubscriptionList list;
    list.Append("http://example.org/feed.xml", "")->name = feed.channelTitle;
    const std::string settingsPath = fuzz::ScratchFolder() + kSettingsFileName;
    FUZZ_CHECK(WriteFileAtomically(settingsPath, SerializeSettings(OptionSet(), list)));
    const auto stored = ReadSettingsFile(settingsPath);
    FUZZ_CHECK(stored.has_value() && stored->feeds.size() == 1);
    FUZZ_CHECK(stored->feeds[0].name == feed.channelTitle);

    // It records each item in the feed's archive. Read back, the archive
    // knows every one of them, so that the next cycle records none again.
    if (feed.items.empty())
        return 0;
    const std::string archivePath = fuzz::ScratchFolder() + kArchiveFileName;
    FeedArchive archive;
    archive.Open(fuzz::ScratchFolder() + "none"); // missing: a new archive
    FUZZ_CHECK(archive.IsNew());
    for (const FeedItem& item : feed.items) {
        if (archive.IsNew() || !archive.Lookup(item.enclosureUrl))
            archive.Append(item.title, item.description, item.enclosureUrl, item.pubDate);
        FUZZ_CHECK(archive.Lookup(item.enclosureUrl));
    }
    FUZZ_CHECK(archive.Save(archivePath));

    FeedArchive next;
    next.Open(archivePath);
    FUZZ_CHECK(!next.IsNew());
    for (const FeedItem& item : feed.items)
        FUZZ_CHECK(next.Lookup(item.enclosureUrl));
    return 0;
}
