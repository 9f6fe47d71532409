// The settings file loader on any file, and the round trip of what it loads:
// the list built from a file, saved and read again, is the same list, URLs
// and names as the loader gives them (valid UTF-8), and the file is stable.

#include "FuzzTarget.h"

#include "core/files/BaseDirectory.h"
#include "core/files/FileStore.h"
#include "core/model/SettingsFile.h"
#include "core/util/XmlText.h"

using namespace tessarine;

namespace {

// The options and the list as start-up builds them from a file's contents.
void Build(const StoredSettings& stored, OptionSet& options, SubscriptionList& list) {
    if (stored.updateStart) {
        options.updateStart = *stored.updateStart;
        options.quitComplete = *stored.quitComplete;
    }
    for (const StoredFeed& feed : stored.feeds) {
        if (SubscriptionPtr record = list.Append(feed.url, feed.name))
            record->lastChecked = OleDateTime::ParseStored(feed.lastChecked);
    }
}

// Saves and reads again; the file read back holds every subscription, with
// its URL, name (white space aside) and date.
StoredSettings SaveAndRead(const std::string& path, const OptionSet& options,
                           const SubscriptionList& list) {
    FUZZ_CHECK(WriteFileAtomically(path, SerializeSettings(options, list)));
    const auto stored = ReadSettingsFile(path);
    FUZZ_CHECK(stored.has_value());
    FUZZ_CHECK(stored->updateStart == options.updateStart);
    FUZZ_CHECK(stored->quitComplete == options.quitComplete);
    FUZZ_CHECK(stored->feeds.size() == list.Size());
    for (size_t i = 0; i < list.Size(); ++i) {
        const Subscription& record = *list.At(static_cast<long long>(i));
        const StoredFeed& feed = stored->feeds[i];
        FUZZ_CHECK(feed.url == record.url);
        FUZZ_CHECK(CondensedText(feed.name) == CondensedText(record.name));
        FUZZ_CHECK(OleDateTime::ParseStored(feed.lastChecked) == record.lastChecked);
    }
    return *stored;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::ScratchFolder() + kSettingsFileName;
    FUZZ_CHECK(WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(data), size)));
    const auto stored = ReadSettingsFile(path);
    if (!stored)
        return 0;
    FUZZ_CHECK(stored->updateStart.has_value() == stored->quitComplete.has_value());

    OptionSet options;
    SubscriptionList list;
    Build(*stored, options, list);
    const StoredSettings once = SaveAndRead(path, options, list);

    // From then on the file is stable: saved again, it reads back the same.
    OptionSet options2;
    SubscriptionList list2;
    Build(once, options2, list2);
    const StoredSettings twice = SaveAndRead(path, options2, list2);
    FUZZ_CHECK(twice.feeds.size() == once.feeds.size());
    for (size_t i = 0; i < once.feeds.size(); ++i) {
        const StoredFeed &a = once.feeds[i], &b = twice.feeds[i];
        FUZZ_CHECK(a.url == b.url && a.name == b.name && a.lastChecked == b.lastChecked);
    }
    return 0;
}
