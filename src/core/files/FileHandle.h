#pragma once
// An open C file that is closed when the object goes, whatever path the code
// takes out of the scope that opened it.

#include <cstdio>
#include <string>
#include <string_view>

namespace tessarine {

class FileHandle {
public:
    FileHandle() = default;
    // Opens `path` with an fopen mode; IsOpen() tells whether that worked.
    FileHandle(const std::string& path, const char* mode);
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // Writes all of `bytes`; false when not all of it could be written.
    bool Write(std::string_view bytes);
    // Replaces `out` with the rest of the file; false on a read error.
    bool ReadAll(std::string& out);
    // Flushes the file and asks the system to put it on the disk.
    bool Sync();
    // Flushes and closes the file; false when either failed. Closing a file
    // that is not open succeeds.
    bool Close();

private:
    std::FILE* file_ = nullptr;
};

} // namespace tessarine
