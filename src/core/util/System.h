#pragma once
// The few things the core asks of the operating system besides its files:
// the calendar, numbers in the C locale, the characters a file name may not
// hold, the process and the certificate store. Each is defined once per
// system, in util/posix or util/win.

#include <cstddef>
#include <ctime>

namespace tessarine {

// `t` broken down into the fields of local time; false, with `local` left as
// it is, where the system cannot give them.
bool LocalTime(std::time_t t, std::tm& local);
// The same in UTC.
bool UtcTime(std::time_t t, std::tm& utc);

// snprintf of one number into `buffer` in the C locale's notation (a "." for
// the decimal point), whatever locale the program runs in.
void FormatNumberInCLocale(char* buffer, std::size_t size, const char* pattern, double value);

// Whether the byte may not stand in a file name on the platform, besides
// the path separators and control characters: nothing on POSIX systems,
// < > : " | ? * on Windows.
bool IsForbiddenInFileName(char c);

// This process's id.
unsigned long ProcessId();

// Whether HTTPS trusts the system's own certificate store rather than a CA
// bundle file (Windows).
bool UseSystemCertificateStore();

} // namespace tessarine
