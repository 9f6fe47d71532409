#include "subscriptions/FileHandle.h"

#include <utility>

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

bool FileHandle::Close() {
    if (file_ == nullptr)
        return true;
    const bool flushed = std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return flushed && closed;
}

} // namespace tessarine
