#include "subscriptions/FileHandle.h"

#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tessarine {

FileHandle::FileHandle(const std::string& path, const char* mode)
    : file_(std::fopen(path.c_str(), mode)) {}

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
