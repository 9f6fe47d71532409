#pragma once
// HTTP on libcurl: one handle per session, reused for every request of a
// check cycle or a transfer run. User agent "Tessarine/1.0", redirects
// followed, proxy from the environment, HTTPS with the system's CA store.
// A request can be cancelled from another thread through the session's flag.

#include "core/net/HttpMessage.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace tessarine {

class HttpSession {
public:
    explicit HttpSession(HttpOptions options = {}, const std::atomic<bool>* cancel = nullptr);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // False when the handle could not be created.
    bool IsOpen() const;

    // The whole body into `body`; a body over `maxBytes` ends the request
    // as TooLarge.
    HttpResult FetchToString(const std::string& url, std::string& body, int64_t maxBytes);
    HttpResult FetchToString(const std::string& url, const HttpRequest& request, std::string& body,
                             int64_t maxBytes);

    // Streams the body through the callbacks.
    HttpResult Fetch(const std::string& url, const ResponseFn& onResponse, const DataFn& onData);
    HttpResult Fetch(const std::string& url, const HttpRequest& request,
                     const ResponseInfoFn& onResponse, const DataFn& onData);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tessarine
