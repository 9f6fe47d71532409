// The archive loader and look-up on any file: what the archive knows stays
// known after an item is appended and the archive is saved and loaded again.

#include "FuzzTarget.h"

#include "core/feeds/FeedArchive.h"
#include "core/feeds/FeedReader.h"
#include "core/files/BaseDirectory.h"
#include "core/files/FileStore.h"

#include <algorithm>
#include <vector>

using namespace tessarine;

namespace {

// Texts to look up: whatever stands between "<link>" and "</link>" in the
// raw bytes (the look-up of most of them fails, which is fine), and the
// input's last line. A URL read from a feed never holds a zero byte, so the
// probes end at the first one.
std::vector<std::string> Probes(const std::string& bytes) {
    const std::string text = bytes.substr(0, bytes.find('\0'));
    std::vector<std::string> probes;
    size_t pos = 0;
    while ((pos = text.find("<link>", pos)) != std::string::npos && probes.size() < 64) {
        pos += 6;
        const size_t end = text.find("</link>", pos);
        if (end == std::string::npos)
            break;
        probes.push_back(TrimWhiteSpace(std::string_view(text).substr(pos, end - pos)));
    }
    const size_t lastLine = text.rfind('\n');
    probes.push_back(TrimWhiteSpace(lastLine == std::string::npos ? text : text.substr(lastLine + 1)));
    return probes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::ScratchFolder() + kArchiveFileName;
    FUZZ_CHECK(WriteFileAtomically(path, text));

    FeedArchive archive;
    archive.Open(path);
    const std::vector<std::string> probes = Probes(text);
    std::vector<bool> known;
    for (const std::string& probe : probes)
        known.push_back(archive.Lookup(probe));
    if (archive.IsNew())
        FUZZ_CHECK(archive.Serialize() == "<?xml version=\"1.0\" ?>\r\n<TessarineFeed />\r\n");

    // A new item, as the cycle appends it: its link is the last probe.
    const std::string& link = probes.back();
    const std::string description = text.substr(0, std::min<size_t>(text.find('\0'), 200));
    archive.Append("Episode <1> & \"more\"", description, link, "Mon, 01 Jan 2024 10:00:00 GMT");
    FUZZ_CHECK(archive.Appended());
    FUZZ_CHECK(archive.Lookup(link));
    FUZZ_CHECK(archive.Save(path));

    FeedArchive again;
    again.Open(path);
    FUZZ_CHECK(!again.IsNew());
    FUZZ_CHECK(again.Lookup(link));
    for (size_t i = 0; i < probes.size(); ++i) {
        if (known[i])
            FUZZ_CHECK(again.Lookup(probes[i]));
    }
    return 0;
}
