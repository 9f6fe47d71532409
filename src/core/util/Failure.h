#pragma once
// Why something failed, as data: a front end words it in its own language.
// The core never turns a failure into display text.

#include <string>

namespace tessarine {

enum class FailureKind {
    None,
    HttpStatus,            // the server answered `httpStatus` `httpPhrase` (not 2xx/304)
    NotAFeed,              // the document is neither RSS nor Atom
    PageNamesNoFeed,       // a web page came that names no feed
    NameNotFound,          // the host name (or the proxy's) could not be resolved
    ConnectionRefused,     // nothing accepted the connection
    TimedOut,              // connecting took too long, or the transfer stalled
    CertificateNotTrusted, // the server's TLS certificate failed verification
    TooLarge,              // more than the bound for that kind of document
    CutShort,              // the body ended before its announced length, or
                           // carried more than it announced
    EmptyReply,            // an empty body where an episode was expected
    NetworkError,          // any other transfer failure; `detail` has libcurl's text
    DiskFull,              // no room left on the device
    PermissionDenied,      // the system refused access to a file or folder
    FileError,             // any other file failure; `detail` has the system's text
    NoInternet,            // no HTTP session could be set up at all
    Cancelled,             // the user or the program's end stopped it
};

struct Failure {
    FailureKind kind = FailureKind::None;
    long httpStatus = 0;     // for HttpStatus
    std::string httpPhrase{}; // for HttpStatus: the reason phrase as sent, may be empty
    std::string detail{};     // the library's or the system's own text, may be empty

    explicit operator bool() const { return kind != FailureKind::None; }
    bool operator==(const Failure&) const = default;
};

// The failure an errno value stands for (ENOSPC: DiskFull; EACCES,
// EPERM, EROFS: PermissionDenied; else FileError with strerror's text).
Failure FileFailure(int errorNumber);

// The kind's name as written above ("HttpStatus", "TimedOut"): a stable word
// for stored records, never shown as a message.
const char* FailureKindName(FailureKind kind);
// The kind a stored name stands for; None for a name it does not know.
FailureKind FailureKindFromName(const std::string& name);

// A failure as one line of stored text: the kind's name, an HTTP status
// after a blank, the detail after ": " ("HttpStatus 404", "TimedOut: the
// system's text"). The reason phrase is not kept.
std::string FailureRecord(const Failure& failure);
// The failure a FailureRecord stands for; kind None for another text.
Failure FailureFromRecord(const std::string& record);

} // namespace tessarine
