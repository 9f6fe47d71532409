#include "core/files/FileHandle.h"

#include <utility>

#ifdef _WIN32
#include "core/files/BaseDirectory.h"

#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace tessarine {

#ifdef _WIN32
namespace {

// The UTF-8 path through the wide functions. The C library MinGW builds on
// (msvcrt) knows no "x" in a mode: a file that must be new is created
// exclusively by descriptor and then taken on as a stream.
std::FILE* OpenFile(const std::string& path, const char* mode) {
    const std::wstring widePath = WidePath(path);
    if (std::strchr(mode, 'x') == nullptr)
        return _wfopen(widePath.c_str(), WidePath(mode).c_str());
    std::string streamMode;
    for (const char* c = mode; *c != '\0'; ++c)
        if (*c != 'x')
            streamMode += *c;
    const bool update = std::strchr(mode, '+') != nullptr;
    const int fd = _wopen(widePath.c_str(),
                          (update ? _O_RDWR : _O_WRONLY) | _O_CREAT | _O_EXCL | _O_NOINHERIT |
                              (std::strchr(mode, 'b') != nullptr ? _O_BINARY : _O_TEXT),
                          _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* file = _fdopen(fd, streamMode.c_str());
    if (file == nullptr)
        _close(fd);
    return file;
}

} // namespace

FileHandle::FileHandle(const std::string& path, const char* mode) : file_(OpenFile(path, mode)) {}
#else
FileHandle::FileHandle(const std::string& path, const char* mode)
    : file_(std::fopen(path.c_str(), mode)) {}
#endif

FileHandle::~FileHandle() {
    Close();
}

FileHandle::FileHandle(FileHandle&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = std::exchange(other.file_, nullptr);
    }
    return *this;
}

bool FileHandle::Write(std::string_view bytes) {
    return file_ != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

bool FileHandle::ReadAll(std::string& out) {
    out.clear();
    if (file_ == nullptr)
        return false;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
        out.append(buffer, n);
    return !std::ferror(file_);
}

bool FileHandle::Sync() {
    if (file_ == nullptr || std::fflush(file_) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(file_)) == 0;
#else
    return ::fsync(fileno(file_)) == 0;
#endif
}

bool FileHandle::Close() {
    if (file_ == nullptr)
        return true;
    const bool flushed = std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return flushed && closed;
}

} // namespace tessarine
