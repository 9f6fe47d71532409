#pragma once
// Small helpers for ASCII text: letter case, prefixes, trimming, and the
// characters a file name may not hold.

#include "core/util/System.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tessarine {

// The ASCII letter in lower case; every other byte as it is.
char LowerAscii(char c);
// The text with its ASCII letters in lower case; other bytes unchanged.
std::string LowerAscii(std::string_view text);

// Whether `name` starts with `prefix`, ignoring the case of ASCII letters.
bool StartsWithIgnoringCase(std::string_view name, std::string_view prefix);
// Whether two names are the same but for the letter case of ASCII letters,
// as on file systems that ignore case.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// `text` without the leading and trailing bytes for which `isSpace` holds.
std::string_view Trimmed(std::string_view text, bool (*isSpace)(char));

// A number of decimal digits alone; -1 for anything else (empty, a sign,
// blanks, junk) or for a value beyond 64 bits.
int64_t ParseDecimal(std::string_view text);

} // namespace tessarine
