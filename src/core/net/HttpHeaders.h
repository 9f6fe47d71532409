#pragma once
// The values of the HTTP header fields a transfer reads.

#include <cstdint>
#include <string_view>

namespace tessarine {

// The text without blanks, tabs and line ends around it.
std::string_view HeaderTrimmed(std::string_view text);
// A Content-Length value: one decimal number, or a list of the same number
// repeated (as a proxy may join duplicate header lines). -1 for anything
// else: a sign, hexadecimal, junk, or a value beyond 64 bits.
int64_t ParseContentLength(std::string_view text);
// Whether `word` occurs in `text`, in any letter case.
bool ContainsNoCase(std::string_view text, std::string_view word);
// A Content-Range value: "bytes FIRST-LAST/TOTAL", "bytes */TOTAL" (416) or
// with "*" for the total; -1 for what is absent, "*" or no range at all.
void ParseContentRange(std::string_view value, int64_t& first, int64_t& last, int64_t& total);

} // namespace tessarine
