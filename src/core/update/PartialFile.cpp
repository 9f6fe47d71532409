#include "core/update/PartialFile.h"

#include "core/feeds/EnclosureNames.h"
#include "core/files/BaseDirectory.h"
#include "core/files/FileStore.h"
#include "core/util/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tessarine {

namespace {

constexpr std::string_view kResumeMagic = "tessarine-resume 1";

// A name beside the target: "." + its name + `suffix`, shortened to fit.
std::string BesideTarget(const std::string& targetPath, std::string_view suffix) {
    const size_t separator = targetPath.find_last_of(kPathSeparator);
    const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::string_view name = std::string_view(targetPath).substr(nameStart);
    std::string partial = targetPath.substr(0, nameStart) + ".";
    if (1 + name.size() + suffix.size() <= kMaxEntryNameBytes) {
        partial.append(name);
    } else {
        std::string tag(1, '-');
        tag += EnclosureNames::Tag(name, 8);
        const size_t room = kMaxEntryNameBytes - 1 - suffix.size() - tag.size();
        // Shortened by the usual rule; the tag made from the whole name
        // keeps apart targets whose names begin alike.
        partial.append(ShortenedName(name, room)).append(tag);
    }
    return partial.append(suffix);
}

// Opens `path` for reading or appending only where it is a regular file
// reached without a link; -1 otherwise.
int OpenRegular(const std::string& path, int flags) {
#ifdef _WIN32
    const int fd = _wopen(WidePath(path).c_str(), flags | _O_BINARY | _O_NOINHERIT);
    struct _stat64 info {};
    if (fd >= 0 && (_fstat64(fd, &info) != 0 || (info.st_mode & _S_IFREG) == 0)) {
        _close(fd);
        return -1;
    }
#else
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return -1;
    }
#endif
    return fd;
}

void RemoveEntry(const std::string& path) {
#ifdef _WIN32
    DeleteFileW(WidePath(path).c_str());
#else
    ::unlink(path.c_str()); // a link itself, never what it points to
#endif
}

int64_t SizeOf(int fd) {
#ifdef _WIN32
    return _lseeki64(fd, 0, SEEK_END);
#else
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
#endif
}

} // namespace

std::string PartialFile::PathFor(const std::string& targetPath) {
    return BesideTarget(targetPath, EnclosureNames::kPartialSuffix);
}

std::string PartialFile::ResumePathFor(const std::string& targetPath) {
    return BesideTarget(targetPath, EnclosureNames::kResumeSuffix);
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
    DeleteFileW(WidePath(path_).c_str());
    fd_ = _wopen(WidePath(path_).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
#else
    // unlink never follows a link; O_EXCL and O_NOFOLLOW refuse anything that
    // appears at the path in between.
    ::unlink(path_.c_str());
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
#endif
    return fd_ >= 0;
}

int64_t PartialFile::OpenExisting() {
    Close();
#ifdef _WIN32
    const int fd = OpenRegular(path_, _O_WRONLY | _O_APPEND);
#else
    const int fd = OpenRegular(path_, O_WRONLY | O_APPEND);
#endif
    const int64_t size = fd >= 0 ? SizeOf(fd) : -1;
    if (size < 0) {
        if (fd >= 0) {
#ifdef _WIN32
            _close(fd);
#else
            ::close(fd);
#endif
        }
        return -1;
    }
    fd_ = fd;
    finished_ = false;
    return size;
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
    ForgetResumeInfo(); // a whole file needs none, whatever comes of it
    const bool written = fd_ >= 0 && Close();
    if (!written) {
        Discard();
        return Commit::Failed;
    }
#ifdef _WIN32
    // Without MOVEFILE_REPLACE_EXISTING the move fails where a file exists.
    if (MoveFileExW(WidePath(path_).c_str(), WidePath(target_).c_str(), 0)) {
        finished_ = true;
        return Commit::Done;
    }
    const DWORD error = GetLastError();
    const bool exists = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
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
    RemoveEntry(path_);
    ForgetResumeInfo();
}

void PartialFile::Keep() {
    Close();
    finished_ = true;
}

std::optional<ResumeInfo> PartialFile::LoadResumeInfo() const {
    // Six short lines: a larger file is none of ours.
    std::string bytes;
    if (ReadRegularFile(ResumePathFor(target_), 65536, bytes, false) != FileRead::Read)
        return std::nullopt;
    // Magic, URL, tag, date, length, each on a line, and an end line: a file
    // cut short by a kill has no end line and is no information.
    std::vector<std::string> lines;
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            return std::nullopt;
        lines.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    if (lines.size() != 6 || lines[0] != kResumeMagic || lines[5] != "end" || lines[4].empty() ||
        lines[4].size() > 18 || lines[4].find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    ResumeInfo info{lines[1], {lines[2], lines[3]}, std::stoll(lines[4])};
    return info;
}

bool PartialFile::StoreResumeInfo(const ResumeInfo& info) const {
    const auto oneLine = [](const std::string& text) {
        return text.find_first_of("\r\n") == std::string::npos;
    };
    const std::string path = ResumePathFor(target_);
    RemoveEntry(path);
    if (info.total < 0 || !oneLine(info.url) || !oneLine(info.validators.etag) ||
        !oneLine(info.validators.lastModified))
        return false;
    const std::string bytes = std::string(kResumeMagic) + "\n" + info.url + "\n" +
                              info.validators.etag + "\n" + info.validators.lastModified + "\n" +
                              std::to_string(info.total) + "\nend\n";
    // Created exclusively: never written through a link put in its place.
    return WriteNewFile(path, bytes, 0644);
}

void PartialFile::ForgetResumeInfo() const {
    RemoveEntry(ResumePathFor(target_));
}

} // namespace tessarine
