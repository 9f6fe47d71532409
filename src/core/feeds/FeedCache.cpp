#include "core/feeds/FeedCache.h"

#include "core/files/File.h"
#include "core/files/FileStore.h"
#include "core/util/Fnv1a.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tessarine {

namespace {

// Raised whenever the layout below changes, and whenever ReadFeed or the
// resolution of enclosure URLs would make something else of the same bytes:
// a stored document stands for what they make of its body. A file of another
// version is no entry.
constexpr uint32_t kFormatVersion = 6;
constexpr std::string_view kMagic = "TESSARINE-FEED-CACHE\n";
// An entry holds what was read from one feed of at most the fetcher's 64 MiB:
// one larger than twice that is none of ours, and is not read.
constexpr std::size_t kMaxEntryBytes = std::size_t{128} << 20;

// The fields of the cached structures, in one place. A field added to a
// structure without being added here stops the build: the bindings must
// name every field.
template <class Item, class Visit>
void ForEachField(Item& item,
                  Visit&& visit) requires std::is_same_v<std::remove_const_t<Item>, FeedItem> {
    auto& [enclosureUrl, enclosureLength, title, description, pubDate, guid, mediaUrl, duration] =
        item;
    visit(enclosureUrl), visit(enclosureLength), visit(title), visit(description), visit(pubDate);
    visit(guid), visit(mediaUrl), visit(duration);
}
template <class Document, class Visit>
void ForEachField(Document& document, Visit&& visit) requires
    std::is_same_v<std::remove_const_t<Document>, FeedDocument> {
    auto& [wellFormed, hasChannel, atom, channelTitle, items, mediaItems, newFeedUrl] = document;
    visit(wellFormed), visit(hasChannel), visit(atom), visit(channelTitle), visit(items);
    visit(mediaItems), visit(newFeedUrl);
}
template <class Validators, class Visit>
void ForEachField(Validators& validators, Visit&& visit) requires
    std::is_same_v<std::remove_const_t<Validators>, HttpValidators> {
    auto& [etag, lastModified] = validators;
    visit(etag), visit(lastModified);
}

template <class Digest, class Visit>
void ForEachField(Digest& digest, Visit&& visit) requires
    std::is_same_v<std::remove_const_t<Digest>, BodyDigest> {
    auto& [size, hash, source] = digest;
    visit(size), visit(hash), visit(source);
}

class Writer {
public:
    std::string bytes;

    void Number(uint64_t value) {
        for (int i = 0; i < 8; ++i)
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }
    void operator()(uint64_t value) { Number(value); }
    void operator()(int64_t value) { Number(static_cast<uint64_t>(value)); }
    void operator()(const std::string& text) {
        Number(text.size());
        bytes.append(text);
    }
    void operator()(bool value) { bytes.push_back(value ? 1 : 0); }
    template <class T> void operator()(const std::vector<T>& list) {
        Number(list.size());
        for (const T& element : list)
            (*this)(element);
    }
    template <class T> void operator()(const T& record) { ForEachField(record, *this); }
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}
    bool ok = true;

    bool AtEnd() const { return rest_.empty(); }
    uint64_t Number() {
        if (rest_.size() < 8) {
            ok = false;
            return 0;
        }
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i)
            value |= uint64_t{static_cast<unsigned char>(rest_[i])} << (8 * i);
        rest_.remove_prefix(8);
        return value;
    }
    void operator()(uint64_t& value) { value = Number(); }
    void operator()(int64_t& value) { value = static_cast<int64_t>(Number()); }
    void operator()(std::string& text) {
        const uint64_t size = Number();
        if (!ok || size > rest_.size()) {
            ok = false;
            return;
        }
        text.assign(rest_.substr(0, size));
        rest_.remove_prefix(size);
    }
    void operator()(bool& value) {
        if (rest_.empty() || static_cast<unsigned char>(rest_[0]) > 1) {
            ok = false;
            return;
        }
        value = rest_[0] == 1;
        rest_.remove_prefix(1);
    }
    template <class T> void operator()(std::vector<T>& list) {
        const uint64_t count = Number();
        // Every element takes at least one byte: a count beyond the rest is
        // damage, not a reason to reserve memory.
        if (!ok || count > rest_.size()) {
            ok = false;
            return;
        }
        list.resize(count);
        for (T& element : list)
            if (ok)
                (*this)(element);
    }
    template <class T> void operator()(T& record) { ForEachField(record, *this); }

private:
    std::string_view rest_;
};

} // namespace

BodyDigest BodyDigest::Of(std::string_view body, std::string source) {
    // The standard library's byte hash reads eight bytes a step, several
    // times faster than FNV-1a over the megabytes of a large feed; with the
    // size beside it an accidental match is out of reach. A standard library
    // that hashes differently only makes the entries miss once.
    return {body.size(), std::hash<std::string_view>{}(body), std::move(source)};
}

FeedCache::FeedCache(std::string directory) : directory_(std::move(directory)) {}

std::string FeedCache::PathFor(const std::string& url) const {
    if (directory_.empty())
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.feed", static_cast<unsigned long long>(Fnv1a(url)));
    return (std::filesystem::path(directory_) / name).string();
}

std::optional<CachedFeed> FeedCache::Load(const std::string& url) const {
    std::string bytes;
    if (directory_.empty() ||
        ReadRegularFile(PathFor(url), kMaxEntryBytes, bytes, false) != FileRead::Read)
        return std::nullopt;
    // Magic, version, the contents, and their hash at the end.
    if (bytes.size() < kMagic.size() + 8 + 8 || bytes.compare(0, kMagic.size(), kMagic) != 0)
        return std::nullopt;
    const std::string_view body(bytes.data(), bytes.size() - 8);
    Reader check(std::string_view(bytes).substr(body.size()));
    if (check.Number() != Fnv1a(body))
        return std::nullopt;
    Reader reader(body.substr(kMagic.size()));
    if (reader.Number() != kFormatVersion)
        return std::nullopt;
    std::string storedUrl;
    CachedFeed entry;
    reader(storedUrl);
    reader(entry.validators);
    reader(entry.document);
    reader(entry.digest);
    // Another URL with the same hash, or bytes left over: no entry.
    if (!reader.ok || !reader.AtEnd() || storedUrl != url)
        return std::nullopt;
    return entry;
}

bool FeedCache::Store(const std::string& url, const CachedFeed& entry) const {
    if (directory_.empty())
        return false;
    Writer writer;
    writer.bytes.append(kMagic);
    writer.Number(kFormatVersion);
    writer(url);
    writer(entry.validators);
    writer(entry.document);
    writer(entry.digest);
    writer.Number(Fnv1a(writer.bytes));
    // Feed addresses may carry a password: the cache is the user's alone.
    // Never written through a link: what is there is left as it is.
    CreatePrivateFolder(directory_);
    return WritePrivateFileAtomically(PathFor(url), writer.bytes);
}

void FeedCache::Forget(const std::string& url) const {
    if (directory_.empty())
        return;
    RemoveEntry(PathFor(url));
}

} // namespace tessarine
