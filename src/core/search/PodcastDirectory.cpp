#include "core/search/PodcastDirectory.h"

#include "core/net/FeedAddress.h"
#include "core/net/HttpClient.h"
#include "core/util/OleDateTime.h"
#include "core/util/Sha1.h"
#include "core/util/Text.h"
#include "core/util/XmlText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tessarine {

namespace {

// Search answers are a few hundred kilobytes at most; anything far bigger is
// no answer to a search.
constexpr int64_t kMaxAnswerBytes = int64_t{8} << 20;
constexpr long kDirectoryTimeoutSeconds = 20;
constexpr int64_t kYear10000 = 253402300800; // 10000-01-01, in seconds since 1970

// Objects keep the order the service wrote them in (the first category of a
// podcast is its main one).
using Json = nlohmann::ordered_json;

std::string WithoutTrailingSlashes(std::string text) {
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A member that is a text, trimmed; empty when it is missing or no text.
std::string TextOf(const Json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string())
        return {};
    return std::string(Trimmed(found->get_ref<const std::string&>(), IsBlank));
}

// The first of the named members that is a non-empty text.
std::string FirstTextOf(const Json& object, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (std::string text = TextOf(object, name); !text.empty())
            return text;
    return {};
}

// A member that is a whole number of at least 0 (also written as a decimal
// text); -1 otherwise.
int64_t CountOf(const Json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end())
        return -1;
    if (found->is_number_unsigned())
        return found->get<uint64_t>() <= static_cast<uint64_t>(INT64_MAX)
                   ? static_cast<int64_t>(found->get<uint64_t>())
                   : -1;
    if (found->is_number_integer())
        return std::max<int64_t>(found->get<int64_t>(), -1);
    if (found->is_string())
        return ParseDecimal(found->get_ref<const std::string&>());
    return -1;
}

// Seconds since 1970 (at least 0) as "YYYY-MM-DDTHH:MM:SSZ".
std::string IsoDate(int64_t seconds) {
    int year = 0, month = 0, day = 0;
    CivilFromDays(seconds / 86400, year, month, day);
    const int64_t rest = seconds % 86400;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60));
    return text;
}

// The scheme and host a mirror named in `variable` gives, else `standard`.
std::string BaseFromEnvironment(const char* variable, const char* standard) {
    const char* mirror = std::getenv(variable);
    std::string base = mirror != nullptr ? WithoutTrailingSlashes(mirror) : std::string();
    return base.empty() ? standard : base;
}

DirectorySearch OddAnswer(std::string detail, FailureKind kind = FailureKind::None) {
    DirectorySearch search;
    search.outcome = DirectorySearch::Outcome::OddAnswer;
    search.failure.kind = kind;
    search.failure.detail = std::move(detail);
    return search;
}

// Asks `url` and hands the answer's JSON to `read`, which fills the results
// or says why the answer is none (an empty text: it is one). Everything
// before that (the network, HTTP errors, a body that is no JSON) is decided
// here the same way for every directory.
template <typename Read>
DirectorySearch Ask(const HttpOptions& options, const std::atomic<bool>* cancel,
                    const std::string& url, const HttpRequest& request, Read read) {
    DirectorySearch search;
    HttpSession session(options, cancel);
    if (!session.IsOpen()) {
        search.outcome = DirectorySearch::Outcome::NoNetwork;
        search.failure.kind = FailureKind::NoInternet;
        return search;
    }
    std::string body;
    const HttpResult result = session.FetchToString(url, request, body, kMaxAnswerBytes);
    search.httpStatus = result.status;
    if (result.TooLarge())
        return OddAnswer({}, FailureKind::TooLarge);
    const bool answered = result.opened && !result.NetworkFailure() && !result.Cancelled();
    const bool refused = answered && (result.status < 200 || result.status > 299);
    if (!answered || refused || !result.Complete()) {
        // A refusal is told by its status; anything else that cut the
        // answer short counts as no network.
        search.outcome =
            refused ? DirectorySearch::Outcome::Refused : DirectorySearch::Outcome::NoNetwork;
        search.failure = result.failure;
        if (!search.failure)
            search.failure =
                refused ? Failure{FailureKind::HttpStatus, result.status, result.reasonPhrase, {}}
                        : Failure{FailureKind::NetworkError, 0, {}, result.error};
        return search;
    }
    // Titles in another encoding than the promised UTF-8 would make the
    // whole answer unreadable to the parser: they are mended first (bytes
    // of 0x80 and above never stand for JSON's own punctuation).
    Json document = Json::parse(ValidUtf8(body), nullptr, false);
    if (document.is_discarded())
        return OddAnswer("not JSON");
    if (!document.is_object())
        return OddAnswer("not a JSON object");
    if (std::string problem = read(document, search.results); !problem.empty()) {
        search.results.clear();
        return OddAnswer(std::move(problem));
    }
    return search;
}

std::string TrimmedTerm(const std::string& term) {
    return std::string(Trimmed(term, IsBlank));
}

// ---- The Apple directory ----
// GET /search?media=podcast&entity=podcast&term=...
// {"resultCount": 2, "results": [{"collectionName": ..., "artistName": ...,
//   "feedUrl": ..., "trackCount": 12, "primaryGenreName": ...,
//   "releaseDate": "2024-05-01T10:00:00Z", "artworkUrl100": ...}, ...]}

std::string ReadAppleAnswer(const Json& document, std::vector<DirectoryResult>& results) {
    const auto found = document.find("results");
    if (found == document.end() || !found->is_array())
        return "no \"results\" list";
    for (const Json& entry : *found) {
        if (!entry.is_object())
            continue;
        DirectoryResult result;
        result.feedUrl = TextOf(entry, "feedUrl");
        // Apps, books and podcasts whose feed the directory does not give
        // cannot be subscribed to.
        if (!IsWebUrl(result.feedUrl))
            continue;
        result.title = FirstTextOf(entry, {"collectionName", "trackName"});
        result.author = TextOf(entry, "artistName");
        result.episodes = CountOf(entry, "trackCount");
        result.genre = TextOf(entry, "primaryGenreName");
        result.latest = TextOf(entry, "releaseDate");
        result.artworkUrl = FirstTextOf(entry, {"artworkUrl100", "artworkUrl60", "artworkUrl600"});
        results.push_back(std::move(result));
    }
    return {};
}

class AppleDirectory final : public PodcastDirectory {
public:
    explicit AppleDirectory(HttpOptions options) : options_(std::move(options)) {}

    std::string Name() const override { return "Apple Podcasts"; }

    DirectorySearch Search(const std::string& term, const std::atomic<bool>* cancel) override {
        const std::string url =
            AppleDirectoryBase() +
            "/search?media=podcast&entity=podcast&term=" + SearchQueryValue(TrimmedTerm(term));
        return Ask(options_, cancel, url, HttpRequest{.compressed = true}, ReadAppleAnswer);
    }

private:
    const HttpOptions options_;
};

// ---- The Podcast Index ----
// GET /api/1.0/search/byterm?q=... with X-Auth-Key, X-Auth-Date and
// Authorization (see PodcastIndexAuthorization).
// {"status": "true", "feeds": [{"title": ..., "url": ..., "author": ...,
//   "artwork": ..., "episodeCount": 12, "newestItemPubdate": 1714557600,
//   "categories": {"55": "News", ...}}, ...], "count": 2}

std::string ReadIndexAnswer(const Json& document, std::vector<DirectoryResult>& results) {
    // "status" is "true" or "false" as text; a refusal may also come as 200.
    if (const auto status = document.find("status");
        status != document.end() &&
        ((status->is_string() && *status == "false") || (status->is_boolean() && !*status))) {
        const std::string description = TextOf(document, "description");
        return description.empty() ? "status false" : description;
    }
    const auto found = document.find("feeds");
    if (found == document.end() || !found->is_array())
        return "no \"feeds\" list";
    for (const Json& entry : *found) {
        if (!entry.is_object())
            continue;
        DirectoryResult result;
        result.feedUrl = FirstTextOf(entry, {"url", "originalUrl"});
        if (!IsWebUrl(result.feedUrl))
            continue;
        result.title = TextOf(entry, "title");
        result.author = FirstTextOf(entry, {"author", "ownerName"});
        result.episodes = CountOf(entry, "episodeCount");
        if (const auto categories = entry.find("categories");
            categories != entry.end() && categories->is_object()) {
            for (const Json& name : *categories) {
                if (name.is_string() && !name.get_ref<const std::string&>().empty()) {
                    result.genre = name.get<std::string>();
                    break;
                }
            }
        }
        // Beyond the year 9999 is no date a list could show.
        if (const int64_t newest = CountOf(entry, "newestItemPubdate");
            newest > 0 && newest < kYear10000)
            result.latest = IsoDate(newest);
        result.artworkUrl = FirstTextOf(entry, {"artwork", "image"});
        results.push_back(std::move(result));
    }
    return {};
}

class PodcastIndexDirectory final : public PodcastDirectory {
public:
    PodcastIndexDirectory(std::string key, std::string secret, HttpOptions options,
                          std::string base)
        : key_(std::move(key)), secret_(std::move(secret)), options_(std::move(options)),
          base_(base.empty() ? PodcastIndexBase() : WithoutTrailingSlashes(std::move(base))) {}

    std::string Name() const override { return "Podcast Index"; }

    DirectorySearch Search(const std::string& term, const std::atomic<bool>* cancel) override {
        const std::time_t now = options_.clock->CalendarNow();
        HttpRequest request{.compressed = true};
        request.headers = {"X-Auth-Key: " + key_, "X-Auth-Date: " + std::to_string(now),
                           "Authorization: " + PodcastIndexAuthorization(key_, secret_, now)};
        const std::string url =
            base_ + "/api/1.0/search/byterm?q=" + SearchQueryValue(TrimmedTerm(term));
        return Ask(options_, cancel, url, request, ReadIndexAnswer);
    }

private:
    const std::string key_, secret_;
    const HttpOptions options_;
    const std::string base_;
};

} // namespace

HttpOptions DirectoryHttpOptions() {
    HttpOptions options;
    options.connectTimeoutSeconds = kDirectoryTimeoutSeconds;
    options.stallTimeoutSeconds = kDirectoryTimeoutSeconds;
    return options;
}

std::string AppleDirectoryBase() {
    return BaseFromEnvironment("TESSARINE_SEARCH_URL", "https://itunes.apple.com");
}

std::string PodcastIndexBase() {
    return BaseFromEnvironment("TESSARINE_PODCASTINDEX_URL", "https://api.podcastindex.org");
}

std::string PodcastIndexAuthorization(const std::string& key, const std::string& secret,
                                      std::time_t unixTime) {
    return Sha1Hex(key + secret + std::to_string(static_cast<long long>(unixTime)));
}

std::string SearchQueryValue(const std::string& term) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string value;
    for (const char c : term) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || c == '-' || c == '_' || c == '.' || c == '~') {
            value += c;
        } else if (c == ' ') {
            value += '+';
        } else {
            value += '%';
            value += kDigits[byte >> 4];
            value += kDigits[byte & 0x0F];
        }
    }
    return value;
}

std::unique_ptr<PodcastDirectory> MakeAppleDirectory(HttpOptions options) {
    return std::make_unique<AppleDirectory>(std::move(options));
}

std::unique_ptr<PodcastDirectory> MakePodcastIndexDirectory(const std::string& key,
                                                            const std::string& secret,
                                                            HttpOptions options, std::string base) {
    return std::make_unique<PodcastIndexDirectory>(key, secret, std::move(options),
                                                   std::move(base));
}

} // namespace tessarine
