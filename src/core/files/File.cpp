#include "core/files/File.h"

#include <cerrno>
#include <utility>

// What a file is on every system; the system calls are in posix/ and win/.
namespace tessarine {

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), failure_(other.failure_) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        failure_ = other.failure_;
    }
    return *this;
}

File File::Failed(OpenFailure why) {
    const int reason = errno;
    File file;
    file.failure_ = why;
    errno = reason;
    return file;
}

} // namespace tessarine
