#include "core/files/File.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <utility>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace tessarine {

const char kPathSeparator = '\\';

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

std::wstring WidePath(std::string_view path) {
    if (path.empty() || path.size() > static_cast<std::size_t>(INT_MAX))
        return {};
    const int bytes = static_cast<int>(path.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, path.data(), bytes, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), bytes, wide.data(), length);
    return wide;
}

namespace {

File::OpenFailure FailureOfErrno() {
    return errno == ENOENT ? File::OpenFailure::Missing : File::OpenFailure::Other;
}

} // namespace

File File::CreateNew(const std::string& path, unsigned permissions) {
    // The user's own profile folder decides who reads it.
    (void)permissions;
    const int fd =
        _wopen(WidePath(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
               _S_IREAD | _S_IWRITE);
    return fd >= 0 ? File(fd) : Failed(FailureOfErrno());
}

File File::OpenForReading(const std::string& path, bool followLinks) {
    if (!followLinks) {
        std::error_code error;
        if (std::filesystem::symlink_status(std::filesystem::path(WidePath(path)), error).type() ==
            std::filesystem::file_type::symlink)
            return Failed(OpenFailure::Link);
    }
    const int fd = _wopen(WidePath(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    return fd >= 0 ? File(fd) : Failed(FailureOfErrno());
}

File File::OpenRegularForAppending(const std::string& path) {
    File file(_wopen(WidePath(path).c_str(), _O_WRONLY | _O_APPEND | _O_BINARY | _O_NOINHERIT));
    if (!file.IsOpen())
        return Failed(FailureOfErrno());
    struct _stat64 info {};
    if (_fstat64(file.fd_, &info) != 0 || (info.st_mode & _S_IFREG) == 0)
        return Failed(OpenFailure::Other);
    return file;
}

File File::OpenExistingForWriting(const std::string& path) {
    const int fd = _wopen(WidePath(path).c_str(), _O_RDWR | _O_BINARY | _O_NOINHERIT);
    return fd >= 0 ? File(fd) : Failed(FailureOfErrno());
}

File File::OpenLockFile(const std::string& path) {
    const std::wstring wide = WidePath(path);
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        handle = CreateFileW(wide.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Failed(OpenFailure::Other);
    // The descriptor owns the handle from here: closing it closes the handle.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return Failed(OpenFailure::Other);
    }
    return File(fd);
}

bool File::WriteAll(std::string_view bytes) {
    if (fd_ < 0)
        return false;
    while (!bytes.empty()) {
        const unsigned chunk = static_cast<unsigned>(std::min<size_t>(bytes.size(), 1u << 30));
        const int n = _write(fd_, bytes.data(), chunk);
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

int64_t File::ReadSome(char* buffer, std::size_t size) {
    const unsigned chunk = static_cast<unsigned>(std::min<size_t>(size, 1u << 30));
    return _read(fd_, buffer, chunk);
}

bool File::MakeBlocking() {
    return fd_ >= 0; // reads on Windows never return early
}

bool File::Status(bool& regular, int64_t& size) const {
    struct _stat64 info {};
    if (_fstat64(fd_, &info) != 0)
        return false;
    regular = (info.st_mode & _S_IFREG) != 0;
    size = static_cast<int64_t>(info.st_size);
    return true;
}

bool File::Sync() {
    return fd_ >= 0 && _commit(fd_) == 0;
}

bool File::SetOwnershipAndPermissions(const FileOwnership&, unsigned) {
    return fd_ >= 0; // the user's own profile folder decides who reads it
}

bool File::SetPermissions(unsigned) {
    return fd_ >= 0;
}

File::Lock File::TryLock() {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
    OVERLAPPED overlapped{};
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &overlapped))
        return Lock::Obtained;
    return GetLastError() == ERROR_LOCK_VIOLATION ? Lock::HeldElsewhere : Lock::Failed;
}

bool File::Close() {
    if (fd_ < 0)
        return true;
    const bool ok = _close(fd_) == 0;
    fd_ = -1;
    return ok;
}

EntryKind KindAt(const std::string& path, bool followLinks) {
    std::error_code error;
    const std::filesystem::path file(WidePath(path));
    const std::filesystem::file_status status = followLinks
                                                    ? std::filesystem::status(file, error)
                                                    : std::filesystem::symlink_status(file, error);
    switch (status.type()) {
    case std::filesystem::file_type::not_found:
        return EntryKind::Missing;
    case std::filesystem::file_type::regular:
        return EntryKind::Regular;
    case std::filesystem::file_type::symlink:
        return EntryKind::Link;
    case std::filesystem::file_type::directory:
        return EntryKind::Folder;
    default:
        return error ? EntryKind::Missing : EntryKind::Other;
    }
}

bool PathExists(const std::string& path) {
    // The attributes of the entry itself: a link counts even when its target
    // is gone.
    return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<FileOwnership> OwnershipOf(const std::string&) {
    return std::nullopt;
}

bool RemoveEntry(const std::string& path) {
    // DeleteFile removes a link itself, not its target.
    return DeleteFileW(WidePath(path).c_str()) != 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to, bool& targetExists) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails where a file exists.
    targetExists = false;
    if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), 0))
        return true;
    const DWORD error = GetLastError();
    targetExists = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    return false;
}

void SyncFolderOf(const std::string&) {
    // MOVEFILE_WRITE_THROUGH has made the rename durable already.
}

std::vector<std::string> RegularFilesIn(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(WidePath(folder)),
                                   error),
         end;
         !error && it != end; it.increment(error)) {
        std::error_code statusError;
        if (it->symlink_status(statusError).type() == fs::file_type::regular) {
            const std::u8string name = it->path().filename().u8string();
            names.emplace_back(name.begin(), name.end());
        }
    }
    return names;
}

void CreateFolder(const std::string& path) {
    CreateDirectoryW(WidePath(path).c_str(), nullptr);
}

bool CreatePrivateFolder(const std::string& folder) {
    std::error_code error;
    const std::filesystem::path path(WidePath(folder));
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

std::string ResolveLinks(const std::string& path) {
    return path;
}

std::optional<FileStamp> FileStamp::Of(const std::string& path) {
    FileStamp stamp;
    std::error_code error;
    const std::filesystem::path file(WidePath(path));
    if (!std::filesystem::is_regular_file(file, error))
        return std::nullopt;
    stamp.size = static_cast<int64_t>(std::filesystem::file_size(file, error));
    if (error)
        return std::nullopt;
    const auto written = std::filesystem::last_write_time(file, error);
    if (error)
        return std::nullopt;
    stamp.modified = static_cast<int64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(written.time_since_epoch()).count());
    return stamp;
}

} // namespace tessarine
