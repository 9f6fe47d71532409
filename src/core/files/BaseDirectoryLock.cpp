#include "core/files/BaseDirectoryLock.h"

#include "core/files/BaseDirectory.h"

namespace tessarine {

std::string BaseDirectoryLock::LockFilePath(const std::string& base) {
    return base + kLockFileName;
}

BaseDirectoryLock::BaseDirectoryLock(const std::string& base) : base_(base) {
    const std::string path = LockFilePath(base);
    File file = File::OpenLockFile(path);
    // Something at the lock file's place that cannot be locked (a folder, a
    // link, a FIFO, a file we may not open) is taken as held: another program
    // may be at work there, and two at once would damage the folder. Only a
    // folder where no lock file exists or can be made holds no lock at all.
    bool regular = false;
    int64_t size = 0;
    if (file.IsOpen() && (!file.Status(regular, size) || !regular)) {
        state_ = State::HeldElsewhere;
        return;
    }
    if (!file.IsOpen()) {
        if (PathExists(path))
            state_ = State::HeldElsewhere;
        return;
    }
    switch (file.TryLock()) {
    case File::Lock::Obtained:
        file_ = std::move(file);
        state_ = State::Obtained;
        return;
    case File::Lock::HeldElsewhere:
        state_ = State::HeldElsewhere;
        return;
    case File::Lock::Failed:
        state_ = State::Unavailable;
        return;
    }
}

BaseDirectoryLock::~BaseDirectoryLock() = default; // closing the file releases the lock

} // namespace tessarine
