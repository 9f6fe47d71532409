#pragma once
// Stops one download's transfer from another thread without ending the
// cycle: the transfer under way watches one flag, which its own stop and the
// cycle's cancellation both set.

#include <atomic>
#include <cstddef>
#include <mutex>

namespace tessarine {

class TransferStop {
public:
    // `cancel`: the cycle's cancellation, which stops every transfer.
    explicit TransferStop(const std::atomic<bool>& cancel) : cancel_(cancel) {}

    // The flag the transfer under way watches.
    const std::atomic<bool>& Flag() const { return stop_; }

    // The transfer of `row` begins (stopped already when the cycle is).
    void Begin(size_t row) {
        std::lock_guard lock(mutex_);
        row_ = static_cast<long long>(row);
        stop_ = cancel_.load();
    }
    // It ended; true when Stop ended it rather than the cycle's cancellation.
    bool End() {
        std::lock_guard lock(mutex_);
        row_ = -1;
        return stop_.exchange(cancel_.load()) && !cancel_;
    }
    // Stops the transfer of `row` when it is the one under way.
    void Stop(size_t row) {
        std::lock_guard lock(mutex_);
        if (row_ == static_cast<long long>(row))
            stop_ = true;
    }
    // The cycle was cancelled (after `cancel` was set): the transfer under
    // way stops, and so does any that begins.
    void StopAll() {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }

private:
    const std::atomic<bool>& cancel_;
    std::mutex mutex_;
    long long row_ = -1;
    std::atomic<bool> stop_{false};
};

} // namespace tessarine
