#include "core/net/UrlReference.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

namespace tessarine {

namespace {

struct Components {
    std::optional<std::string_view> scheme;
    std::optional<std::string_view> authority;
    std::string_view path;
    std::optional<std::string_view> query;
    std::optional<std::string_view> fragment;
};

bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsSchemeChar(char c) {
    return IsAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The split of appendix B of the RFC.
Components Split(std::string_view text) {
    Components parts;
    if (const size_t hash = text.find('#'); hash != std::string_view::npos) {
        parts.fragment = text.substr(hash + 1);
        text = text.substr(0, hash);
    }
    if (const size_t question = text.find('?'); question != std::string_view::npos) {
        parts.query = text.substr(question + 1);
        text = text.substr(0, question);
    }
    const size_t colon = text.find(':');
    if (colon != std::string_view::npos && colon > 0 && IsAlpha(text[0]) &&
        text.substr(0, colon).find_first_of("/") == std::string_view::npos) {
        bool valid = true;
        for (char c : text.substr(0, colon))
            valid = valid && IsSchemeChar(c);
        if (valid) {
            parts.scheme = text.substr(0, colon);
            text = text.substr(colon + 1);
        }
    }
    if (text.starts_with("//")) {
        text.remove_prefix(2);
        const size_t slash = text.find('/');
        parts.authority = text.substr(0, slash);
        text = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
    }
    parts.path = text;
    return parts;
}

// Section 5.2.4.
std::string RemoveDotSegments(std::string_view input) {
    std::string output;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../") || input == "/..") {
            input = input.size() == 3 ? std::string_view("/") : input.substr(3);
            const size_t last = output.rfind('/');
            output.erase(last == std::string::npos ? 0 : last);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const size_t next = input.find('/', 1);
            const size_t length = next == std::string_view::npos ? input.size() : next;
            output.append(input.substr(0, length));
            input.remove_prefix(length);
        }
    }
    return output;
}

// Section 5.2.3.
std::string Merge(const Components& base, std::string_view path) {
    if (base.authority && base.path.empty())
        return "/" + std::string(path);
    const size_t slash = base.path.rfind('/');
    if (slash == std::string_view::npos)
        return std::string(path);
    return std::string(base.path.substr(0, slash + 1)) + std::string(path);
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Where the authority of `url` (user information, host, port) begins and
// ends: after the "//" that opens it, at the start or after the scheme's
// "://" (also in "feed:https://..."), up to the first '/', '?' or '#'. None
// for a URL without one.
std::optional<std::pair<size_t, size_t>> AuthoritySpan(std::string_view url) {
    size_t start = 2;
    if (!url.starts_with("//")) {
        const size_t slashes = url.find("://");
        if (slashes == std::string_view::npos ||
            url.substr(0, slashes).find_first_of("/?#") != std::string_view::npos)
            return std::nullopt;
        start = slashes + 3;
    }
    return std::pair{start, std::min(url.find_first_of("/?#", start), url.size())};
}

} // namespace

std::string UrlForRequest(std::string_view url) {
    const auto isEdge = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!url.empty() && isEdge(url.front()))
        url.remove_prefix(1);
    while (!url.empty() && isEdge(url.back()))
        url.remove_suffix(1);
    // The host is left alone (a name in another script is the resolver's
    // business); everything from the path on is encoded.
    const auto authority = AuthoritySpan(url);
    const size_t pathStart = authority ? authority->second : 0;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(url.substr(0, pathStart));
    for (size_t i = pathStart; i < url.size(); ++i) {
        const char c = url[i];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t' || c == '\n' || c == '\r')
            continue;
        const bool escape =
            byte <= 0x20 || byte >= 0x7F ||
            std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos ||
            (c == '%' && !(i + 2 < url.size() && IsHexDigit(url[i + 1]) && IsHexDigit(url[i + 2])));
        if (escape) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string ResolveUrlReference(const std::string& base, const std::string& reference) {
    if (reference.empty())
        return reference;
    const Components r = Split(reference);
    if (r.scheme)
        return reference;
    const Components b = Split(base);
    if (!b.scheme || !b.authority)
        return reference;

    // Section 5.2.2, for a reference without a scheme.
    std::optional<std::string_view> authority, query;
    std::string path;
    if (r.authority) {
        authority = r.authority;
        path = RemoveDotSegments(r.path);
        query = r.query;
    } else {
        authority = b.authority;
        if (r.path.empty()) {
            path = std::string(b.path);
            query = r.query ? r.query : b.query;
        } else {
            path =
                RemoveDotSegments(r.path.starts_with('/') ? std::string(r.path) : Merge(b, r.path));
            query = r.query;
        }
    }

    // Section 5.3.
    std::string result(*b.scheme);
    result += ":";
    result += "//";
    result += *authority;
    result += path;
    if (query)
        result.append("?").append(*query);
    if (r.fragment)
        result.append("#").append(*r.fragment);
    return result;
}

std::string ShownUrl(const std::string& url) {
    const auto authority = AuthoritySpan(url);
    if (!authority)
        return url;
    const auto [start, end] = *authority;
    // The last '@' ends the user information, as the requests take it.
    const size_t at = url.rfind('@', end == 0 ? 0 : end - 1);
    if (at == std::string::npos || at < start)
        return url;
    const size_t colon = url.find(':', start);
    if (colon == std::string::npos || colon >= at || colon + 1 == at)
        return url;
    return url.substr(0, colon + 1) + "***" + url.substr(at);
}

} // namespace tessarine
