#include "core/util/System.h"

#include <cstdio>
#include <locale.h>
#include <process.h>

namespace tessarine {

bool LocalTime(std::time_t t, std::tm& local) {
    return localtime_s(&local, &t) == 0;
}

bool UtcTime(std::time_t t, std::tm& utc) {
    return gmtime_s(&utc, &t) == 0;
}

void FormatNumberInCLocale(char* buffer, std::size_t size, const char* pattern, double value) {
    static const _locale_t cLocale = _create_locale(LC_NUMERIC, "C");
    _snprintf_l(buffer, size, pattern, cLocale, value);
}

bool IsForbiddenInFileName(char c) {
    return c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' || c == '*';
}

unsigned long ProcessId() {
    return static_cast<unsigned long>(_getpid());
}

bool UseSystemCertificateStore() {
    return true;
}

} // namespace tessarine
