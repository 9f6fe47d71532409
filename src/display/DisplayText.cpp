#include "display/DisplayText.h"

#include "core/model/Subscription.h"
#include "core/util/Strings.h"

#include <cstdio>

namespace tessarine {

std::string StatusText(int32_t status) {
    switch (status) {
    case NewlyAdded: return LoadResString(IDS_STATUS_NEWLY_ADDED);
    case CheckPending: return LoadResString(IDS_STATUS_CHECK_PENDING);
    case Checking: return LoadResString(IDS_STATUS_CHECKING);
    case NewItemsFound: return LoadResString(IDS_STATUS_NEW_ITEMS);
    case NoNewItems: return LoadResString(IDS_STATUS_NO_NEW_ITEMS);
    case Error: return LoadResString(IDS_STATUS_ERROR);
    default: return {};
    }
}

std::string StateText(DownloadState state) {
    switch (state) {
    case DownloadState::Waiting: return LoadResString(IDS_WAITING);
    case DownloadState::Downloading: return LoadResString(IDS_DOWNLOADING);
    case DownloadState::Done: return LoadResString(IDS_COMPLETED);
    case DownloadState::Failed: return LoadResString(IDS_FAILED);
    case DownloadState::Cancelled: return LoadResString(TXT_STATE_CANCELLED);
    case DownloadState::Removed: return {};
    }
    return {};
}

std::string SizeText(int64_t bytes) {
    if (bytes < 1048576)
        return ByteSizeText(bytes);
    return FormatResNumber(IDS_SIZE_FORMAT, static_cast<double>(bytes) / 1048576.0);
}

std::string ByteSizeText(int64_t bytes) {
    char buffer[32];
    const auto value = static_cast<double>(bytes);
    if (bytes < 1024)
        std::snprintf(buffer, sizeof buffer, "%lldB", static_cast<long long>(bytes));
    else if (bytes < 1024 * 1024)
        std::snprintf(buffer, sizeof buffer, "%.0fKB", value / 1024.0);
    else if (bytes < int64_t{1024} * 1024 * 1024)
        std::snprintf(buffer, sizeof buffer, "%.1fMB", value / 1048576.0);
    else
        std::snprintf(buffer, sizeof buffer, "%.2fGB", value / 1073741824.0);
    return buffer;
}

int WholePercent(int64_t received, int64_t total) {
    if (total <= 0)
        return 0;
    return static_cast<int>(static_cast<double>(received) * 100.0 / static_cast<double>(total));
}

std::string PercentText(int64_t received, int64_t total) {
    return std::to_string(WholePercent(received, total)) + "%";
}

std::string MessageText(const Message& message) {
    return FormatText(LoadResString(message.id), message.args);
}

std::string MessageWithReason(const Message& message) {
    std::string text = MessageText(message);
    const std::string reason = FailureText(message.reason);
    // Said already: by the text itself (a web page that names no feed has a
    // message of its own), or through the system's words among its
    // arguments ("Error creating file X: Is a directory").
    const bool said = message.id == IDS_PAGE_NAMES_NO_FEED ||
                      text.find(reason) != std::string::npos ||
                      (!message.reason.detail.empty() &&
                       text.find(message.reason.detail) != std::string::npos);
    if (reason.empty() || said)
        return text;
    return text + " (" + reason + ")";
}

std::string FailureText(const Failure& failure) {
    // The system's or the library's own words, where it gave some, follow
    // the general one.
    const auto withDetail = [&](int plain, int detailed) {
        return failure.detail.empty() ? LoadResString(plain)
                                      : FormatResString(detailed, failure.detail);
    };
    switch (failure.kind) {
    case FailureKind::None: return {};
    case FailureKind::HttpStatus: {
        std::string status = std::to_string(failure.httpStatus);
        if (!failure.httpPhrase.empty())
            status += " " + failure.httpPhrase;
        return FormatResString(IDS_REASON_HTTP_STATUS, status);
    }
    case FailureKind::NotAFeed: return LoadResString(IDS_REASON_NOT_A_FEED);
    case FailureKind::PageNamesNoFeed: return LoadResString(IDS_REASON_PAGE_NAMES_NO_FEED);
    case FailureKind::NameNotFound: return LoadResString(IDS_REASON_NAME_NOT_FOUND);
    case FailureKind::ConnectionRefused: return LoadResString(IDS_REASON_CONNECTION_REFUSED);
    case FailureKind::TimedOut: return LoadResString(IDS_REASON_TIMED_OUT);
    case FailureKind::CertificateNotTrusted: return LoadResString(IDS_REASON_CERTIFICATE);
    case FailureKind::TooLarge: return LoadResString(IDS_REASON_TOO_LARGE);
    case FailureKind::CutShort: return LoadResString(IDS_REASON_CUT_SHORT);
    case FailureKind::EmptyReply: return LoadResString(IDS_REASON_EMPTY_REPLY);
    case FailureKind::NetworkError:
        return withDetail(IDS_REASON_NETWORK_ERROR, IDS_REASON_NETWORK_ERROR_DETAIL);
    case FailureKind::DiskFull: return LoadResString(IDS_REASON_DISK_FULL);
    case FailureKind::PermissionDenied: return LoadResString(IDS_REASON_PERMISSION_DENIED);
    case FailureKind::FileError:
        return withDetail(IDS_REASON_FILE_ERROR, IDS_REASON_FILE_ERROR_DETAIL);
    case FailureKind::NoInternet: return LoadResString(IDS_REASON_NO_INTERNET);
    case FailureKind::Cancelled: return LoadResString(IDS_REASON_CANCELLED);
    }
    return {};
}

std::string DirectorySearchText(const std::string& directory, const DirectorySearch& search,
                                const std::string& term, bool withKeys) {
    using Outcome = DirectorySearch::Outcome;
    switch (search.outcome) {
    case Outcome::Found:
        return search.results.empty()
                   ? FormatText(LoadResString(TXT_SEARCH_NOTHING_FOUND), {directory, term})
                   : std::string();
    case Outcome::NoNetwork:
        return FormatText(LoadResString(TXT_SEARCH_NO_NETWORK),
                          {directory, FailureText(search.failure)});
    case Outcome::Refused: {
        // A service that takes credentials answers 401 or 403 to wrong ones.
        const bool credentials =
            withKeys && (search.httpStatus == 401 || search.httpStatus == 403);
        return FormatText(LoadResString(credentials ? TXT_SEARCH_KEYS_REFUSED : TXT_SEARCH_REFUSED),
                          {directory, FailureText(search.failure)});
    }
    case Outcome::OddAnswer:
        return FormatResString(TXT_SEARCH_ODD_ANSWER, directory);
    }
    return {};
}

} // namespace tessarine
