#include "core/net/HttpHeaders.h"

#include "core/util/Text.h"

namespace tessarine {

namespace {

bool IsHeaderSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string_view HeaderTrimmed(std::string_view text) {
    return Trimmed(text, IsHeaderSpace);
}

// A Content-Length value: one decimal number, or a list of the same number
// repeated (as a proxy may join duplicate header lines). -1 for anything
// else: a sign, hexadecimal, junk, or a value beyond 64 bits.
int64_t ParseContentLength(std::string_view text) {
    int64_t length = -1;
    for (;;) {
        const size_t comma = text.find(',');
        const int64_t value = ParseDecimal(HeaderTrimmed(text.substr(0, comma)));
        if (value < 0 || (length >= 0 && value != length))
            return -1;
        length = value;
        if (comma == std::string_view::npos)
            return length;
        text.remove_prefix(comma + 1);
    }
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
    for (size_t i = 0; i + word.size() <= text.size(); ++i)
        if (StartsWithIgnoringCase(text.substr(i), word))
            return true;
    return false;
}

// "bytes FIRST-LAST/TOTAL", "bytes */TOTAL" (416) or with "*" for the total.
void ParseContentRange(std::string_view value, int64_t& first, int64_t& last, int64_t& total) {
    first = last = total = -1;
    value = HeaderTrimmed(value);
    if (!StartsWithIgnoringCase(value, "bytes "))
        return;
    value = HeaderTrimmed(value.substr(6));
    const size_t slash = value.find('/');
    if (slash == std::string_view::npos)
        return;
    const std::string_view span = HeaderTrimmed(value.substr(0, slash));
    total = ParseDecimal(HeaderTrimmed(value.substr(slash + 1)));
    const size_t dash = span.find('-');
    if (span != "*" && dash != std::string_view::npos) {
        first = ParseDecimal(span.substr(0, dash));
        last = ParseDecimal(span.substr(dash + 1));
        if (first < 0 || last < first || (total >= 0 && last >= total))
            first = last = total = -1; // not a range at all
    }
}

} // namespace tessarine
