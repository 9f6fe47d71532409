#pragma once
// HTTP on libcurl: one handle per session, reused for every request of a
// check cycle or a transfer run. User agent "Tessarine/1.0", redirects
// followed, proxy from the environment, HTTPS with the system's CA store.
// A request can be cancelled from another thread through the session's flag.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tessarine {

struct HttpOptions {
    std::string userAgent = "Tessarine/1.0";
    long connectTimeoutSeconds = 60;
    long stallTimeoutSeconds = 60; // abort when no byte arrives for this long
    long maxRedirects = 10;
};

struct HttpResult {
    bool opened = false;        // a response arrived: the URL could be opened
    long status = 0;            // status of the final response (0 when none)
    bool complete = false;      // the body arrived whole, without transport error
    bool cancelled = false;     // the cancel flag or a callback ended it
    bool tooLarge = false;      // FetchToString refused a body over its limit
    int64_t contentLength = -1; // announced length of the final response, -1 if none
    int64_t received = 0;       // body bytes delivered
    std::string error;          // transport error text, empty when none
    std::string finalUrl;       // the URL of the last request made, after redirects
};

// Called once per request, before any data, with the final response's status
// and announced length (-1 when none). Returning false ends the request.
using ResponseFn = std::function<bool(long status, int64_t contentLength)>;
// Called for each chunk of the body; returning false ends the request.
using DataFn = std::function<bool(std::string_view chunk)>;

// Initialises libcurl once for the process; false when that fails.
bool HttpGlobalInit();

class HttpSession {
public:
    explicit HttpSession(HttpOptions options = {}, const std::atomic<bool>* cancel = nullptr);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // False when the handle could not be created.
    bool IsOpen() const;

    // The whole body into `body`; a body over `maxBytes` ends the request
    // with tooLarge set.
    HttpResult FetchToString(const std::string& url, std::string& body, int64_t maxBytes);

    // Streams the body through the callbacks.
    HttpResult Fetch(const std::string& url, const ResponseFn& onResponse, const DataFn& onData);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tessarine
