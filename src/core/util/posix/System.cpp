#include "core/util/System.h"

#include <cstdio>

#include <locale.h>
#include <unistd.h>

namespace tessarine {

bool LocalTime(std::time_t t, std::tm& local) {
    return localtime_r(&t, &local) != nullptr;
}

bool UtcTime(std::time_t t, std::tm& utc) {
    return gmtime_r(&t, &utc) != nullptr;
}

void FormatNumberInCLocale(char* buffer, std::size_t size, const char* pattern, double value) {
    // The C locale's numbers for this thread only, and only for this call.
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", locale_t{});
    const locale_t previous = uselocale(cLocale);
    std::snprintf(buffer, size, pattern, value);
    uselocale(previous);
}

bool IsForbiddenInFileName(char) {
    return false;
}

unsigned long ProcessId() {
    return static_cast<unsigned long>(::getpid());
}

bool UseSystemCertificateStore() {
    return false;
}

} // namespace tessarine
