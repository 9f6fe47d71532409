#include "update/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>

namespace tessarine {

namespace {

// How long one wait for network activity lasts before the cancel flag and the
// no-data watchdog are looked at again.
constexpr int kPollSliceMs = 50;
// Receive buffer: large reads keep loopback and LAN transfers at full speed.
constexpr long kReceiveBufferBytes = 512 * 1024;
// FetchToString reserves at most this much for an announced length.
constexpr int64_t kMaxReserveBytes = 16 * 1024 * 1024;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(text[i]) != prefix[i])
            return false;
    return true;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// Digits only; anything else, or a value beyond 64 bits, is no length.
int64_t ParseLength(std::string_view text) {
    if (text.empty())
        return -1;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        const int digit = c - '0';
        if (value > (std::numeric_limits<int64_t>::max() - digit) / 10)
            return -1;
        value = value * 10 + digit;
    }
    return value;
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
    for (size_t i = 0; i + word.size() <= text.size(); ++i)
        if (StartsWithNoCase(text.substr(i), word))
            return true;
    return false;
}

} // namespace

bool HttpGlobalInit() {
    // A function-local static is initialised exactly once, even when several
    // threads get here at the same time.
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

namespace {

// State of the request in progress, reached from libcurl's callbacks.
struct Request {
    CURL* easy = nullptr;
    const ResponseFn* onResponse = nullptr;
    const DataFn* onData = nullptr;
    HttpResult* result = nullptr;

    bool responded = false;   // the final response's headers have been handed on
    bool stopped = false;     // a callback asked to end the request
    std::exception_ptr error; // thrown by a callback; rethrown once curl is done

    // Header block being read. Intermediate responses (1xx, redirects that
    // are followed, a proxy's answer to CONNECT) are passed over.
    long lineStatus = 0;
    bool locationSeen = false;
    bool chunked = false;
    int64_t announced = -1;

    // Bytes of any kind seen so far; the watchdog compares it between waits.
    uint64_t activity = 0;
    bool connected = false;
};

} // namespace

struct HttpSession::Impl {
    HttpOptions options;
    const std::atomic<bool>* cancel = nullptr;
    // The multi handle owns the connection cache, so it outlives requests and
    // is cleaned up after the easy handle has been removed from it.
    std::unique_ptr<CURL, EasyDeleter> easy;
    std::unique_ptr<CURLM, MultiDeleter> multi;
    char errorText[CURL_ERROR_SIZE] = {};

    ~Impl() {
        // The easy handle is never left attached between requests; cleaning
        // up the multi handle first closes its cached connections.
        multi.reset();
        easy.reset();
    }

    bool Cancelled() const { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }

    bool Setup();
    HttpResult Run(const std::string& url, const ResponseFn& onResponse, const DataFn& onData);

    static size_t OnHeader(char* data, size_t size, size_t count, void* user);
    static size_t OnBody(char* data, size_t size, size_t count, void* user);
    static int OnConnected(void* user, char*, char*, int, int);
    static bool HandOnResponse(Request& request, long status, int64_t length);
};

bool HttpSession::Impl::Setup() {
    if (!HttpGlobalInit())
        return false;
    easy.reset(curl_easy_init());
    multi.reset(curl_multi_init());
    if (!easy || !multi)
        return false;
    CURL* h = easy.get();
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = curl_easy_setopt(h, option, value) == CURLE_OK && ok;
    };
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_ERRORBUFFER, errorText);
    set(CURLOPT_USERAGENT, options.userAgent.c_str());
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, options.maxRedirects);
    // Feeds and enclosures are fetched over HTTP only: a feed must not be
    // able to make us read local files or talk other protocols.
#if LIBCURL_VERSION_NUM >= 0x075500
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    set(CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    set(CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    set(CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds);
    // libcurl's own slow-transfer check averages over several seconds; the
    // watchdog in Run() is the precise one, this is the backstop.
    set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(CURLOPT_LOW_SPEED_TIME, options.stallTimeoutSeconds);
    set(CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
#ifdef _WIN32
    set(CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
#endif
    set(CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
    set(CURLOPT_WRITEFUNCTION, &Impl::OnBody);
#if LIBCURL_VERSION_NUM >= 0x075000
    set(CURLOPT_PREREQFUNCTION, &Impl::OnConnected);
#endif
    return ok;
}

bool HttpSession::Impl::HandOnResponse(Request& request, long status, int64_t length) {
    request.responded = true;
    request.result->opened = true;
    request.result->status = status;
    request.result->contentLength = length;
    try {
        if (!(*request.onResponse)(status, length))
            request.stopped = true;
    } catch (...) {
        request.error = std::current_exception();
        request.stopped = true;
    }
    return !request.stopped;
}

size_t HttpSession::Impl::OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& request = *static_cast<Request*>(user);
    const size_t bytes = size * count;
    request.activity += bytes;
    if (request.responded)
        return bytes; // trailers after a chunked body

    const std::string_view line(data, bytes);
    if (StartsWithNoCase(line, "http/")) {
        // A new response begins: "HTTP/1.1 200 OK", "HTTP/2 200".
        request.lineStatus = 0;
        request.locationSeen = request.chunked = false;
        request.announced = -1;
        const size_t space = line.find(' ');
        if (space != std::string_view::npos) {
            const size_t end = std::min(line.size(), space + 4); // three digits
            for (size_t i = space + 1; i < end && line[i] >= '0' && line[i] <= '9'; ++i)
                request.lineStatus = request.lineStatus * 10 + (line[i] - '0');
        }
    } else if (Trim(line).empty()) {
        // The end of a header block. libcurl's response code is that of the
        // server's last status line; a proxy's answer to CONNECT does not set
        // it and so does not match.
        long status = 0;
        curl_easy_getinfo(request.easy, CURLINFO_RESPONSE_CODE, &status);
        if (status < 200 || status != request.lineStatus)
            return bytes; // informational, or not the server's response
        if (status >= 300 && status < 400 && request.locationSeen)
            return bytes; // a redirect, which libcurl follows
        if (!HandOnResponse(request, status, request.chunked ? -1 : request.announced))
            return 0; // anything but `bytes` makes libcurl end the transfer
    } else if (StartsWithNoCase(line, "location:")) {
        request.locationSeen = !Trim(line.substr(9)).empty();
    } else if (StartsWithNoCase(line, "content-length:")) {
        request.announced = ParseLength(Trim(line.substr(15)));
    } else if (StartsWithNoCase(line, "transfer-encoding:")) {
        request.chunked = ContainsNoCase(line.substr(18), "chunked");
    }
    return bytes;
}

size_t HttpSession::Impl::OnBody(char* data, size_t size, size_t count, void* user) {
    auto& request = *static_cast<Request*>(user);
    const size_t bytes = size * count;
    request.activity += bytes;
    if (!request.responded) {
        // Not expected: every body follows a final header block. Hand on
        // what libcurl knows so that the order of the callbacks holds.
        long status = 0;
        curl_off_t length = -1;
        curl_easy_getinfo(request.easy, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(request.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (!HandOnResponse(request, status, static_cast<int64_t>(length)))
            return 0;
    }
    request.result->received += static_cast<int64_t>(bytes);
    try {
        if ((*request.onData)(std::string_view(data, bytes)))
            return bytes;
    } catch (...) {
        request.error = std::current_exception();
    }
    request.stopped = true;
    return bytes == 0 ? 1 : 0; // anything but `bytes` ends the transfer
}

int HttpSession::Impl::OnConnected(void* user, char*, char*, int, int) {
    auto& request = *static_cast<Request*>(user);
    request.connected = true;
    ++request.activity; // the no-data clock starts once connected
    return CURL_PREREQFUNC_OK;
}

HttpResult HttpSession::Impl::Run(const std::string& url, const ResponseFn& onResponse,
                                  const DataFn& onData) {
    HttpResult result;
    if (!easy || !multi) {
        result.error = "HTTP session not open";
        return result;
    }
    if (Cancelled()) {
        result.cancelled = true;
        return result;
    }

    Request request;
    request.easy = easy.get();
    request.onResponse = &onResponse;
    request.onData = &onData;
    request.result = &result;
#if LIBCURL_VERSION_NUM < 0x075000
    request.connected = true; // no connect notification: the clock runs from the start
#endif
    CURL* h = easy.get();
    errorText[0] = '\0';
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &request);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &request);
#if LIBCURL_VERSION_NUM >= 0x075000
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &request);
#endif

    if (curl_multi_add_handle(multi.get(), h) != CURLM_OK) {
        result.error = "cannot start the transfer";
        return result;
    }

    // libcurl is driven here rather than by curl_easy_perform so that the
    // cancel flag is seen within one short wait even when the server sends
    // nothing, and so that a stall is measured from the last byte exactly.
    using Clock = std::chrono::steady_clock;
    const auto stallLimit = std::chrono::seconds(options.stallTimeoutSeconds);
    uint64_t lastActivity = request.activity;
    auto lastActivityTime = Clock::now();
    bool done = false, stalled = false;
    CURLcode code = CURLE_OK;
    std::string multiError;
    for (;;) {
        int running = 0;
        const CURLMcode mc = curl_multi_perform(multi.get(), &running);
        if (mc != CURLM_OK) {
            multiError = curl_multi_strerror(mc);
            break;
        }
        if (running == 0) {
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == h) {
                    code = message->data.result;
                    done = true;
                }
            }
            if (!done)
                multiError = "transfer ended without a result";
            break;
        }
        if (Cancelled()) {
            result.cancelled = true;
            break;
        }
        const auto now = Clock::now();
        if (request.activity != lastActivity) {
            lastActivity = request.activity;
            lastActivityTime = now;
        } else if (request.connected && options.stallTimeoutSeconds > 0 &&
                   now - lastActivityTime >= stallLimit) {
            stalled = true;
            break;
        }
        if (curl_multi_poll(multi.get(), nullptr, 0, kPollSliceMs, nullptr) != CURLM_OK) {
            multiError = "waiting for the network failed";
            break;
        }
    }
    char* effectiveUrl = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effectiveUrl) == CURLE_OK &&
        effectiveUrl != nullptr)
        result.finalUrl = effectiveUrl;
    // Removing an unfinished transfer aborts it and closes its connection;
    // a finished one leaves its connection in the cache for the next request.
    curl_multi_remove_handle(multi.get(), h);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, nullptr);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
#if LIBCURL_VERSION_NUM >= 0x075000
    curl_easy_setopt(h, CURLOPT_PREREQDATA, nullptr);
#endif

    if (request.error)
        std::rethrow_exception(request.error);

    if (request.stopped) {
        result.cancelled = true;
    } else if (stalled) {
        result.error = "Operation timed out: no data received for " +
                       std::to_string(options.stallTimeoutSeconds) + " seconds";
    } else if (!multiError.empty()) {
        result.error = multiError;
    } else if (done && code != CURLE_OK) {
        result.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    } else if (done && !request.responded) {
        result.error = "no response";
    }
    result.complete = done && code == CURLE_OK && request.responded && !result.cancelled &&
                      (result.contentLength < 0 || result.received >= result.contentLength);
    return result;
}

HttpSession::HttpSession(HttpOptions options, const std::atomic<bool>* cancel)
    : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    impl_->cancel = cancel;
    if (!impl_->Setup()) {
        impl_->multi.reset();
        impl_->easy.reset();
    }
}

HttpSession::~HttpSession() = default;

bool HttpSession::IsOpen() const {
    return impl_->easy && impl_->multi;
}

HttpResult HttpSession::Fetch(const std::string& url, const ResponseFn& onResponse,
                              const DataFn& onData) {
    return impl_->Run(url, onResponse, onData);
}

HttpResult HttpSession::FetchToString(const std::string& url, std::string& body, int64_t maxBytes) {
    body.clear();
    const bool limited = maxBytes >= 0;
    bool tooLarge = false;
    auto onResponse = [&](long, int64_t length) {
        if (limited && length > maxBytes) {
            tooLarge = true;
            return false;
        }
        // Reserve for the announced body, but never trust a server with
        // more than a modest amount of memory ahead of the bytes.
        if (length > 0)
            body.reserve(static_cast<size_t>(std::min<int64_t>(length, kMaxReserveBytes)));
        return true;
    };
    auto onData = [&](std::string_view chunk) {
        if (limited && static_cast<int64_t>(body.size() + chunk.size()) > maxBytes) {
            tooLarge = true;
            return false;
        }
        body.append(chunk);
        return true;
    };
    HttpResult result = impl_->Run(url, onResponse, onData);
    if (tooLarge) {
        // Refused by the limit, not cancelled: nothing of the body is kept.
        result.tooLarge = true;
        result.cancelled = false;
        result.complete = false;
        body.clear();
        body.shrink_to_fit();
    }
    return result;
}

} // namespace tessarine
