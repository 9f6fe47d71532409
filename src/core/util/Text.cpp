#include "core/util/Text.h"

#include <limits>

namespace tessarine {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

bool StartsWithIgnoringCase(std::string_view name, std::string_view prefix) {
    if (name.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(name[i]) != LowerAscii(prefix[i]))
            return false;
    return true;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

std::string_view Trimmed(std::string_view text, bool (*isSpace)(char)) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Digits only; anything else, or a value beyond 64 bits, is no length.
int64_t ParseDecimal(std::string_view text) {
    if (text.empty())
        return -1;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        const int digit = c - '0';
        if (value > (std::numeric_limits<int64_t>::max() - digit) / 10)
            return -1;
        value = value * 10 + digit;
    }
    return value;
}


} // namespace tessarine
