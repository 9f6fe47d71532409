#pragma once
// Finding podcasts by name in a public directory. A directory is a small
// interface: it takes a search term and answers with the podcasts it found,
// or with why it could not. Nothing is sent anywhere unless a front end asks
// for a search; the term goes only to the directory asked.
//
// Two directories are built in: the Apple podcast directory's public search
// (no key) and the Podcast Index (a key and a secret the user enters).

#include "core/net/HttpMessage.h"
#include "core/util/Failure.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace tessarine {

// One podcast a directory found. Results without a feed address are left out.
struct DirectoryResult {
    std::string title;
    std::string author;
    std::string feedUrl;
    int64_t episodes = -1; // -1 when the directory does not say
    std::string genre;
    std::string latest; // the latest episode's date, ISO 8601 (YYYY-MM-DD...); may be empty
    std::string artworkUrl;
};

// How a search ended.
struct DirectorySearch {
    enum class Outcome {
        Found,     // `results` holds what was found (possibly nothing)
        NoNetwork, // the directory could not be reached (`failure` says why:
                   // TimedOut, NameNotFound, ConnectionRefused...; Cancelled
                   // when the cancel flag ended the request)
        Refused,   // it answered with an HTTP error (`httpStatus`, `failure`)
        OddAnswer, // it answered with something that is no search result
                   // (`failure.detail` says what; TooLarge for a huge answer)
    };
    Outcome outcome = Outcome::Found;
    std::vector<DirectoryResult> results;
    Failure failure{};
    long httpStatus = 0;
};

class PodcastDirectory {
public:
    virtual ~PodcastDirectory() = default;
    // The service's name as shown to the user ("Apple Podcasts", "Podcast Index").
    virtual std::string Name() const = 0;
    // Searches for `term` (trimmed, not empty) on the calling thread; a
    // set `cancel` flag ends the request early.
    virtual DirectorySearch Search(const std::string& term,
                                   const std::atomic<bool>* cancel = nullptr) = 0;
};

// Where the Apple directory is asked: its scheme and host, or the value of
// the environment variable TESSARINE_SEARCH_URL when that is set (a mirror,
// a test's server); the path and query stay "/search?media=podcast&entity=podcast&term=...".
std::string AppleDirectoryBase();

// The Podcast Index's Authorization header for a request at `unixTime`:
// SHA-1 of key, secret and time written as decimal, in lower-case hex.
std::string PodcastIndexAuthorization(const std::string& key, const std::string& secret,
                                      std::time_t unixTime);

// A search term as a query's value: UTF-8 percent-encoded, blanks as "+".
std::string SearchQueryValue(const std::string& term);

// The HTTP options of a search: someone waits for the answer, so a
// directory that does not connect or falls silent is given up on after
// 20 seconds instead of the minute a feed gets.
HttpOptions DirectoryHttpOptions();

// The Apple directory (no key).
std::unique_ptr<PodcastDirectory> MakeAppleDirectory(HttpOptions options = DirectoryHttpOptions());
// Where the Podcast Index is asked: "https://api.podcastindex.org", or the
// value of TESSARINE_PODCASTINDEX_URL when that is set (as above); the path
// and query stay "/api/1.0/search/byterm?q=...".
std::string PodcastIndexBase();

// The Podcast Index with the user's key and secret; `base` its scheme and
// host (PodcastIndexBase() when empty). The X-Auth-Date header takes its
// seconds from the options' clock (its calendar time).
std::unique_ptr<PodcastDirectory>
MakePodcastIndexDirectory(const std::string& key, const std::string& secret,
                          HttpOptions options = DirectoryHttpOptions(), std::string base = {});

} // namespace tessarine
