#include "core/net/HttpTransfer.h"

#include "core/net/HttpHeaders.h"
#include "core/net/UrlReference.h"
#include "core/util/System.h"
#include "core/util/Text.h"

#include <algorithm>
#include <utility>

namespace tessarine {

namespace {

// Receive buffer: large reads keep loopback and LAN transfers at full speed.
constexpr long kReceiveBufferBytes = 512 * 1024;
// A string body is reserved for at most this much of an announced length.
constexpr int64_t kMaxReserveBytes = 16 * 1024 * 1024;

// Failures that come from the network rather than from the server's answer
// or from this side: trying again later may succeed.
bool IsNetworkFailure(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_PARTIAL_FILE:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return true;
    default:
        return false;
    }
}

} // namespace

HttpTransfer::HttpTransfer(const HttpOptions& options) : options_(options) {
    if (!HttpGlobalInit())
        return;
    easy_ = curl_easy_init();
    if (easy_ == nullptr)
        return;
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = curl_easy_setopt(easy_, option, value) == CURLE_OK && ok;
    };
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_ERRORBUFFER, errorText);
    set(CURLOPT_USERAGENT, options_.userAgent.c_str());
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, options_.maxRedirects);
    // Feeds and enclosures are fetched over HTTP only: a feed must not be
    // able to make us read local files or talk other protocols.
#if LIBCURL_VERSION_NUM >= 0x075500
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    set(CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    set(CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    set(CURLOPT_CONNECTTIMEOUT, options_.connectTimeoutSeconds);
    // The slow-transfer floor: libcurl measures the speed over the last few
    // seconds and ends a transfer that stays below the floor for the stall
    // time, so a trickle of a few bytes a second ends too. A transfer that
    // receives nothing at all is ended by the watchdog, which counts from the
    // last byte exactly.
    set(CURLOPT_LOW_SPEED_LIMIT, std::max(1L, options_.stallFloorBytesPerSecond));
    set(CURLOPT_LOW_SPEED_TIME, options_.stallTimeoutSeconds);
    set(CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    if (UseSystemCertificateStore())
        set(CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
    set(CURLOPT_HEADERFUNCTION, &HttpTransfer::OnHeader);
    set(CURLOPT_WRITEFUNCTION, &HttpTransfer::OnBody);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_WRITEDATA, this);
#if LIBCURL_VERSION_NUM >= 0x075000
    set(CURLOPT_PREREQFUNCTION, &HttpTransfer::OnConnected);
    set(CURLOPT_PREREQDATA, this);
#endif
    if (!ok) {
        curl_easy_cleanup(easy_);
        easy_ = nullptr;
    }
}

HttpTransfer::~HttpTransfer() {
    if (easy_ != nullptr)
        curl_easy_cleanup(easy_);
    curl_slist_free_all(headers_);
}

void HttpTransfer::Reset() {
    result_ = HttpResult();
    responded_ = stopped_ = tooLarge_ = false;
    error_ = nullptr;
    lineStatus_ = 0;
    locationSeen_ = chunked_ = encoded_ = false;
    announced_ = -1;
    lengthInvalid_ = false;
    replyError_.clear();
    validators_ = {};
    rangeFirst_ = rangeLast_ = rangeTotal_ = -1;
    activity_ = lastActivity_ = 0;
    lastActivityTime_ = options_.clock->Now();
#if LIBCURL_VERSION_NUM >= 0x075000
    connected_ = false;
#else
    connected_ = true; // no connect notification: the clock runs from the start
#endif
    errorText[0] = '\0';
}

void HttpTransfer::Prepare(const std::string& url, const HttpRequest& request,
                           ResponseInfoFn onResponse, DataFn onData) {
    Reset();
    onResponse_ = std::move(onResponse);
    onData_ = std::move(onData);
    sink_ = nullptr;
    maxBytes_ = -1;
    if (easy_ == nullptr)
        return;

    curl_slist_free_all(headers_);
    headers_ = nullptr;
    auto add = [&](const std::string& line) {
        if (curl_slist* list = curl_slist_append(headers_, line.c_str()))
            headers_ = list;
    };
    // A conditional request names every validator known: a server that
    // understands tags decides by the tag and ignores the date.
    if (SendableValue(request.ifChanged.etag))
        add("If-None-Match: " + request.ifChanged.etag);
    if (SendableValue(request.ifChanged.lastModified))
        add("If-Modified-Since: " + request.ifChanged.lastModified);
    for (const std::string& line : request.headers)
        if (SendableValue(line))
            add(line);
    std::string range;
    if (request.resumeFrom > 0) {
        const std::string ifRange = IfRangeValue(request.resumeIf);
        if (!ifRange.empty()) {
            range = std::to_string(request.resumeFrom) + "-";
            add("If-Range: " + ifRange);
        } else if (request.resumeIf.Empty()) {
            range = std::to_string(request.resumeFrom) + "-"; // the caller checks the reply
        }
    }
    // libcurl refuses a blank in a URL, and sends other bytes as they stand:
    // the request carries the URL as a browser sends it.
    url_ = url;
    sentUrl_ = UrlForRequest(url);
    curl_easy_setopt(easy_, CURLOPT_URL, sentUrl_.c_str());
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(easy_, CURLOPT_RANGE, range.empty() ? nullptr : range.c_str());
    // "" asks for every coding this libcurl can decode; without it none is
    // asked for, and a coding the server applies anyway is kept as sent.
    curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, request.compressed ? "" : nullptr);
    curl_easy_setopt(easy_, CURLOPT_HTTP_CONTENT_DECODING, request.compressed ? 1L : 0L);
}

void HttpTransfer::PrepareToString(const std::string& url, const HttpRequest& request,
                                   std::string& body, int64_t maxBytes) {
    Prepare(url, request, nullptr, nullptr);
    body.clear();
    sink_ = &body;
    maxBytes_ = maxBytes;
}

bool HttpTransfer::HandOnResponse(long status) {
    responded_ = true;
    result_.opened = true;
    result_.status = status;
    result_.reasonPhrase = status == lineStatus_ ? linePhrase_ : std::string();
    // A 204 or 304 has no body whatever length it names.
    const bool bodiless = status == 204 || status == 304;
    result_.contentLength = (chunked_ || bodiless) ? -1 : announced_;
    result_.validators = validators_;
    result_.rangeFirst = rangeFirst_;
    result_.rangeLast = rangeLast_;
    result_.rangeTotal = rangeTotal_;
    if (sink_ != nullptr) {
        // A body announced over the limit is refused before it comes; the
        // length counts only where no coding changes it.
        const int64_t length = encoded_ ? -1 : result_.contentLength;
        if (maxBytes_ >= 0 && length > maxBytes_) {
            tooLarge_ = stopped_ = true;
            return false;
        }
        // Reserve for the announced body, but never trust a server with
        // more than a modest amount of memory ahead of the bytes.
        if (length > 0)
            sink_->reserve(static_cast<size_t>(std::min<int64_t>(length, kMaxReserveBytes)));
        return true;
    }
    try {
        if (onResponse_ && !onResponse_(result_))
            stopped_ = true;
    } catch (...) {
        error_ = std::current_exception();
        stopped_ = true;
    }
    return !stopped_;
}

size_t HttpTransfer::OnHeader(char* data, size_t size, size_t count, void* user) {
    // No exception may leave a function that libcurl calls: it would unwind
    // through C frames. One that escapes the reading below (memory running
    // out) ends the transfer and is reported by Finish.
    auto& self = *static_cast<HttpTransfer*>(user);
    try {
        return self.ReadHeader(data, size * count);
    } catch (...) {
        self.error_ = std::current_exception();
        self.stopped_ = true;
        return 0;
    }
}

size_t HttpTransfer::ReadHeader(char* data, size_t bytes) {
    HttpTransfer& self = *this;
    self.activity_ += bytes;
    if (self.responded_)
        return bytes; // trailers after a chunked body

    const std::string_view line(data, bytes);
    if (StartsWithIgnoringCase(line, "http/")) {
        // A new response begins: "HTTP/1.1 200 OK", "HTTP/2 200".
        self.lineStatus_ = 0;
        self.linePhrase_.clear();
        self.locationSeen_ = self.chunked_ = self.encoded_ = false;
        self.announced_ = -1;
        self.lengthInvalid_ = false;
        self.validators_ = {};
        self.rangeFirst_ = self.rangeLast_ = self.rangeTotal_ = -1;
        const size_t space = line.find(' ');
        if (space != std::string_view::npos) {
            const size_t end = std::min(line.size(), space + 4); // three digits
            for (size_t i = space + 1; i < end && line[i] >= '0' && line[i] <= '9'; ++i)
                self.lineStatus_ = self.lineStatus_ * 10 + (line[i] - '0');
            // The reason phrase after the code, as sent ("Not Found"); none in HTTP/2.
            self.linePhrase_ = end < line.size() ? HeaderTrimmed(line.substr(end)) : std::string_view{};
        }
    } else if (HeaderTrimmed(line).empty()) {
        // The end of a header block. libcurl's response code is that of the
        // server's last status line; a proxy's answer to CONNECT does not set
        // it and so does not match.
        long status = 0;
        curl_easy_getinfo(self.easy_, CURLINFO_RESPONSE_CODE, &status);
        if (status < 200 || status != self.lineStatus_)
            return bytes; // informational, or not the server's response
        if (status >= 300 && status < 400 && status != 304 && self.locationSeen_) {
            // A redirect, which libcurl follows.
            ++self.result_.redirects;
            if (status != 301 && status != 308)
                self.result_.permanentRedirects = false;
            return bytes;
        }
        if (self.lengthInvalid_ && status != 204 && status != 304) {
            // Where the body ends is unknown: libcurl would read a number
            // out of some such values and guess for others, so the reply is
            // refused here, whatever its body.
            self.replyError_ = "invalid Content-Length in the reply";
            return 0;
        }
        if (!self.HandOnResponse(status))
            return 0; // anything but `bytes` makes libcurl end the transfer
    } else if (StartsWithIgnoringCase(line, "location:")) {
        self.locationSeen_ = !HeaderTrimmed(line.substr(9)).empty();
    } else if (StartsWithIgnoringCase(line, "content-length:")) {
        // Every Content-Length line must name the same valid number.
        const int64_t length = ParseContentLength(HeaderTrimmed(line.substr(15)));
        if (length < 0 || (self.announced_ >= 0 && length != self.announced_))
            self.lengthInvalid_ = true;
        else
            self.announced_ = length;
    } else if (StartsWithIgnoringCase(line, "transfer-encoding:")) {
        self.chunked_ = ContainsNoCase(line.substr(18), "chunked");
    } else if (StartsWithIgnoringCase(line, "content-encoding:")) {
        const std::string_view coding = HeaderTrimmed(line.substr(17));
        self.encoded_ = !coding.empty() && !StartsWithIgnoringCase(coding, "identity");
    } else if (StartsWithIgnoringCase(line, "etag:")) {
        const std::string_view value = HeaderTrimmed(line.substr(5));
        self.validators_.etag = SendableValue(value) ? std::string(value) : std::string();
    } else if (StartsWithIgnoringCase(line, "last-modified:")) {
        const std::string_view value = HeaderTrimmed(line.substr(14));
        self.validators_.lastModified = SendableValue(value) ? std::string(value) : std::string();
    } else if (StartsWithIgnoringCase(line, "content-range:")) {
        ParseContentRange(line.substr(14), self.rangeFirst_, self.rangeLast_, self.rangeTotal_);
    }
    return bytes;
}

size_t HttpTransfer::OnBody(char* data, size_t size, size_t count, void* user) {
    auto& self = *static_cast<HttpTransfer*>(user);
    const size_t bytes = size * count;
    try {
        return self.ReadBody(data, bytes);
    } catch (...) {
        self.error_ = std::current_exception();
        self.stopped_ = true;
        return bytes == 0 ? 1 : 0; // anything but `bytes` ends the transfer
    }
}

size_t HttpTransfer::ReadBody(char* data, size_t bytes) {
    HttpTransfer& self = *this;
    self.activity_ += bytes;
    if (!self.responded_) {
        // Not expected: every body follows a final header block. Hand on
        // what libcurl knows so that the order of the callbacks holds.
        long status = 0;
        curl_off_t length = -1;
        curl_easy_getinfo(self.easy_, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(self.easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        self.announced_ = static_cast<int64_t>(length);
        if (!self.HandOnResponse(status))
            return 0;
    }
    self.result_.received += static_cast<int64_t>(bytes);
    if (self.sink_ != nullptr) {
        if (self.maxBytes_ >= 0 &&
            static_cast<int64_t>(self.sink_->size() + bytes) > self.maxBytes_) {
            self.tooLarge_ = self.stopped_ = true;
            return bytes == 0 ? 1 : 0;
        }
        self.sink_->append(data, bytes);
        return bytes;
    }
    try {
        if (!self.onData_ || self.onData_(std::string_view(data, bytes)))
            return bytes;
    } catch (...) {
        self.error_ = std::current_exception();
    }
    self.stopped_ = true;
    return bytes == 0 ? 1 : 0; // anything but `bytes` ends the transfer
}

int HttpTransfer::OnConnected(void* user, char*, char*, int, int) {
    auto& self = *static_cast<HttpTransfer*>(user);
    self.connected_ = true;
    ++self.activity_; // the no-data clock starts once connected
    return CURL_PREREQFUNC_OK;
}

bool HttpTransfer::Stalled(std::chrono::steady_clock::time_point now) {
    if (activity_ != lastActivity_) {
        lastActivity_ = activity_;
        lastActivityTime_ = now;
        return false;
    }
    return connected_ && options_.stallTimeoutSeconds > 0 &&
           now - lastActivityTime_ >= std::chrono::seconds(options_.stallTimeoutSeconds);
}

HttpResult HttpTransfer::Finish(std::optional<CURLcode> code, bool cancelled, bool stalled,
                                const std::string& driverError) {
    HttpResult result = std::move(result_);
    result_ = HttpResult();
    if (easy_ != nullptr) {
        char* url = nullptr;
        if (curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url != nullptr)
            // Without a redirect the URL stays as the caller wrote it, so
            // that what is resolved against it keeps the feed's own spelling.
            result.finalUrl = url == sentUrl_ ? url_ : std::string(url);
        curl_off_t body = 0;
        long header = 0;
        curl_easy_getinfo(easy_, CURLINFO_SIZE_DOWNLOAD_T, &body);
        curl_easy_getinfo(easy_, CURLINFO_HEADER_SIZE, &header);
        result.wireBytes = static_cast<int64_t>(body) + header;
    }
    onResponse_ = nullptr;
    onData_ = nullptr;
    if (error_) {
        std::exception_ptr error = std::exchange(error_, nullptr);
        if (sink_ == nullptr)
            std::rethrow_exception(error); // the caller's own callback threw
        // Collecting the body failed (memory): a failed request, reported.
        sink_->clear();
        sink_->shrink_to_fit();
        sink_ = nullptr;
        result.end = HttpEnd::Failed;
        result.error = "out of memory while receiving the response";
        return result;
    }

    const bool done = code.has_value();
    HttpEnd end = HttpEnd::Failed; // how it ended unless it completed
    if (!replyError_.empty()) {
        result.error = replyError_; // a reply that cannot be read: none was opened
    } else if (stopped_ || cancelled) {
        end = HttpEnd::Cancelled;
    } else if (stalled) {
        end = HttpEnd::Stalled;
        result.error = "Operation timed out: no data received for " +
                       std::to_string(options_.stallTimeoutSeconds) + " seconds";
    } else if (!driverError.empty()) {
        result.error = driverError;
    } else if (done && *code != CURLE_OK) {
        result.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(*code);
        if (*code == CURLE_OPERATION_TIMEDOUT && connected_)
            end = HttpEnd::Stalled;
        else if (IsNetworkFailure(*code))
            end = HttpEnd::Network;
    } else if (done && !responded_) {
        result.error = "no response";
    }
    // libcurl ends a body short of its announced length with an error; the
    // length is compared as well where no coding changed the byte count.
    const bool complete =
        done && *code == CURLE_OK && responded_ && end != HttpEnd::Cancelled &&
        (result.contentLength < 0 || encoded_ || result.received >= result.contentLength);
    result.end = complete ? HttpEnd::Complete : end;
    if (tooLarge_) {
        // Refused by the limit, not cancelled: nothing of the body is kept.
        result.end = HttpEnd::TooLarge;
        if (sink_ != nullptr) {
            sink_->clear();
            sink_->shrink_to_fit();
        }
    }
    sink_ = nullptr;
    result.failure = FailureOf(result, code, stalled);
    return result;
}

Failure HttpTransfer::FailureOf(const HttpResult& result, std::optional<CURLcode> code,
                                bool stalled) const {
    // Checked in the order Finish decides: what ended the request first.
    if (result.Cancelled())
        return {FailureKind::Cancelled};
    if (result.TooLarge())
        return {FailureKind::TooLarge};
    if (stalled || result.Stalled())
        return {FailureKind::TimedOut, 0, {}, result.error};
    if (code && *code != CURLE_OK && replyError_.empty()) {
        switch (*code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return {FailureKind::NameNotFound, 0, {}, result.error};
        case CURLE_COULDNT_CONNECT:
            return {FailureKind::ConnectionRefused, 0, {}, result.error};
        case CURLE_OPERATION_TIMEDOUT:
            return {FailureKind::TimedOut, 0, {}, result.error};
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return {FailureKind::CertificateNotTrusted, 0, {}, result.error};
        case CURLE_PARTIAL_FILE:
            return {FailureKind::CutShort, 0, {}, result.error};
        default:
            return {FailureKind::NetworkError, 0, {}, result.error};
        }
    }
    if (!result.error.empty())
        return {FailureKind::NetworkError, 0, {}, result.error};
    if (result.status != 0 && (result.status < 200 || result.status > 299) && result.status != 304)
        return {FailureKind::HttpStatus, result.status, result.reasonPhrase, {}};
    if (!result.Complete())
        return {FailureKind::CutShort};
    return {};
}

} // namespace tessarine
