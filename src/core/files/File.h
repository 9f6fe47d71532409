#pragma once
// The one door to the system's files: an open file that is closed when the
// object goes, and the few things done to paths (look, remove, rename, list,
// make folders). Everything else in the program opens, reads, writes, syncs,
// sizes, locks, removes and lists files through here; the system's own calls
// live in files/posix and files/win, one of which the build compiles.
//
// Paths are UTF-8 throughout. Failures leave errno as the system set it,
// where the system has one to set.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

// The separator of path parts on this system ('/', or '\\' on Windows).
extern const char kPathSeparator;
// Whether `c` separates path parts here (on Windows also '/').
bool IsPathSeparator(char c);

// The owner, group and permission bits of a file, to give its replacement
// the same (owners where the system lets us; none on Windows).
struct FileOwnership {
    uint32_t user = 0;
    uint32_t group = 0;
    unsigned permissions = 0;
};

class File {
public:
    // Why an Open* call gave no open file.
    enum class OpenFailure {
        None,
        Missing, // nothing at the path
        Link,    // a symbolic link where none is followed
        Other,
    };

    File() = default;
    ~File() { Close(); }
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Creates `path`, which must not exist (nor a link at it), for writing,
    // with the permission bits `permissions` (where the system has them),
    // not inherited by programs we start.
    static File CreateNew(const std::string& path, unsigned permissions);
    // Opens `path` for reading without waiting (a FIFO does not wait for a
    // writer; call MakeBlocking before reading); with `followLinks` false a
    // symbolic link at `path` is refused (OpenFailure::Link).
    static File OpenForReading(const std::string& path, bool followLinks);
    // Opens an existing regular file reached without a link for appending;
    // anything else is not opened.
    static File OpenRegularForAppending(const std::string& path);
    // Opens whatever exists at `path` for writing as a shell's "> path"
    // does, without creating or truncating it: a FIFO waits for its reader.
    static File OpenExistingForWriting(const std::string& path);
    // Opens (or creates, 0644) a lock file: never through a link, without
    // waiting for a FIFO, not inherited; read-only where it may not be
    // written.
    static File OpenLockFile(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    OpenFailure WhyNotOpen() const { return failure_; }

    // Writes all of `bytes`; false when not all of it could be written.
    bool WriteAll(std::string_view bytes);
    // Reads up to `size` bytes; how many (0 at the end), -1 on an error.
    int64_t ReadSome(char* buffer, std::size_t size);
    // Makes reads wait for data again after OpenForReading.
    bool MakeBlocking();
    // Whether the open file is a regular one, and its size; false when the
    // system cannot say.
    bool Status(bool& regular, int64_t& size) const;
    // Asks the system to put the file's data on the disk.
    bool Sync();
    // Gives the file `ownership`'s owner and group where the system lets us,
    // and the permission bits `permissions`.
    bool SetOwnershipAndPermissions(const FileOwnership& ownership, unsigned permissions);
    bool SetPermissions(unsigned permissions);

    // How TryLock went.
    enum class Lock { Obtained, HeldElsewhere, Failed };
    // An exclusive advisory lock on the whole file, without waiting; the
    // system releases it when the file is closed or the process ends.
    Lock TryLock();

    // Closes the file; false when the close reported an error (a write that
    // did not reach the disk). Closing a file that is not open succeeds.
    bool Close();

private:
    explicit File(int fd) : fd_(fd) {}
    static File Failed(OpenFailure why);

    int fd_ = -1;
    OpenFailure failure_ = OpenFailure::None;
};

// What is at a path.
enum class EntryKind { Missing, Regular, Link, Folder, Other };
// What is at `path`: with `followLinks` where its links lead (a link that
// leads nowhere is then Missing, one that goes round in a circle Other).
EntryKind KindAt(const std::string& path, bool followLinks);
// Anything at `path` (file, folder, link) counts as existing.
bool PathExists(const std::string& path);
// The owner, group and permission bits of the regular file at `path`, links
// followed; none when there is no regular file there (always none where the
// system keeps no such bits).
std::optional<FileOwnership> OwnershipOf(const std::string& path);

// Removes the entry at `path`: a link itself, never what it leads to; never
// a folder. False when nothing was removed.
bool RemoveEntry(const std::string& path);
// Renames `from` to `to`, replacing a file at `to`, durably where the system
// offers that in the same call.
bool RenameReplacing(const std::string& from, const std::string& to);
// Gives the file at `from` the name `to` only where nothing is at `to`; the
// name `from` is gone afterwards when that worked. `targetExists` tells
// whether a failure came from something at `to`.
bool RenameNoReplace(const std::string& from, const std::string& to, bool& targetExists);
// Makes a rename or a new name in the folder of `path` durable (nothing to
// do where the system does that itself).
void SyncFolderOf(const std::string& path);

// The names of the regular files (links not followed) in `folder` ("" for
// the current folder).
std::vector<std::string> RegularFilesIn(const std::string& folder);

// Creates one level of folder; the outcome is not reported.
void CreateFolder(const std::string& path);
// Creates `folder` with the folders above it that are missing, each readable
// by the user alone (0700); an existing `folder` of the user's is made so.
// False when it is no folder afterwards.
bool CreatePrivateFolder(const std::string& folder);

// The file that `path` names once every symbolic link on the way to it is
// followed (also when the last link dangles); `path` itself when it is no
// link, or when the links go round in a circle.
std::string ResolveLinks(const std::string& path);

// Paths are UTF-8 throughout; Windows' file functions take them as wide text
// (the narrow ones would read them in the local code page). Bytes that are no
// UTF-8 become U+FFFD. Defined on Windows only.
std::wstring WidePath(std::string_view path);

// What tells one state of a file from another without reading it: any
// write, replacement or change of its size gives another stamp.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modified = 0; // nanoseconds
    int64_t changed = 0;  // status change, nanoseconds (0 where unknown)
    bool operator==(const FileStamp&) const = default;

    // The stamp of the file at `path`; none when it cannot be read.
    static std::optional<FileStamp> Of(const std::string& path);
};

} // namespace tessarine
