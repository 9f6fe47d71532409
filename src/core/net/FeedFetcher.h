#pragma once
// Fetching a list of feeds over a few connections at once, on a thread of its
// own, while the consumer takes the responses one by one in list order and
// works on each (parsing, archive, statuses) as the later ones arrive.
//
// The consumer adds the requests in its own order and takes each by its index
// when it gets there; whatever it does not want any more it drops. Requests
// start in index order, and only while the transfers running plus the
// responses waiting to be taken stay within a small window, so memory does
// not grow with the list. A response the consumer waits for starts at once.
// Every feed is asked for compressed and, where validators are given,
// conditionally.

#include "core/net/HttpMessage.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tessarine {

struct FeedRequest {
    std::string url{};
    HttpValidators validators{}; // asks conditionally when not empty
};

struct FeedResponse {
    // status, how it ended, validators, finalUrl, error and failure as for
    // one request; a 304 has NotModified() and no body
    HttpResult result;
    std::string body; // empty unless the body arrived whole
};

struct FeedFetcherOptions {
    HttpOptions http{};
    int64_t maxBodyBytes = kMaxFeedBytes;     // larger bodies are refused (TooLarge)
    int connections = 4;                      // transfers at once
    int window = 8; // transfers running plus responses not yet taken, at most
};

class FeedFetcher {
public:
    explicit FeedFetcher(FeedFetcherOptions options = {},
                         const std::atomic<bool>* cancel = nullptr);
    // Ends every transfer still running and waits for the thread.
    ~FeedFetcher();
    FeedFetcher(const FeedFetcher&) = delete;
    FeedFetcher& operator=(const FeedFetcher&) = delete;

    // False when libcurl could not be set up; every Take then fails.
    bool IsOpen() const;

    // Queues a request; returns its index (0, 1, ... in the order added).
    size_t Add(FeedRequest request);
    // Waits for response `index`, starting it first if it has not started,
    // and hands it over once. With the cancel flag set it returns at once
    // with a result that was cancelled. Taking an index twice, or one never added,
    // gives a response without `opened` and with an error text.
    FeedResponse Take(size_t index);
    // Waits up to `timeout` for response `index` to arrive (starting it
    // first if it has not started); true when Take would not wait any more.
    bool WaitReady(size_t index, std::chrono::milliseconds timeout);
    // The consumer will not take `index`: a transfer under way is ended, a
    // response that arrived is freed, one not started never starts.
    void Drop(size_t index);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tessarine
