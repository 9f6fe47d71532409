#pragma once
// Writing the program's XML files: laid out by TinyXML's printer with four
// blanks of indentation and CR LF line ends on every platform, and replaced
// atomically so that a file is always either the old or the new one, whole.

#include <string>
#include <string_view>

class TiXmlDocument;

namespace tessarine {

std::string PrintXmlDocument(const TiXmlDocument& document);

// Writes `bytes` to a temporary file beside `path` and renames it over `path`.
// On failure the temporary file is removed, `path` is left as it was and
// false is returned.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& out);

} // namespace tessarine
