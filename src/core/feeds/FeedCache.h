#pragma once
// The program's own cache of fetched feeds, so that a feed the server reports
// unchanged (304) needs neither its body nor parsing, and one that sends the
// same bytes again needs no parsing: per subscription URL the last reply's
// validators, a digest of its body and the document read from it. One small file per
// feed, named after a hash of the URL, each replaced atomically: a check
// cycle reads only the feeds it checks and writes only those that changed,
// and a kill leaves every file either old or new. A missing, damaged or
// outdated file is no entry. The cache is never part of the settings file or
// the archives.

#include "core/feeds/FeedReader.h"
#include "core/net/HttpClient.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessarine {

// What identifies the body a document was read from: a reply with the same
// bytes from the same final URL reads as the same document, so it need not
// be parsed again even when the server sends no validators.
struct BodyDigest {
    uint64_t size = 0;
    uint64_t hash = 0;
    std::string source{}; // the URL relative references were resolved against

    static BodyDigest Of(std::string_view body, std::string source);
    bool operator==(const BodyDigest&) const = default;
};

struct CachedFeed {
    HttpValidators validators{};
    FeedDocument document{}; // enclosure URLs resolved against digest.source, the rest as read
    BodyDigest digest{};
};

class FeedCache {
public:
    // Entries live in `directory` (created when the first is stored; the
    // front end's platform layer chooses it, in the user's cache folder); an
    // empty directory turns the cache off.
    explicit FeedCache(std::string directory);

    const std::string& Directory() const { return directory_; }
    // The file of `url`'s entry.
    std::string PathFor(const std::string& url) const;

    std::optional<CachedFeed> Load(const std::string& url) const;
    // False when it could not be written; the old entry then stays or none.
    bool Store(const std::string& url, const CachedFeed& entry) const;
    void Forget(const std::string& url) const;

private:
    std::string directory_;
};

} // namespace tessarine
