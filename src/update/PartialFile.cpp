#include "update/PartialFile.h"

#include "subscriptions/BaseDirectory.h"
#include "update/EnclosureNames.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tessarine {

std::string PartialFile::PathFor(const std::string& targetPath) {
    const size_t separator = targetPath.find_last_of(kPathSeparator);
    const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::string_view name = std::string_view(targetPath).substr(nameStart);
    std::string partial = targetPath.substr(0, nameStart) + ".";
    if (1 + name.size() + kSuffix.size() <= kMaxEntryNameBytes) {
        partial.append(name);
    } else {
        const std::string tag = "-" + EnclosureNames::Tag(name, 8);
        const size_t room = kMaxEntryNameBytes - 1 - kSuffix.size() - tag.size();
        // Shortened by the usual rule; the tag made from the whole name
        // keeps apart targets whose names begin alike.
        partial.append(ShortenedName(name, room)).append(tag);
    }
    return partial.append(kSuffix);
}

PartialFile::PartialFile(std::string targetPath)
    : target_(std::move(targetPath)), path_(PathFor(target_)) {}

PartialFile::~PartialFile() {
    if (!finished_)
        Discard();
}

bool PartialFile::Create() {
    Close();
    finished_ = false;
#ifdef _WIN32
    // DeleteFile removes a link itself, not its target.
    DeleteFileA(path_.c_str());
    fd_ = _open(path_.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
#else
    // unlink never follows a link; O_EXCL and O_NOFOLLOW refuse anything that
    // appears at the path in between.
    ::unlink(path_.c_str());
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
#endif
    return fd_ >= 0;
}

bool PartialFile::Write(std::string_view bytes) {
    if (fd_ < 0)
        return false;
    while (!bytes.empty()) {
#ifdef _WIN32
        const int chunk = static_cast<int>(std::min<size_t>(bytes.size(), 1u << 30));
        const int n = _write(fd_, bytes.data(), static_cast<unsigned>(chunk));
#else
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
#endif
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool PartialFile::Close() {
    if (fd_ < 0)
        return true;
#ifdef _WIN32
    const bool ok = _close(fd_) == 0;
#else
    const bool ok = ::close(fd_) == 0;
#endif
    fd_ = -1;
    return ok;
}

PartialFile::Commit PartialFile::CommitToTarget() {
    const bool written = fd_ >= 0 && Close();
    if (!written) {
        Discard();
        return Commit::Failed;
    }
#ifdef _WIN32
    // Without MOVEFILE_REPLACE_EXISTING the move fails where a file exists.
    if (MoveFileExA(path_.c_str(), target_.c_str(), 0)) {
        finished_ = true;
        return Commit::Done;
    }
    const bool exists =
        GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS;
#else
    // A hard link takes the name only where nothing is; the partial name is
    // then dropped. File systems without hard links fall back to a rename
    // after a last look at the target.
    bool exists = false;
    if (::link(path_.c_str(), target_.c_str()) == 0) {
        ::unlink(path_.c_str());
        finished_ = true;
        return Commit::Done;
    }
    if (errno == EEXIST) {
        exists = true;
    } else if (!PathExists(target_) && std::rename(path_.c_str(), target_.c_str()) == 0) {
        finished_ = true;
        return Commit::Done;
    } else {
        exists = PathExists(target_);
    }
#endif
    Discard();
    return exists ? Commit::TargetExists : Commit::Failed;
}

void PartialFile::Discard() {
    Close();
    finished_ = true;
#ifdef _WIN32
    DeleteFileA(path_.c_str());
#else
    ::unlink(path_.c_str());
#endif
}

} // namespace tessarine
