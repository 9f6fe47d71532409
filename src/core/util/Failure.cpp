#include "core/util/Failure.h"

#include <cerrno>
#include <cstring>

namespace tessarine {

Failure FileFailure(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
        return {FailureKind::DiskFull};
    case EACCES:
    case EPERM:
    case EROFS:
        return {FailureKind::PermissionDenied};
    default:
        return {FailureKind::FileError, 0, {}, errorNumber != 0 ? std::strerror(errorNumber) : ""};
    }
}

} // namespace tessarine
