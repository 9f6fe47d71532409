#pragma once
// Keeps a second Tessarine from working on the same base directory: an
// exclusive advisory lock (flock) on a file in the base directory, held for
// the life of the object. The system lets go of it when the process ends,
// however it ends.

#include <memory>
#include <string>

namespace tessarine {

inline constexpr const char* kLockFileName = ".tessarine.lock";

class BaseDirectoryLock {
public:
    enum class Outcome {
        Acquired,    // this process holds the base directory now
        Held,        // another process holds it
        Unavailable, // no lock file can be made there (read-only, missing)
    };

    // Tries to take the lock of `base` (which ends with a separator, or is
    // empty for the current folder) without waiting.
    static std::unique_ptr<BaseDirectoryLock> TryAcquire(const std::string& base, Outcome& outcome);

    ~BaseDirectoryLock();
    BaseDirectoryLock(const BaseDirectoryLock&) = delete;
    BaseDirectoryLock& operator=(const BaseDirectoryLock&) = delete;

private:
    explicit BaseDirectoryLock(int descriptor) : descriptor_(descriptor) {}
    int descriptor_;
};

} // namespace tessarine
