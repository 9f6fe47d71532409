#pragma once
// The one libcurl multi loop: drives any number of HttpTransfers on one multi
// handle (which keeps the connections between requests), waiting for the
// network in short slices so that the cancel flag and the stall watchdog are
// looked at between waits. HttpSession drives one transfer at a time on it,
// FeedFetcher several. Not thread-safe but for Wake: a driver belongs to the
// thread that steps it.

#include "core/net/HttpTransfer.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace tessarine {

// The longest single wait for network activity; the cancel flag and the stall
// watchdog are looked at between waits.
inline constexpr int kPollSliceMs = 50;

class TransferDriver {
public:
    // With `maxConnections` > 0 at most that many idle connections are kept.
    TransferDriver(const HttpOptions& options, const std::atomic<bool>* cancel,
                   long maxConnections = 0);
    ~TransferDriver();
    TransferDriver(const TransferDriver&) = delete;
    TransferDriver& operator=(const TransferDriver&) = delete;

    bool IsOpen() const { return multi_ != nullptr; }
    bool Cancelled() const;

    // Starts a prepared transfer; false when it cannot be started (it is not
    // attached then).
    bool Add(HttpTransfer& transfer);
    // Takes a transfer off unfinished: it is ended and its connection closed.
    void Remove(HttpTransfer& transfer);
    bool Empty() const { return attached_.empty(); }

    // A transfer that ended, already taken off: hand the rest to its Finish.
    struct Ended {
        HttpTransfer* transfer = nullptr;
        std::optional<CURLcode> code; // libcurl's result when it finished
        bool cancelled = false;
        bool stalled = false;
        std::string error; // the driver's own failure
    };
    // Moves every attached transfer on, and returns those that ended: by
    // finishing, by the cancel flag, by the stall watchdog, or by a failure
    // of the multi handle. Waits up to one poll slice for the network (or a
    // Wake) when none ended.
    std::vector<Ended> Step();
    // Ends the current or next wait at once; callable from any thread.
    void Wake();

private:
    void Detach(size_t at, Ended ended, std::vector<Ended>& out);

    const HttpOptions& options_;
    const std::atomic<bool>* cancel_;
    CURLM* multi_ = nullptr;
    std::vector<HttpTransfer*> attached_;
};

} // namespace tessarine
