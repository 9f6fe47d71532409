#include "core/util/Failure.h"

#include <cerrno>
#include <cstdlib>
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

std::string FailureRecord(const Failure& failure) {
    std::string text = FailureKindName(failure.kind);
    if (failure.kind == FailureKind::HttpStatus)
        text += ' ' + std::to_string(failure.httpStatus);
    if (!failure.detail.empty())
        text += ": " + failure.detail;
    return text;
}

Failure FailureFromRecord(const std::string& record) {
    const size_t colon = record.find(": ");
    const std::string head = record.substr(0, colon);
    const size_t space = head.find(' ');
    Failure failure;
    failure.kind = FailureKindFromName(head.substr(0, space));
    if (failure.kind == FailureKind::None)
        return failure;
    if (space != std::string::npos)
        failure.httpStatus = std::atol(head.c_str() + space + 1);
    if (colon != std::string::npos)
        failure.detail = record.substr(colon + 2);
    return failure;
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
