#pragma once
// What an update engine is set up with, and how its cycles end.

#include "core/net/HttpClient.h"
#include "core/util/Clock.h"


#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace tessarine {

class EpisodeLedger;

// How a cycle (or its transfer walk) ended.
enum CycleResult : int {
    CycleDone = 0,
    CycleNoInternet = -1, // an internet handle could not be opened
    CycleCancelled = 1,
};

struct EngineOptions {
    HttpOptions http;
    int64_t maxFeedBytes = kMaxFeedBytes; // larger feeds are refused as errors
    // The feed cache's folder, chosen by the front end's platform layer; no
    // cache at all when not given or empty.
    std::optional<std::string> feedCacheDirectory{};
    int feedConnections = 4; // feeds fetched at once
    // During the walk the settings file is written at most once per this
    // interval (also while the walk waits for the network), and once at the
    // walk's end: a kill loses at most this much of dates and statuses.
    std::chrono::milliseconds saveInterval{500};
    // The clock of everything the engine times or dates: the saves, the wait
    // for a feed, the stall watchdog of every transfer (it replaces
    // `http.clock`) and the date a subscription was checked.
    const Clock* clock = &Clock::System();
    // The episode library of the base directory, which decides what a check
    // fetches and keeps; none: every episode whose file is missing is fetched.
    EpisodeLedger* episodes = nullptr;
};

} // namespace tessarine
