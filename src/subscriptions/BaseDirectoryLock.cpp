#include "subscriptions/BaseDirectoryLock.h"

#include "subscriptions/BaseDirectory.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace tessarine {

std::string BaseDirectoryLock::LockFilePath(const std::string& base) {
    return base + kLockFileName;
}

#ifdef _WIN32

BaseDirectoryLock::BaseDirectoryLock(const std::string& base) : base_(base) {
    const std::wstring path = WidePath(LockFilePath(base));
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        handle = CreateFileW(path.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    OVERLAPPED overlapped{};
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &overlapped)) {
        handle_ = handle;
        state_ = State::Obtained;
        return;
    }
    state_ = GetLastError() == ERROR_LOCK_VIOLATION ? State::HeldElsewhere : State::Unavailable;
    CloseHandle(handle);
}

BaseDirectoryLock::~BaseDirectoryLock() {
    if (handle_ != nullptr)
        CloseHandle(static_cast<HANDLE>(handle_)); // releases the lock
}

#else

BaseDirectoryLock::BaseDirectoryLock(const std::string& base) : base_(base) {
    const std::string path = LockFilePath(base);
    // Not inherited by programs we start (the desktop's opener), which would
    // otherwise hold the lock on after we end. A lock file that another user
    // created may be only readable to us; flock works on it all the same.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return;
    int result;
    while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (result == 0) {
        fd_ = fd;
        state_ = State::Obtained;
        return;
    }
    state_ = errno == EWOULDBLOCK ? State::HeldElsewhere : State::Unavailable;
    ::close(fd);
}

BaseDirectoryLock::~BaseDirectoryLock() {
    if (fd_ >= 0)
        ::close(fd_); // releases the lock
}

#endif

} // namespace tessarine
