#pragma once
// Writing the program's files: XML laid out by TinyXML's printer with four
// blanks of indentation and CR LF line ends on every platform, and files
// replaced atomically and durably, so that a file is always either the old or
// the new one, whole, even after a power cut.

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
// left as it was and false is returned, with errno saying why.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);
// The same for a file that only the user may read: it is written with the
// permission bits 0600, also when the file it replaces had others.
bool WritePrivateFileAtomically(const std::string& path, std::string_view bytes);

// Creates `folder` with the folders above it that are missing, each readable
// by the user alone (0700); an existing `folder` of the user's is made so.
// False when it is no folder afterwards.
bool CreatePrivateFolder(const std::string& folder);

// The file that `path` names once every symbolic link on the way to it is
// followed (also when the last link dangles); `path` itself when it is no
// link, or when the links go round in a circle.
std::string ResolveLinks(const std::string& path);

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

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& out);

} // namespace tessarine
