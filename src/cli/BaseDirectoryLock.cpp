#include "cli/BaseDirectoryLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tessarine {

std::unique_ptr<BaseDirectoryLock> BaseDirectoryLock::TryAcquire(const std::string& base,
                                                                 Outcome& outcome) {
    const std::string path = base + kLockFileName;
    // Not following a link: the lock file is the program's own.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        outcome = Outcome::Unavailable;
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        outcome = errno == EWOULDBLOCK ? Outcome::Held : Outcome::Unavailable;
        ::close(fd);
        return nullptr;
    }
    outcome = Outcome::Acquired;
    return std::unique_ptr<BaseDirectoryLock>(new BaseDirectoryLock(fd));
}

BaseDirectoryLock::~BaseDirectoryLock() {
    ::close(descriptor_);
}

} // namespace tessarine
