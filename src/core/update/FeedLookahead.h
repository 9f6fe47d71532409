#pragma once
// The feed requests of one walk, made about a window ahead of it: for the
// records due when the look-ahead passes them, each asked for conditionally
// with what the feed cache keeps of its last reply. The walk decides again
// when it gets to a record: one no longer due has its request dropped, one
// due only now (or under another URL) is asked for at once.

#include "core/feeds/FeedCache.h"
#include "core/model/SharedModel.h"
#include "core/net/FeedFetcher.h"
#include "core/update/CycleSaves.h"
#include "core/update/EngineOptions.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tessarine {

// A feed's reply as the walk takes it.
struct FeedReply {
    FeedResponse response;
    bool conditional = false;           // the validators of `cached` were sent
    std::optional<CachedFeed> cached{}; // the cache entry asked with, if any
};

class FeedLookahead {
public:
    // For the records of `walk` in their order. Waiting for a reply past the
    // time the next save is due, `saves` are written first.
    FeedLookahead(const SharedModel& model, const std::vector<SubscriptionPtr>& walk,
                  const FeedCache& cache, CycleSaves& saves, const EngineOptions& options,
                  const std::atomic<bool>* cancel);
    FeedLookahead(const FeedLookahead&) = delete;
    FeedLookahead& operator=(const FeedLookahead&) = delete;

    // False when no transfer can be set up at all.
    bool IsOpen() const { return fetcher_.IsOpen(); }
    // The walk is at `at`: the records due after it get their requests, as
    // far as the window allows.
    void RequestAhead(size_t at);
    // The walk passes `at` without checking it: its request goes.
    void Forget(size_t at);
    // The reply for the record at `at` from `url`: asked for now unless a
    // request for that URL was made ahead; `conditional`: with the cache
    // entry's validators, where there is one.
    FeedReply Take(size_t at, const std::string& url, bool conditional = true);

private:
    struct Request {
        size_t index = 0;
        std::string url;
        bool conditional = false;
        std::optional<CachedFeed> cached{};
    };
    static FeedFetcherOptions FetcherOptions(const EngineOptions& options);
    Request Add(const std::string& url, bool conditional);

    const SharedModel& model_;
    const std::vector<SubscriptionPtr>& walk_;
    const FeedCache& cache_;
    CycleSaves& saves_;
    FeedFetcher fetcher_;
    const size_t lookahead_; // requests waiting to be taken, at most
    std::vector<std::optional<Request>> requests_;
    size_t ahead_ = 0;   // every walk position before it has been looked at
    size_t pending_ = 0; // requests added and not yet taken or dropped
};

} // namespace tessarine
