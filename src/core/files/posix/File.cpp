#include "core/files/File.h"

#include <cerrno>
#include <cstdio>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarine {

const char kPathSeparator = '/';

bool IsPathSeparator(char c) {
    return c == '/';
}

namespace {

// The folder part of `path` with its separator ("" for a bare name).
std::string FolderPrefix(const std::string& path) {
    const size_t separator = path.rfind('/');
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
    int fd;
    do
        fd = ::open(path.c_str(), flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

File File::CreateNew(const std::string& path, unsigned permissions) {
    // O_EXCL and O_NOFOLLOW refuse anything that is at the path, a link too.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          static_cast<mode_t>(permissions));
    return fd >= 0 ? File(fd) : Failed(errno == ENOENT ? OpenFailure::Missing : OpenFailure::Other);
}

File File::OpenForReading(const std::string& path, bool followLinks) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                                            (followLinks ? 0 : O_NOFOLLOW));
    if (fd >= 0)
        return File(fd);
    return Failed(errno == ENOENT  ? OpenFailure::Missing
                  : errno == ELOOP ? OpenFailure::Link
                                   : OpenFailure::Other);
}

File File::OpenRegularForAppending(const std::string& path) {
    File file(::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!file.IsOpen())
        return Failed(errno == ENOENT ? OpenFailure::Missing : OpenFailure::Other);
    struct stat info {};
    if (::fstat(file.fd_, &info) != 0 || !S_ISREG(info.st_mode))
        return Failed(OpenFailure::Other);
    return file;
}

File File::OpenExistingForWriting(const std::string& path) {
    // No new file, no truncation of what is no regular file.
    const int fd = OpenRetrying(path, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    return fd >= 0 ? File(fd) : Failed(errno == ENOENT ? OpenFailure::Missing : OpenFailure::Other);
}

File File::OpenLockFile(const std::string& path) {
    // Not inherited by programs we start (the desktop's opener), which would
    // otherwise hold the lock on after we end. A lock file that another user
    // created may be only readable to us; flock works on it all the same.
    // O_NONBLOCK: a FIFO in its place does not wait for a writer.
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.c_str(), O_RDONLY | kFlags);
    return fd >= 0 ? File(fd) : Failed(OpenFailure::Other);
}

bool File::WriteAll(std::string_view bytes) {
    if (fd_ < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

int64_t File::ReadSome(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n < 0 && errno == EINTR)
            continue;
        return static_cast<int64_t>(n);
    }
}

bool File::MakeBlocking() {
    const int flags = ::fcntl(fd_, F_GETFL);
    return flags >= 0 && ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

bool File::Status(bool& regular, int64_t& size) const {
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        return false;
    regular = S_ISREG(info.st_mode);
    size = static_cast<int64_t>(info.st_size);
    return true;
}

bool File::Sync() {
    return fd_ >= 0 && ::fsync(fd_) == 0;
}

bool File::SetOwnershipAndPermissions(const FileOwnership& ownership, unsigned permissions) {
    // Owner and group first: a change of owner clears the set-id bits. Only
    // the owner's own group or root's changes succeed; the others leave the
    // file ours, which is all we can do.
    if (::fchown(fd_, ownership.user, ownership.group) != 0) {
    }
    return SetPermissions(permissions);
}

bool File::SetPermissions(unsigned permissions) {
    return ::fchmod(fd_, static_cast<mode_t>(permissions)) == 0;
}

File::Lock File::TryLock() {
    int result;
    while ((result = ::flock(fd_, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (result == 0)
        return Lock::Obtained;
    return errno == EWOULDBLOCK ? Lock::HeldElsewhere : Lock::Failed;
}

bool File::Close() {
    if (fd_ < 0)
        return true;
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}

EntryKind KindAt(const std::string& path, bool followLinks) {
    struct stat st;
    if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
        return errno == ENOENT || errno == ENOTDIR ? EntryKind::Missing : EntryKind::Other;
    return S_ISREG(st.st_mode)   ? EntryKind::Regular
           : S_ISLNK(st.st_mode) ? EntryKind::Link
           : S_ISDIR(st.st_mode) ? EntryKind::Folder
                                 : EntryKind::Other;
}

bool PathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::optional<FileOwnership> OwnershipOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileOwnership{static_cast<uint32_t>(st.st_uid), static_cast<uint32_t>(st.st_gid),
                         static_cast<unsigned>(st.st_mode & 07777)};
}

bool RemoveEntry(const std::string& path) {
    return ::unlink(path.c_str()) == 0; // a link itself, never what it points to
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to, bool& targetExists) {
    // A hard link takes the name only where nothing is; the old name is then
    // dropped. File systems without hard links fall back to a rename after a
    // last look at the target.
    targetExists = false;
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) {
        targetExists = true;
        return false;
    }
    if (!PathExists(to) && std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    targetExists = PathExists(to);
    return false;
}

void SyncFolderOf(const std::string& path) {
    const std::string folder = FolderPrefix(path);
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

std::vector<std::string> RegularFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return names;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (KindAt(prefix + name, false) == EntryKind::Regular)
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

void CreateFolder(const std::string& path) {
    ::mkdir(path.c_str(), 0777);
}

bool CreatePrivateFolder(const std::string& folder) {
    if (folder.empty())
        return false;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            return false;
        if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid())
            ::chmod(folder.c_str(), st.st_mode & 07700);
        return true;
    }
    const std::string parent = FolderPrefix(
        folder.find_last_not_of('/') == std::string::npos
            ? folder
            : folder.substr(0, folder.find_last_not_of('/') + 1));
    if (!parent.empty() && parent != folder && !CreatePrivateFolder(parent))
        return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) { // as many as the system itself follows
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::vector<char> buffer(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        ssize_t n;
        while ((n = ::readlink(current.c_str(), buffer.data(), buffer.size())) >= 0 &&
               static_cast<size_t>(n) == buffer.size())
            buffer.resize(buffer.size() * 2); // the link changed meanwhile and grew
        if (n <= 0)
            return current;
        std::string target(buffer.data(), static_cast<size_t>(n));
        // A relative target is relative to the folder holding the link.
        current = target[0] == '/' ? target : FolderPrefix(current) + target;
    }
    return path;
}

std::optional<FileStamp> FileStamp::Of(const std::string& path) {
    FileStamp stamp;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    stamp.device = static_cast<uint64_t>(info.st_dev);
    stamp.inode = static_cast<uint64_t>(info.st_ino);
    stamp.size = static_cast<int64_t>(info.st_size);
    stamp.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changed = static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return stamp;
}

} // namespace tessarine
