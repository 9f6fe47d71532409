#pragma once
// One program per base directory at a time: an advisory lock on the lock file
// in the base directory (flock on Linux, LockFileEx on Windows). The system
// releases it when the process ends in any way, so a killed program never
// leaves a stale lock behind; the file itself stays and is reused.

#include "core/files/File.h"

#include <string>

namespace tessarine {

class BaseDirectoryLock {
public:
    enum class State {
        Obtained,      // this object holds the lock
        HeldElsewhere, // another program (or another object here) holds it,
                       // or what stands at the lock file's place cannot be
                       // locked (a folder, a link, a FIFO): taken as held
        Unavailable,   // no lock file can be opened there (a missing or
                       // read-only folder); nothing is held
    };

    // Tries to take the lock of `base` at once, without waiting.
    explicit BaseDirectoryLock(const std::string& base);
    ~BaseDirectoryLock(); // releases the lock
    BaseDirectoryLock(const BaseDirectoryLock&) = delete;
    BaseDirectoryLock& operator=(const BaseDirectoryLock&) = delete;

    State GetState() const { return state_; }
    bool Held() const { return state_ == State::Obtained; }
    const std::string& Base() const { return base_; }

    // base + kLockFileName
    static std::string LockFilePath(const std::string& base);

private:
    std::string base_;
    State state_ = State::Unavailable;
    File file_; // open while the lock is held
};

} // namespace tessarine
