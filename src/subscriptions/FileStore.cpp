#include "subscriptions/FileStore.h"

#include "subscriptions/FileDescriptor.h"
#include "subscriptions/FileHandle.h"

#include <tinyxml.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#else
#include "subscriptions/BaseDirectory.h"

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

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    const std::string target = ResolveLinks(path);
    const std::string temp =
        target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1));
#ifdef _WIN32
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
    FileDescriptor fd(
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666));
    if (!fd.IsOpen())
        return false;
    bool ok = WriteAll(fd.Get(), bytes);
    if (ok && replacing) {
        // Owner and group first: a change of owner clears the set-id bits.
        // Only the owner's own group or root's changes succeed; the others
        // leave the file ours, which is all we can do.
        if (::fchown(fd.Get(), old.st_uid, old.st_gid) != 0) {
        }
        ok = ::fchmod(fd.Get(), old.st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncFolder(target);
    return true;
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

bool ReadWholeFile(const std::string& path, std::string& out) {
    FileHandle file(path, "rb");
    return file.IsOpen() && file.ReadAll(out);
}

} // namespace tessarine
