#include "cli/BaseDirectoryLock.h"

#include <cerrno>
#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace tessarine {

#ifdef _WIN32
// On Windows the lock file is opened without sharing: a second opener gets a
// sharing violation for as long as the first keeps it open.
std::unique_ptr<BaseDirectoryLock> BaseDirectoryLock::TryAcquire(const std::string& base,
                                                                 Outcome& outcome) {
    const std::string path = base + kLockFileName;
    int fd = -1;
    const errno_t error = _sopen_s(&fd, path.c_str(), _O_RDWR | _O_CREAT | _O_NOINHERIT, _SH_DENYRW,
                                   _S_IREAD | _S_IWRITE);
    if (error != 0) {
        outcome = error == EACCES ? Outcome::Held : Outcome::Unavailable;
        return nullptr;
    }
    outcome = Outcome::Acquired;
    return std::unique_ptr<BaseDirectoryLock>(new BaseDirectoryLock(fd));
}

BaseDirectoryLock::~BaseDirectoryLock() {
    _close(descriptor_);
}
#else

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
#endif

} // namespace tessarine
