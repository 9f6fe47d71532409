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
    std::string latest;    // the latest episode's date, ISO 8601 (YYYY-MM-DD...); may be empty
    std::string artworkUrl;
};

// How a search ended.
struct DirectorySearch {
    enum class Outcome {
        Found,       // `results` holds what was found (possibly nothing)
        NoNetwork,   // the directory could not be reached (`failure` says why)
        Refused,     // it answered with an HTTP error (`httpStatus`)
        OddAnswer,   // it answered with something that is no search result
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

// The Apple directory (no key), with the program's HTTP options.
std::unique_ptr<PodcastDirectory> MakeAppleDirectory(HttpOptions options = {});
// The Podcast Index with the user's key and secret; `base` its scheme and
// host ("https://api.podcastindex.org" when empty). The X-Auth-Date header
// takes its seconds from the options' clock.
std::unique_ptr<PodcastDirectory> MakePodcastIndexDirectory(const std::string& key,
                                                            const std::string& secret,
                                                            HttpOptions options = {},
                                                            std::string base = {});

} // namespace tessarine
