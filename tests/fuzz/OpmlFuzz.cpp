// The OPML reader on any document, and the round trip of what it imports:
// the list made from a document, exported and imported into an empty list,
// is the same list, and the export of that is the same document; the options
// an outline carries in our namespace come back as they were written.

#include "FuzzTarget.h"

#include "core/model/Opml.h"
#include "core/net/FeedAddress.h"
#include "core/util/XmlText.h"

#include <map>

using namespace tessarine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto feeds = ReadOpml(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!feeds)
        return 0;
    for (const OpmlFeed& feed : *feeds) {
        FUZZ_CHECK(ValidUtf8(feed.url) == feed.url);
        FUZZ_CHECK(CondensedText(feed.title) == feed.title);
    }

    SubscriptionList list;
    const OpmlImportCounts counts = AddOpmlFeeds(list, *feeds);
    FUZZ_CHECK(counts.added + counts.present + counts.skipped == feeds->size());
    FUZZ_CHECK(counts.added == list.Size());
    for (const SubscriptionPtr& s : list.Items())
        FUZZ_CHECK(IsWebUrl(s->url));

    const std::string exported = SerializeOpml(list, "Tessarine", 1262003081);
    const auto again = ReadOpml(exported);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->size() == list.Size());
    SubscriptionList reimported;
    const OpmlImportCounts second = AddOpmlFeeds(reimported, *again);
    FUZZ_CHECK(second.added == list.Size());
    for (size_t i = 0; i < list.Size(); ++i) {
        FUZZ_CHECK((*again)[i].url == list.At(static_cast<long long>(i))->url);
        FUZZ_CHECK(reimported.At(static_cast<long long>(i))->url ==
                   list.At(static_cast<long long>(i))->url);
    }
    FUZZ_CHECK(SerializeOpml(reimported, "Tessarine", 1262003081) == exported);

    // Each subscription exported with the options of the first outline that
    // named it: what reads back is what was written (keys that cannot name an
    // attribute are left out), and exports the same again.
    std::map<std::string, OpmlSettings> options;
    for (const OpmlFeed& feed : *feeds) {
        if (const auto url = FeedAddress(feed.url))
            options.emplace(*url, feed.settings);
    }
    const auto given = [&](const std::string& url) { return options[url]; };
    const std::string withOptions = SerializeOpml(list, "Tessarine", 1262003081, given);
    const auto read = ReadOpml(withOptions);
    FUZZ_CHECK(read.has_value() && read->size() == list.Size());
    std::map<std::string, OpmlSettings> readBack;
    for (size_t i = 0; i < list.Size(); ++i) {
        const std::string& url = list.At(static_cast<long long>(i))->url;
        const OpmlSettings& written = options[url];
        for (const auto& [key, value] : (*read)[i].settings) {
            const auto found = written.find(key);
            FUZZ_CHECK(found != written.end() && found->second == value);
        }
        readBack[url] = (*read)[i].settings;
    }
    FUZZ_CHECK(SerializeOpml(list, "Tessarine", 1262003081,
                             [&](const std::string& url) { return readBack[url]; }) == withOptions);
    return 0;
}
