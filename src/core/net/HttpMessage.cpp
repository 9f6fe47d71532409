#include "core/net/HttpMessage.h"

#include <curl/curl.h>

#include <algorithm>

namespace tessarine {

namespace {

// Validators longer than this are not kept: no server needs them, and they
// would be sent back with every request.
constexpr size_t kMaxValidatorBytes = 1024;

} // namespace

bool HttpGlobalInit() {
    // A function-local static is initialised exactly once, even when several
    // threads get here at the same time.
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

bool SendableValue(std::string_view value) {
    if (value.empty() || value.size() > kMaxValidatorBytes)
        return false;
    return std::none_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

std::string IfRangeValue(const HttpValidators& validators) {
    // A weak tag must not be used for a range: it allows byte differences.
    if (SendableValue(validators.etag) && validators.etag.front() == '"')
        return validators.etag;
    if (SendableValue(validators.lastModified))
        return validators.lastModified;
    return {};
}

ResumeAction DecideResume(const HttpResult& response, int64_t have, int64_t total) {
    switch (response.status) {
    case 200:
        return ResumeAction::StartOver;
    case 206:
        if (response.rangeFirst == have && response.rangeTotal == total && total > have &&
            response.rangeLast == total - 1)
            return ResumeAction::Append;
        return ResumeAction::Refetch;
    case 416:
        return ResumeAction::Refetch;
    default:
        return ResumeAction::Fail;
    }
}

} // namespace tessarine
