#pragma once
// What an HTTP request asks and what its result says, the options every
// request shares, and the rules for resuming a partial download.

#include "core/util/Clock.h"
#include "core/util/Failure.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

// Feeds (and other bodies read whole) larger than this are refused.
inline constexpr int64_t kMaxFeedBytes = int64_t{64} << 20;

struct HttpOptions {
    std::string userAgent = "Tessarine/1.0";
    long connectTimeoutSeconds = 60;
    // A transfer fails as a stall when no byte arrives for this long, or when
    // it stays slower than `stallFloorBytesPerSecond` for this long.
    long stallTimeoutSeconds = 60;
    long stallFloorBytesPerSecond = 1024;
    long maxRedirects = 10;
    // What the stall watchdog measures time with.
    const Clock* clock = &Clock::System();
};

// What a server said about the version of a resource it sent: its entity tag
// and its modification date, both as sent (the tag with its quotes and any
// "W/"); empty when not sent.
struct HttpValidators {
    std::string etag{};
    std::string lastModified{};

    bool Empty() const { return etag.empty() && lastModified.empty(); }
    bool operator==(const HttpValidators&) const = default;
};

// How one request differs from a plain GET.
struct HttpRequest {
    // Accept every content coding libcurl can decode; the body is handed on
    // decoded. Without it no coding is asked for and none is decoded, so the
    // bytes arrive as the server stores them.
    bool compressed = false;
    // A conditional request: If-None-Match with the tag and If-Modified-Since
    // with the date, each when known. A server whose version still matches
    // answers 304 without a body.
    HttpValidators ifChanged{};
    // With resumeFrom > 0, asks only for the bytes from that offset on, under
    // the condition that the resource is still the one these validators
    // describe (If-Range). The condition is the tag when it is a strong one,
    // else the date; with a weak tag alone, no range is asked for and the
    // whole resource comes (see CanResume). With no validators at all the
    // range is asked for without a condition: the caller then accepts only
    // a reply whose Content-Range fits what it holds (see MayResume).
    int64_t resumeFrom = -1;
    HttpValidators resumeIf{};
    // Further header lines ("Name: value"), such as a service's credentials;
    // a line that is not sendable (see SendableValue) is left out.
    std::vector<std::string> headers{};
};

// How a request ended. Only one holds: a request the network ended was not
// cancelled, and one refused as too large was neither.
enum class HttpEnd {
    Complete,  // the body arrived whole, without transport error
    Failed,    // any other end: no usable reply, a body short of its length,
               // a transport error that is not the network's
    Network,   // the network ended it: no connection, reset, cut short, timed out
    Stalled,   // the stall limit ended it (a network failure too)
    Cancelled, // the cancel flag or a callback ended it
    TooLarge,  // FetchToString refused a body over its limit
};

struct HttpResult {
    bool opened = false;         // a response arrived: the URL could be opened
    HttpEnd end = HttpEnd::Failed;
    long status = 0;             // status of the final response (0 when none)
    std::string reasonPhrase{};  // its reason phrase as sent ("Not Found"), may be empty
    int64_t contentLength = -1;  // announced length of the final response, -1 if none
    int64_t received = 0;        // body bytes delivered (after decoding)
    int64_t wireBytes = 0;       // header and body bytes that came over the network
    HttpValidators validators;   // of the final response
    // Content-Range of the final response: first and last byte and the whole
    // length; -1 where absent or "*".
    int64_t rangeFirst = -1;
    int64_t rangeLast = -1;
    int64_t rangeTotal = -1;
    std::string finalUrl; // after redirects; empty when nothing was requested
    // Redirects followed to reach the final response, and whether every one
    // of them said the resource moved for good (301, 308).
    int redirects = 0;
    bool permanentRedirects = true;
    std::string error;    // transport error text, empty when none
    // Why the request did not bring a whole 2xx (or 304) response, as data:
    // the HTTP status and phrase, the kind of network failure, a cancel.
    Failure failure{};

    bool NotModified() const { return status == 304; }
    // The final address replaces the asked one for good: reached over one or
    // more redirects, each of them permanent.
    bool MovedPermanently() const { return redirects > 0 && permanentRedirects; }
    bool Complete() const { return end == HttpEnd::Complete; }
    bool Cancelled() const { return end == HttpEnd::Cancelled; }
    bool TooLarge() const { return end == HttpEnd::TooLarge; }
    bool Stalled() const { return end == HttpEnd::Stalled; }
    // Ended by the network, the stall limit included.
    bool NetworkFailure() const { return end == HttpEnd::Network || end == HttpEnd::Stalled; }
};

// Called once per request, before any data, with the final response's status
// and announced length (-1 when none). Returning false ends the request.
using ResponseFn = std::function<bool(long status, int64_t contentLength)>;
// The same with everything known of the final response at that point: the
// fields of HttpResult up to the body (status, length, validators, range).
using ResponseInfoFn = std::function<bool(const HttpResult& response)>;
// Called for each chunk of the body; returning false ends the request.
using DataFn = std::function<bool(std::string_view chunk)>;

// Initialises libcurl once for the process; false when that fails.
bool HttpGlobalInit();

// Whether a header value may be sent back to a server: printable, without
// line breaks, of a sane size.
bool SendableValue(std::string_view value);

// The If-Range value a ranged request would carry: a strong tag, else the
// date; empty when the validators allow no safe resumption.
std::string IfRangeValue(const HttpValidators& validators);
inline bool CanResume(const HttpValidators& validators) {
    return !IfRangeValue(validators).empty();
}
// Whether a partial file of a resource sent with these validators may be
// resumed: under If-Range (CanResume), or by a plain Range where the server
// named none at all, when the resource's whole length is known to compare
// the reply's Content-Range with. A weak tag alone says that versions may
// differ byte for byte, so nothing is resumed then.
inline bool MayResume(const HttpValidators& validators) {
    return CanResume(validators) || validators.Empty();
}

// What to do with a partial file of `have` bytes of a resource of `total`
// bytes, given the response to a request that resumed from `have`.
enum class ResumeAction {
    Append,    // a 206 for exactly the rest: append the body
    StartOver, // a 200: the whole resource comes, write it from the start
    Refetch,   // a range that does not fit, or 416: drop the partial file and
               // ask again for the whole resource
    Fail,      // any other status: a failure as without a partial file
};
ResumeAction DecideResume(const HttpResult& response, int64_t have, int64_t total);

} // namespace tessarine
