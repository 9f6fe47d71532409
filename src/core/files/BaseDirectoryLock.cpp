#include "core/files/BaseDirectoryLock.h"

#include "core/files/BaseDirectory.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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
    if (handle == INVALID_HANDLE_VALUE) {
        // Something that is no lock file stands there (a folder): held, as
        // below.
        if (GetFileAttributesA(LockFilePath(base).c_str()) != INVALID_FILE_ATTRIBUTES)
            state_ = State::HeldElsewhere;
        return;
    }
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
    // O_NONBLOCK: a FIFO in its place does not wait for a writer.
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.c_str(), O_RDONLY | kFlags);
    // Something at the lock file's place that cannot be locked (a folder, a
    // link, a FIFO, a file we may not open) is taken as held: another program
    // may be at work there, and two at once would damage the folder. Only a
    // folder where no lock file exists or can be made holds no lock at all.
    struct stat st;
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        state_ = State::HeldElsewhere;
        return;
    }
    if (fd < 0) {
        if (::lstat(path.c_str(), &st) == 0)
            state_ = State::HeldElsewhere;
        return;
    }
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
