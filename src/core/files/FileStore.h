#pragma once
// Writing the program's files: XML laid out by TinyXML's printer with four
// blanks of indentation and CR LF line ends on every platform, and files
// replaced atomically and durably, so that a file is always either the old or
// the new one, whole, even after a power cut.

#include "core/files/File.h"

#include <cstddef>
#include <string>
#include <string_view>

class TiXmlDocument;

namespace tessarine {

std::string PrintXmlDocument(const TiXmlDocument& document);

// Writes `bytes` to a temporary file and renames it over the file. The file
// keeps its identity: when `path` is a symbolic link (or a chain of them) the
// file the links lead to is replaced and the links stay; the new file gets
// the old one's permission bits (and owner and group where the system lets
// us). The temporary file lies beside the replaced file and is named
// "<name>.tmp<pid>-<n>"; it is flushed to the disk before the rename, and
// the folder after it. On failure the temporary file is removed, the file is
// left as it was and false is returned, with errno saying why. Something
// other than a regular file where the links end (a folder, a FIFO, a device)
// is never replaced: false. With `followLinks` false a symbolic link at
// `path` is not followed either but refused (false, the link and what it
// leads to untouched): for the files the program keeps in folders that others
// may put links into.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         bool followLinks = true);
// The same for a file that only the user may read: it is written with the
// permission bits 0600, also when the file it replaces had others, and never
// through a link.
bool WritePrivateFileAtomically(const std::string& path, std::string_view bytes);

// Writes a file the user named (an export): a regular or missing file is
// replaced atomically as WriteFileAtomically does; an existing file of
// another kind (a FIFO, a device) is written into as it is, as a shell's
// redirection does, and never replaced or removed. False when not all of
// `bytes` could be written (a full device, a FIFO whose reader went) or the
// file cannot be opened for writing (a folder).
bool WriteUserFile(const std::string& path, std::string_view bytes);

// Removes the temporary files that WriteFileAtomically leaves behind when the
// program is killed in the middle of a write of `path`: only names of its
// own pattern, beside `path` and beside the file its links lead to. Returns
// how many it removed. Call it only while no other program can be writing
// the file (with the base directory's lock held).
int RemoveLeftoverTemporaryFiles(const std::string& path);

// Creates `path`, which must not exist yet, holding `bytes`, with the
// permission bits `mode` (and flushed to the disk). False when it exists or
// cannot be written; a partly written file is removed.
bool WriteNewFile(const std::string& path, std::string_view bytes, unsigned mode);

// How reading one of the program's files ended.
enum class FileRead {
    Read,       // `out` holds the whole file
    Missing,    // nothing there (also a link that leads nowhere)
    NotRegular, // a folder, a FIFO, a device, or a link where none is followed
    TooLarge,   // more than the bound: not read
    Failed,     // could not be opened or read
};

// Reads the regular file at `path` whole, when it holds at most `maxBytes`
// bytes. Nothing else is read: a FIFO or a device in its place is opened
// without waiting for a writer and left unread, and with `followLinks` false
// a symbolic link at `path` is not followed. Every file the program reads
// back goes through here, each kind with its own bound, so that no special
// or enormous file put in its place can stop or swamp the program.
FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out,
                         bool followLinks = true);

// The file's text as TinyXML's LoadFile hands it to the parser: up to the
// first zero byte, with CR LF and lone CR turned into LF. Read as
// ReadRegularFile reads (only a regular file of at most `maxBytes` bytes);
// `text` is set only when that returns FileRead::Read.
FileRead ReadXmlFile(const std::string& path, std::size_t maxBytes, std::string& text,
                     bool followLinks = true);
// The bounds of the program's own files: far above what any real one holds.
constexpr std::size_t kMaxSettingsFileBytes = std::size_t{256} << 20;
constexpr std::size_t kMaxArchiveFileBytes = std::size_t{128} << 20;
constexpr std::size_t kMaxOpmlFileBytes = std::size_t{64} << 20;

} // namespace tessarine
