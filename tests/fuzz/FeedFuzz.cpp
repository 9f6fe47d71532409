// The feed reading of the check cycle, on any document: the channel title, the
// items and their enclosure URLs, the paths the cycle makes from them, and
// the archive it records them in.

#include "FuzzTarget.h"

#include "core/feeds/EnclosureNames.h"
#include "core/feeds/EpisodeKey.h"
#include "core/feeds/FeedArchive.h"
#include "core/feeds/FeedReader.h"
#include "core/files/BaseDirectory.h"
#include "core/files/FileStore.h"
#include "core/model/SettingsFile.h"
#include "core/net/UrlReference.h"
#include "core/update/PartialFile.h"
#include "core/util/Text.h"

#include <set>
#include <string_view>

using namespace tessarine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const FeedDocument feed = ReadFeed(text);
    // What the episode library keeps goes into its store as text: valid
    // UTF-8 and trimmed; a new address is a web address; a key names its kind.
    const auto clean = [](const std::string& s) { return s == ValidUtf8(TrimWhiteSpace(s)); };
    FUZZ_CHECK(clean(feed.newFeedUrl));
    FUZZ_CHECK(feed.newFeedUrl.empty() || StartsWithIgnoringCase(feed.newFeedUrl, "http://") ||
               StartsWithIgnoringCase(feed.newFeedUrl, "https://"));
    for (const auto* list : {&feed.items, &feed.mediaItems})
        for (const FeedItem& item : *list) {
            FUZZ_CHECK(clean(item.guid));
            FUZZ_CHECK(item.mediaUrl == TrimWhiteSpace(item.mediaUrl));
            // An item is in one list: by its enclosure, or by its media alone.
            FUZZ_CHECK(list == &feed.items ? item.mediaUrl.empty() : !item.mediaUrl.empty());
            const std::string key = EpisodeKey(item);
            FUZZ_CHECK(item.guid.empty() ? key.starts_with("url:") || key.starts_with("title:")
                                         : key == "guid:" + item.guid);
        }
    if (!feed.hasChannel) {
        FUZZ_CHECK(feed.channelTitle.empty());
        FUZZ_CHECK(feed.items.empty() && feed.mediaItems.empty());
        return 0;
    }

    // Every file the cycle writes for this feed lies in the feed's folder
    // (never the base directory itself: a feed without a title keeps the
    // subscription's name), one file per distinct enclosure URL, never named
    // like a file of the program's own, and so does its partial file.
    const std::string base = "/home/user/Podcasts/";
    const std::string name = feed.channelTitle.empty() ? "Kept name" : feed.channelTitle;
    const std::string folder = FeedFolderPath(base, name) + "/";
    FUZZ_CHECK(fuzz::StaysInside(base, FeedFolderPath(base, name)));
    FUZZ_CHECK(FeedFolderName(name).size() <= kMaxEntryNameBytes);
    FUZZ_CHECK(fuzz::StaysInside(folder, FeedFilePath(base, name, kArchiveFileName)));
    std::vector<std::string> urls;
    for (const FeedItem& item : feed.items) {
        FUZZ_CHECK(item.enclosureUrl == TrimWhiteSpace(item.enclosureUrl));
        urls.push_back(ResolveUrlReference("http://example.org/feeds/show.xml", item.enclosureUrl));
    }
    const EnclosureNames names(urls);
    std::set<std::string> distinctUrls(urls.begin(), urls.end()), files;
    for (const std::string& url : distinctUrls) {
        const std::string file = names.NameOf(url);
        FUZZ_CHECK(file.size() <= kMaxEntryNameBytes);
        FUZZ_CHECK(!EnclosureNames::IsReserved(file));
        const std::string target = FeedFilePath(base, name, file);
        FUZZ_CHECK(fuzz::StaysInside(folder, target));
        std::string folded = file;
        for (char& c : folded)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        FUZZ_CHECK(files.insert(folded).second);
        for (const std::string& own :
             {PartialFile::PathFor(target), PartialFile::ResumePathFor(target)}) {
            FUZZ_CHECK(fuzz::StaysInside(folder, own));
            FUZZ_CHECK(own.size() - folder.size() <= kMaxEntryNameBytes);
            FUZZ_CHECK(EnclosureNames::IsReserved(own.substr(folder.size())));
        }
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
