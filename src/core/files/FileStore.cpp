#include "core/files/FileStore.h"

#include "core/files/FileDescriptor.h"
#include "core/files/FileHandle.h"

#include <tinyxml.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#else
#include "core/files/BaseDirectory.h"

#include <io.h>
#include <process.h>
#include <windows.h>
#define getpid _getpid
#endif

namespace tessarine {
namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif

// The folder part of `path` with its separator ("" for a bare name).
std::string FolderPrefix(const std::string& path) {
    const size_t separator = path.find_last_of(kSeparators);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string NamePart(const std::string& path) {
    const size_t separator = path.find_last_of(kSeparators);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The temporary files of `name`: name + ".tmp" + digits + "-" + digits.
bool IsTemporaryFileOf(const std::string& candidate, const std::string& name) {
    const std::string prefix = name + ".tmp";
    if (candidate.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::string rest = candidate.substr(prefix.size());
    const size_t dash = rest.find('-');
    auto digits = [](const std::string& s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
    };
    return dash != std::string::npos && digits(rest.substr(0, dash)) &&
           digits(rest.substr(dash + 1));
}

#ifndef _WIN32
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Makes a rename or a new name in the folder durable.
void SyncFolder(const std::string& path) {
    const std::string folder = FolderPrefix(path);
    const FileDescriptor fd(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.IsOpen())
        return;
    ::fsync(fd.Get());
}
#endif

enum class Kind { Missing, Regular, Link, Other };

// What is at `path`: with `followLinks` where its links lead (a link that
// leads nowhere or round in a circle is then Missing or Other).
Kind KindAt(const std::string& path, bool followLinks) {
#ifdef _WIN32
    std::error_code error;
    const std::filesystem::file_status status = followLinks
                                                    ? std::filesystem::status(path, error)
                                                    : std::filesystem::symlink_status(path, error);
    switch (status.type()) {
    case std::filesystem::file_type::not_found:
        return Kind::Missing;
    case std::filesystem::file_type::regular:
        return Kind::Regular;
    case std::filesystem::file_type::symlink:
        return Kind::Link;
    default:
        return error ? Kind::Missing : Kind::Other;
    }
#else
    struct stat st;
    if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Kind::Missing : Kind::Other;
    return S_ISREG(st.st_mode) ? Kind::Regular : S_ISLNK(st.st_mode) ? Kind::Link : Kind::Other;
#endif
}

} // namespace

std::string PrintXmlDocument(const TiXmlDocument& document) {
    TiXmlPrinter printer;
    printer.SetIndent("    ");
    printer.SetLineBreak("\r\n");
    document.Accept(&printer);
    return printer.Str();
}

std::string ResolveLinks(const std::string& path) {
#ifdef _WIN32
    return path;
#else
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
#endif
}

namespace {

// WriteFileAtomically; with `privateFile` the new file is the user's alone
// (0600), also when it replaces one that others could read.
bool ReplaceFile(const std::string& path, std::string_view bytes, bool followLinks,
                 bool privateFile) {
    static std::atomic<unsigned> counter{0};
    if (!followLinks && KindAt(path, false) == Kind::Link) {
        errno = ELOOP;
        return false;
    }
    const std::string target = followLinks ? ResolveLinks(path) : path;
    if (const Kind kind = KindAt(target, false); kind != Kind::Missing && kind != Kind::Regular) {
        // a folder, a FIFO, a device, or a link going round
        std::error_code error;
        errno = std::filesystem::is_directory(target, error) ? EISDIR : EINVAL;
        return false;
    }
    const std::string temp =
        target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1));
#ifdef _WIN32
    (void)privateFile; // the user's own profile folder decides who reads it
    FileHandle file(temp, "wbx");
    if (!file.IsOpen())
        return false;
    bool ok = file.Write(bytes) && file.Sync();
    ok = file.Close() && ok;
    ok = ok && MoveFileExW(WidePath(temp).c_str(), WidePath(target).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        _wremove(WidePath(temp).c_str());
    return ok;
#else
    struct stat old;
    const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    // A file that replaces another is private until it has the old one's
    // permission bits, so that a file kept at 0600 is never readable by others.
    FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                             replacing || privateFile ? 0600 : 0666));
    if (!fd.IsOpen())
        return false;
    bool ok = WriteAll(fd.Get(), bytes);
    if (ok && replacing) {
        // Owner and group first: a change of owner clears the set-id bits.
        // Only the owner's own group or root's changes succeed; the others
        // leave the file ours, which is all we can do.
        if (::fchown(fd.Get(), old.st_uid, old.st_gid) != 0) {
        }
        ok = ::fchmod(fd.Get(), privateFile ? 0600 : old.st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(fd.Get()) == 0;
    int reason = errno;
    ok = fd.Close() && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        reason = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        errno = reason; // the caller may tell the user why
        return false;
    }
    SyncFolder(target);
    return true;
#endif
}

} // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, bool followLinks) {
    return ReplaceFile(path, bytes, followLinks, false);
}

bool WritePrivateFileAtomically(const std::string& path, std::string_view bytes) {
    return ReplaceFile(path, bytes, false, true);
}

bool CreatePrivateFolder(const std::string& folder) {
#ifdef _WIN32
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
#else
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
#endif
}

int RemoveLeftoverTemporaryFiles(const std::string& path) {
    namespace fs = std::filesystem;
    int removed = 0;
    std::vector<std::string> places = {path};
    if (const std::string target = ResolveLinks(path); target != path)
        places.push_back(target);
    for (const std::string& place : places) {
        const std::string folder = FolderPrefix(place), name = NamePart(place);
        std::error_code error;
        for (fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), error),
             end;
             !error && it != end; it.increment(error)) {
            std::error_code statusError;
            if (IsTemporaryFileOf(it->path().filename().string(), name) &&
                it->symlink_status(statusError).type() == fs::file_type::regular &&
                fs::remove(it->path(), statusError))
                ++removed;
        }
    }
    return removed;
}

bool WriteNewFile(const std::string& path, std::string_view bytes, unsigned mode) {
#ifdef _WIN32
    (void)mode;
    FileHandle file(path, "wbx");
    if (!file.IsOpen())
        return false;
    bool ok = file.Write(bytes) && file.Sync();
    ok = file.Close() && ok;
    if (!ok)
        _wremove(WidePath(path).c_str());
    return ok;
#else
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.IsOpen())
        return false;
    bool ok = WriteAll(fd.Get(), bytes) && ::fchmod(fd.Get(), mode & 0777) == 0 &&
              ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    if (!ok) {
        ::unlink(path.c_str());
        return false;
    }
    SyncFolder(path);
    return true;
#endif
}

bool WriteUserFile(const std::string& path, std::string_view bytes) {
    const Kind kind = KindAt(path, true);
    if (kind == Kind::Missing || kind == Kind::Regular)
        return WriteFileAtomically(path, bytes);
#ifdef _WIN32
    FileHandle file(path, "r+b");
    bool ok = file.IsOpen() && file.Write(bytes);
    return file.Close() && ok;
#else
    // As "> path" in a shell: no new file, no truncation of what is no
    // regular file; a FIFO waits here for its reader.
    FileDescriptor fd;
    do
        fd = FileDescriptor(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    while (!fd.IsOpen() && errno == EINTR);
    if (!fd.IsOpen())
        return false;
    const bool ok = WriteAll(fd.Get(), bytes);
    return fd.Close() && ok;
#endif
}

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out,
                         bool followLinks) {
    out.clear();
    const Kind kind = KindAt(path, followLinks);
    if (kind == Kind::Missing)
        return FileRead::Missing;
    if (kind != Kind::Regular)
        return FileRead::NotRegular;
#ifdef _WIN32
    std::error_code error;
    if (std::filesystem::file_size(path, error) > maxBytes && !error)
        return FileRead::TooLarge;
    FileHandle file(path, "rb");
    if (!file.IsOpen())
        return FileRead::Failed;
    std::string bytes;
    if (!file.ReadAll(bytes))
        return FileRead::Failed;
    if (bytes.size() > maxBytes)
        return FileRead::TooLarge;
    out = std::move(bytes);
    return FileRead::Read;
#else
    // Something else may have taken the name since the look: opened without
    // waiting for a FIFO's writer, and looked at again once open.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                                                     (followLinks ? 0 : O_NOFOLLOW)));
    if (!fd.IsOpen())
        return errno == ENOENT ? FileRead::Missing
                               : errno == ELOOP ? FileRead::NotRegular : FileRead::Failed;
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0)
        return FileRead::Failed;
    if (!S_ISREG(st.st_mode))
        return FileRead::NotRegular;
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > maxBytes)
        return FileRead::TooLarge;
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return FileRead::Failed;
    // Read to the end, which a file still being written may move: never
    // beyond the bound. One byte more than the file holds, so that the read
    // that finds the end needs no larger buffer (and no copy of a large file).
    std::string bytes(static_cast<size_t>(st.st_size) + 1, '\0');
    size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (bytes.size() > maxBytes)
                return FileRead::TooLarge;
            bytes.resize(std::min(maxBytes + 1, std::max<size_t>(have * 2, have + 65536)));
        }
        const ssize_t n = ::read(fd.Get(), bytes.data() + have, bytes.size() - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FileRead::Failed;
        if (n == 0)
            break;
        have += static_cast<size_t>(n);
    }
    if (have > maxBytes)
        return FileRead::TooLarge;
    bytes.resize(have);
    out = std::move(bytes);
    return FileRead::Read;
#endif
}

FileRead ReadXmlFile(const std::string& path, std::size_t maxBytes, std::string& text,
                     bool followLinks) {
    std::string bytes;
    if (const FileRead read = ReadRegularFile(path, maxBytes, bytes, followLinks);
        read != FileRead::Read)
        return read;
    text.clear();
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
        if (bytes[i] == '\r') {
            text += '\n';
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            text += bytes[i];
        }
    }
    return FileRead::Read;
}

} // namespace tessarine
