#include "core/update/FeedLookahead.h"

#include <algorithm>

namespace tessarine {
namespace {

size_t Connections(const EngineOptions& options) {
    return static_cast<size_t>(std::max(1, options.feedConnections));
}

} // namespace

FeedLookahead::FeedLookahead(const SharedModel& model, const std::vector<SubscriptionPtr>& walk,
                             const FeedCache& cache, CycleSaves& saves,
                             const EngineOptions& options, const std::atomic<bool>* cancel)
    : model_(model), walk_(walk), cache_(cache), saves_(saves),
      fetcher_(FetcherOptions(options), cancel), lookahead_(4 * Connections(options)),
      requests_(walk.size()) {}

FeedFetcherOptions FeedLookahead::FetcherOptions(const EngineOptions& options) {
    FeedFetcherOptions fetch;
    fetch.http = options.http;
    fetch.maxBodyBytes = options.maxFeedBytes;
    fetch.connections = static_cast<int>(Connections(options));
    fetch.window = static_cast<int>(2 * Connections(options));
    return fetch;
}

void FeedLookahead::RequestAhead(size_t at) {
    for (ahead_ = std::max(ahead_, at + 1); ahead_ < walk_.size() && pending_ < lookahead_;
         ++ahead_)
        if (model_.IsDue(walk_[ahead_]))
            requests_[ahead_] = Add(model_.Values(walk_[ahead_]).url, true);
}

void FeedLookahead::Forget(size_t at) {
    std::optional<Request>& request = requests_[at];
    if (request) {
        fetcher_.Drop(request->index);
        request.reset();
        --pending_;
    }
}

FeedReply FeedLookahead::Take(size_t at, const std::string& url, bool conditional) {
    std::optional<Request>& request = requests_[at];
    if (request && request->url != url)
        Forget(at);
    if (!request)
        request = Add(url, conditional);
    // Changes not yet saved are written before waiting any longer for the
    // network than the save interval allows.
    if (!fetcher_.WaitReady(request->index, saves_.TimeToNext()))
        saves_.Flush();
    FeedReply reply{fetcher_.Take(request->index), request->conditional,
                    std::move(request->cached)};
    request.reset();
    --pending_;
    return reply;
}

FeedLookahead::Request FeedLookahead::Add(const std::string& url, bool conditional) {
    FeedRequest request{url, {}};
    std::optional<CachedFeed> cached;
    if (conditional)
        if ((cached = cache_.Load(url)))
            request.validators = cached->validators;
    const bool asks = !request.validators.Empty();
    ++pending_;
    return Request{fetcher_.Add(std::move(request)), url, asks, std::move(cached)};
}

} // namespace tessarine
