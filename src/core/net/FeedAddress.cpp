#include "core/net/FeedAddress.h"

#include "core/util/Text.h"
#include "core/util/XmlText.h"

namespace tessarine {

namespace {

bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The length of the scheme that `text` begins with ("ftp" of "ftp://x"), or
// 0. What looks like a host name followed by a port ("localhost:8080/feed")
// is no scheme.
size_t SchemeLength(std::string_view text) {
    if (text.empty() || !IsAlpha(text[0]))
        return 0;
    size_t i = 1;
    while (i < text.size() &&
           (IsAlpha(text[i]) || IsDigit(text[i]) || text[i] == '+' || text[i] == '-' ||
            text[i] == '.'))
        ++i;
    if (i >= text.size() || text[i] != ':')
        return 0;
    size_t digits = i + 1;
    while (digits < text.size() && IsDigit(text[digits]))
        ++digits;
    if (digits > i + 1 &&
        (digits == text.size() || text[digits] == '/' || text[digits] == '?' ||
         text[digits] == '#'))
        return 0;
    return i;
}

// The parts of an "http://" or "https://" URL's authority.
struct Authority {
    std::string_view scheme;   // "http" or "https", as written
    std::string_view userInfo; // with its "@", or empty
    std::string_view host;     // an IPv6 literal with its brackets
    std::optional<std::string_view> port;
    std::string_view rest; // path, query and fragment
};

std::optional<Authority> SplitWebUrl(std::string_view url) {
    Authority parts;
    if (StartsWithIgnoringCase(url, "http://"))
        parts.scheme = url.substr(0, 4);
    else if (StartsWithIgnoringCase(url, "https://"))
        parts.scheme = url.substr(0, 5);
    else
        return std::nullopt;
    std::string_view authority = url.substr(parts.scheme.size() + 3);
    const size_t end = authority.find_first_of("/?#");
    if (end != std::string_view::npos) {
        parts.rest = authority.substr(end);
        authority = authority.substr(0, end);
    }
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        parts.userInfo = authority.substr(0, at + 1);
        authority = authority.substr(at + 1);
    }
    size_t colon = std::string_view::npos;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':')
                return std::nullopt;
            colon = close + 1;
        }
    } else {
        colon = authority.rfind(':');
    }
    if (colon != std::string_view::npos) {
        parts.port = authority.substr(colon + 1);
        authority = authority.substr(0, colon);
    }
    parts.host = authority;
    return parts;
}

bool UsableHost(std::string_view host) {
    if (host.empty())
        return false;
    for (char c : host) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || std::string_view("<>\"{}|\\^`").find(c) !=
                                                 std::string_view::npos)
            return false;
    }
    return true;
}

bool UsablePort(std::string_view port) {
    if (port.size() > 5)
        return false;
    for (char c : port)
        if (!IsDigit(c))
            return false;
    return port.empty() || std::stoi(std::string(port)) <= 65535;
}

} // namespace

std::optional<std::string> FeedAddress(std::string_view typed) {
    typed = Trimmed(typed, IsXmlWhiteSpace);
    if (typed.empty())
        return std::nullopt;

    std::string url;
    const size_t scheme = SchemeLength(typed);
    const std::string_view afterColon = typed.substr(scheme + 1);
    if (scheme == 0) {
        // No scheme: a host name (and path) as a browser's address bar takes it.
        url = (typed.starts_with("//") ? "http:" : "http://") + std::string(typed);
    } else if (const std::string name = LowerAscii(typed.substr(0, scheme));
               name == "http" || name == "https") {
        if (!afterColon.starts_with("//"))
            return std::nullopt;
        url = typed;
    } else if (name == "feed" && (StartsWithIgnoringCase(afterColon, "http://") ||
                                  StartsWithIgnoringCase(afterColon, "https://"))) {
        url = afterColon;
    } else if ((name == "feed" || name == "itpc" || name == "podcast") &&
               afterColon.starts_with("//")) {
        url = "http:" + std::string(afterColon);
    } else {
        return std::nullopt;
    }

    const std::optional<Authority> parts = SplitWebUrl(url);
    if (!parts || !UsableHost(parts->host) || (parts->port && !UsablePort(*parts->port)))
        return std::nullopt;
    // Stored as the settings file keeps it: bytes that are not UTF-8 are
    // percent-encoded, so the address is the same after the next load.
    return UrlAsValidUtf8(url);
}

bool IsWebUrl(std::string_view url) {
    return StartsWithIgnoringCase(url, "http://") || StartsWithIgnoringCase(url, "https://");
}

std::string FeedAddressKey(std::string_view url) {
    const std::optional<Authority> parts = SplitWebUrl(url);
    if (!parts)
        return std::string(url);
    const std::string scheme = LowerAscii(parts->scheme);
    std::string key = scheme + "://";
    key += parts->userInfo;
    key += LowerAscii(parts->host);
    if (parts->port) {
        std::string_view port = *parts->port;
        while (port.size() > 1 && port.front() == '0')
            port.remove_prefix(1);
        if (!port.empty() && port != (scheme == "http" ? "80" : "443"))
            key.append(":").append(port);
    }
    if (!parts->rest.starts_with('/'))
        key += '/';
    key += parts->rest;
    return key;
}

} // namespace tessarine
