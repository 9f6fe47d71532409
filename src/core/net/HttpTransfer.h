#pragma once
// One libcurl easy handle and the request it carries: the options every
// request shares, the request's own headers, the reading of the final
// response's header block, the stall watchdog and the result. TransferDriver
// drives them: HttpSession one at a time, FeedFetcher several at once. Not
// thread-safe: a transfer belongs to the thread that drives it.

#include "core/net/HttpMessage.h"

#include <curl/curl.h>

#include <chrono>
#include <exception>
#include <optional>

namespace tessarine {

class HttpTransfer {
public:
    explicit HttpTransfer(const HttpOptions& options);
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    bool IsOpen() const { return easy_ != nullptr; }
    CURL* Easy() const { return easy_; }

    // Sets the handle up for the next request; the body goes through the
    // callbacks. Add the handle to a multi handle afterwards.
    void Prepare(const std::string& url, const HttpRequest& request, ResponseInfoFn onResponse,
                 DataFn onData);
    // The same with the body collected into `body`; a body over `maxBytes`
    // (none when negative) ends the request as TooLarge.
    void PrepareToString(const std::string& url, const HttpRequest& request, std::string& body,
                         int64_t maxBytes);

    // The no-data watchdog: true once the transfer, connected, has seen no
    // byte for the stall time. Call between waits.
    bool Stalled(std::chrono::steady_clock::time_point now);

    // The result, once the handle has been taken off its multi handle:
    // `code` is libcurl's result when the transfer finished, none when it was
    // taken off unfinished (then `cancelled`, `stalled` or `driverError` say
    // why). Rethrows what a Prepare callback threw, here and never inside
    // libcurl; a failure collecting a string body is reported in `error`.
    // Leaves the handle ready for the next Prepare.
    HttpResult Finish(std::optional<CURLcode> code, bool cancelled, bool stalled,
                      const std::string& driverError);

private:
    // Why the request failed, as data; none for a complete 2xx or 304.
    Failure FailureOf(const HttpResult& result, std::optional<CURLcode> code, bool stalled) const;
    static size_t OnHeader(char* data, size_t size, size_t count, void* user);
    static size_t OnBody(char* data, size_t size, size_t count, void* user);
    static int OnConnected(void* user, char*, char*, int, int);
    size_t ReadHeader(char* data, size_t bytes);
    size_t ReadBody(char* data, size_t bytes);
    bool HandOnResponse(long status);
    void Reset();

    const HttpOptions& options_;
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};

    ResponseInfoFn onResponse_;
    DataFn onData_;
    std::string* sink_ = nullptr; // PrepareToString's body
    std::string url_;             // as the caller gave it
    std::string sentUrl_;         // in the form it was asked for (UrlForRequest)
    int64_t maxBytes_ = -1;
    bool tooLarge_ = false;

    HttpResult result_;
    bool responded_ = false;   // the final response's headers have been handed on
    bool stopped_ = false;     // a callback asked to end the request
    std::exception_ptr error_; // thrown by a callback; rethrown by Finish

    // Header block being read. Intermediate responses (1xx, redirects that
    // are followed, a proxy's answer to CONNECT) are passed over.
    long lineStatus_ = 0;
    std::string linePhrase_;
    bool locationSeen_ = false;
    bool chunked_ = false;
    bool encoded_ = false; // a content coding that libcurl decodes
    int64_t announced_ = -1;
    bool lengthInvalid_ = false; // a Content-Length that is no valid number
    std::string replyError_;     // why the final response cannot be used
    HttpValidators validators_;
    int64_t rangeFirst_ = -1, rangeLast_ = -1, rangeTotal_ = -1;

    // Bytes of any kind seen so far; the watchdog compares it between waits.
    uint64_t activity_ = 0;
    uint64_t lastActivity_ = 0;
    std::chrono::steady_clock::time_point lastActivityTime_;
    bool connected_ = false;
};

} // namespace tessarine
