// The OPML reader on any document, and the round trip of what it imports:
// the list made from a document, exported and imported into an empty list,
// is the same list, and the export of that is the same document.

#include "FuzzTarget.h"

#include "core/model/Opml.h"
#include "core/util/XmlText.h"

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
    return 0;
}
