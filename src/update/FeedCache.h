#pragma once
// The program's own cache of fetched feeds, so that a feed the server reports
// unchanged (304) needs neither its body nor parsing: per subscription URL the
// last reply's validators and the document read from it. One small file per
// feed, named after a hash of the URL, each replaced atomically: a check
// cycle reads only the feeds it checks and writes only those that changed,
// and a kill leaves every file either old or new. A missing, damaged or
// outdated file is no entry. The cache is never part of the settings file or
// the archives.

#include "update/FeedReader.h"
#include "update/HttpClient.h"

#include <optional>
#include <string>

namespace tessarine {

struct CachedFeed {
    HttpValidators validators;
    FeedDocument document;
};

class FeedCache {
public:
    // Entries live in `directory` (created when the first is stored); an
    // empty directory turns the cache off.
    explicit FeedCache(std::string directory);

    // "$XDG_CACHE_HOME/tessarine/feeds", else "~/.cache/tessarine/feeds";
    // on Windows "%LOCALAPPDATA%\tessarine\feeds". Empty when none of these
    // is known.
    static std::string DefaultDirectory();

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
