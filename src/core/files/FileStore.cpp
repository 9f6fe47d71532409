#include "core/files/FileStore.h"

#include "core/files/File.h"
#include "core/util/System.h"

#include <tinyxml.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessarine {
namespace {

// The folder part of `path` with its separator ("" for a bare name).
std::string FolderPrefix(const std::string& path) {
    for (size_t i = path.size(); i-- > 0;)
        if (IsPathSeparator(path[i]))
            return path.substr(0, i + 1);
    return {};
}

std::string NamePart(const std::string& path) {
    return path.substr(FolderPrefix(path).size());
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

} // namespace

std::string PrintXmlDocument(const TiXmlDocument& document) {
    TiXmlPrinter printer;
    printer.SetIndent("    ");
    printer.SetLineBreak("\r\n");
    document.Accept(&printer);
    return printer.Str();
}

namespace {

// WriteFileAtomically; with `privateFile` the new file is the user's alone
// (0600), also when it replaces one that others could read.
bool ReplaceFile(const std::string& path, std::string_view bytes, bool followLinks,
                 bool privateFile) {
    static std::atomic<unsigned> counter{0};
    if (!followLinks && KindAt(path, false) == EntryKind::Link) {
        errno = ELOOP;
        return false;
    }
    const std::string target = followLinks ? ResolveLinks(path) : path;
    if (const EntryKind kind = KindAt(target, false);
        kind != EntryKind::Missing && kind != EntryKind::Regular) {
        // a folder, a FIFO, a device, or a link going round
        errno = KindAt(target, true) == EntryKind::Folder ? EISDIR : EINVAL;
        return false;
    }
    const std::string temp = target + ".tmp" + std::to_string(ProcessId()) + "-" +
                             std::to_string(counter.fetch_add(1));
    const std::optional<FileOwnership> old = OwnershipOf(target);
    // A file that replaces another is private until it has the old one's
    // permission bits, so that a file kept at 0600 is never readable by others.
    File file = File::CreateNew(temp, old || privateFile ? 0600 : 0666);
    if (!file.IsOpen())
        return false;
    bool ok = file.WriteAll(bytes);
    if (ok && old)
        ok = file.SetOwnershipAndPermissions(*old, privateFile ? 0600 : old->permissions);
    ok = ok && file.Sync();
    int reason = errno;
    ok = file.Close() && ok;
    if (ok && !RenameReplacing(temp, target)) {
        reason = errno;
        ok = false;
    }
    if (!ok) {
        RemoveEntry(temp);
        errno = reason; // the caller may tell the user why
        return false;
    }
    SyncFolderOf(target);
    return true;
}

} // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, bool followLinks) {
    return ReplaceFile(path, bytes, followLinks, false);
}

bool WritePrivateFileAtomically(const std::string& path, std::string_view bytes) {
    return ReplaceFile(path, bytes, false, true);
}

int RemoveLeftoverTemporaryFiles(const std::string& path) {
    int removed = 0;
    std::vector<std::string> places = {path};
    if (const std::string target = ResolveLinks(path); target != path)
        places.push_back(target);
    for (const std::string& place : places) {
        const std::string folder = FolderPrefix(place), name = NamePart(place);
        for (const std::string& entry : RegularFilesIn(folder))
            if (IsTemporaryFileOf(entry, name) && RemoveEntry(folder + entry))
                ++removed;
    }
    return removed;
}

bool WriteNewFile(const std::string& path, std::string_view bytes, unsigned mode) {
    File file = File::CreateNew(path, 0600);
    if (!file.IsOpen())
        return false;
    bool ok = file.WriteAll(bytes) && file.SetPermissions(mode & 0777) && file.Sync();
    ok = file.Close() && ok;
    if (!ok) {
        RemoveEntry(path);
        return false;
    }
    SyncFolderOf(path);
    return true;
}

bool WriteUserFile(const std::string& path, std::string_view bytes) {
    const EntryKind kind = KindAt(path, true);
    if (kind == EntryKind::Missing || kind == EntryKind::Regular)
        return WriteFileAtomically(path, bytes);
    // As "> path" in a shell: no new file, no truncation of what is no
    // regular file; a FIFO waits here for its reader.
    File file = File::OpenExistingForWriting(path);
    const bool ok = file.IsOpen() && file.WriteAll(bytes);
    return file.Close() && ok;
}

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out,
                         bool followLinks) {
    out.clear();
    const EntryKind kind = KindAt(path, followLinks);
    if (kind == EntryKind::Missing)
        return FileRead::Missing;
    if (kind != EntryKind::Regular)
        return FileRead::NotRegular;
    // Something else may have taken the name since the look: opened without
    // waiting for a FIFO's writer, and looked at again once open.
    File file = File::OpenForReading(path, followLinks);
    if (!file.IsOpen())
        return file.WhyNotOpen() == File::OpenFailure::Missing ? FileRead::Missing
               : file.WhyNotOpen() == File::OpenFailure::Link  ? FileRead::NotRegular
                                                               : FileRead::Failed;
    bool regular = false;
    int64_t size = 0;
    if (!file.Status(regular, size))
        return FileRead::Failed;
    if (!regular)
        return FileRead::NotRegular;
    if (size < 0 || static_cast<uint64_t>(size) > maxBytes)
        return FileRead::TooLarge;
    if (!file.MakeBlocking())
        return FileRead::Failed;
    // Read to the end, which a file still being written may move: never
    // beyond the bound. One byte more than the file holds, so that the read
    // that finds the end needs no larger buffer (and no copy of a large file).
    std::string bytes(static_cast<size_t>(size) + 1, '\0');
    size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (bytes.size() > maxBytes)
                return FileRead::TooLarge;
            bytes.resize(std::min(maxBytes + 1, std::max<size_t>(have * 2, have + 65536)));
        }
        const int64_t n = file.ReadSome(bytes.data() + have, bytes.size() - have);
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
