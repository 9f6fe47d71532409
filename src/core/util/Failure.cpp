#include "core/util/Failure.h"

#include <cerrno>
#include <cstring>

namespace tessarine {

const char* FailureKindName(FailureKind kind) {
    switch (kind) {
    case FailureKind::None: return "None";
    case FailureKind::HttpStatus: return "HttpStatus";
    case FailureKind::NotAFeed: return "NotAFeed";
    case FailureKind::PageNamesNoFeed: return "PageNamesNoFeed";
    case FailureKind::NameNotFound: return "NameNotFound";
    case FailureKind::ConnectionRefused: return "ConnectionRefused";
    case FailureKind::TimedOut: return "TimedOut";
    case FailureKind::CertificateNotTrusted: return "CertificateNotTrusted";
    case FailureKind::TooLarge: return "TooLarge";
    case FailureKind::CutShort: return "CutShort";
    case FailureKind::EmptyReply: return "EmptyReply";
    case FailureKind::NetworkError: return "NetworkError";
    case FailureKind::DiskFull: return "DiskFull";
    case FailureKind::PermissionDenied: return "PermissionDenied";
    case FailureKind::FileError: return "FileError";
    case FailureKind::NoInternet: return "NoInternet";
    case FailureKind::Cancelled: return "Cancelled";
    }
    return "None";
}

FailureKind FailureKindFromName(const std::string& name) {
    for (int k = static_cast<int>(FailureKind::None); k <= static_cast<int>(FailureKind::Cancelled);
         ++k)
        if (name == FailureKindName(static_cast<FailureKind>(k)))
            return static_cast<FailureKind>(k);
    return FailureKind::None;
}

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
