#include "core/feeds/FeedDiscovery.h"

#include "core/net/FeedAddress.h"
#include "core/net/UrlReference.h"
#include "core/util/Text.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tessarine {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Where `word` (lower case) first occurs in `text` from `from` on, in any
// letter case; npos when it does not.
size_t FindNoCase(std::string_view text, std::string_view word, size_t from) {
    if (word.size() > text.size())
        return std::string_view::npos;
    for (size_t i = from; i + word.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < word.size() && LowerAscii(text[i + k]) == word[k])
            ++k;
        if (k == word.size())
            return i;
    }
    return std::string_view::npos;
}

bool IsWebPage(std::string_view body) {
    // Pages begin with a doctype or the "html" element, often after a byte
    // order mark, blank lines or a comment; a look at the start is enough.
    const std::string_view start = body.substr(0, 4096);
    return FindNoCase(start, "<!doctype html", 0) != std::string_view::npos ||
           FindNoCase(start, "<html", 0) != std::string_view::npos;
}

// The character references an attribute value may hold, for the few
// characters a URL can carry ("&amp;" above all); others stay as written.
std::string DecodeReferences(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '&') {
            out += value[i];
            continue;
        }
        const size_t semi = value.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out += value[i];
            continue;
        }
        const std::string name = LowerAscii(value.substr(i + 1, semi - i - 1));
        uint32_t code = 0;
        if (name == "amp")
            code = '&';
        else if (name == "quot")
            code = '"';
        else if (name == "apos")
            code = '\'';
        else if (name == "lt")
            code = '<';
        else if (name == "gt")
            code = '>';
        else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string digits = name.substr(hex ? 2 : 1);
            if (!digits.empty() &&
                digits.find_first_not_of(hex ? "0123456789abcdef" : "0123456789") ==
                    std::string::npos &&
                digits.size() <= 6)
                code = static_cast<uint32_t>(std::stoul(digits, nullptr, hex ? 16 : 10));
        }
        if (code == 0 || code >= 0x80) {
            out += value[i];
            continue;
        }
        out += static_cast<char>(code);
        i = semi;
    }
    return out;
}

struct Attribute {
    std::string name; // lower case
    std::string value;
};

// The attributes of the tag whose name ends at `at`; `at` is left after the
// tag's ">" (or at the end).
std::vector<Attribute> ReadAttributes(std::string_view html, size_t& at) {
    std::vector<Attribute> attributes;
    while (at < html.size()) {
        while (at < html.size() && (IsSpace(html[at]) || html[at] == '/'))
            ++at;
        if (at >= html.size())
            break;
        if (html[at] == '>') {
            ++at;
            break;
        }
        const size_t nameStart = at;
        while (at < html.size() && !IsSpace(html[at]) && html[at] != '=' && html[at] != '>' &&
               html[at] != '/')
            ++at;
        Attribute attribute{LowerAscii(html.substr(nameStart, at - nameStart)), {}};
        while (at < html.size() && IsSpace(html[at]))
            ++at;
        if (at < html.size() && html[at] == '=') {
            ++at;
            while (at < html.size() && IsSpace(html[at]))
                ++at;
            if (at < html.size() && (html[at] == '"' || html[at] == '\'')) {
                const char quote = html[at++];
                const size_t end = std::min(html.find(quote, at), html.size());
                attribute.value = DecodeReferences(html.substr(at, end - at));
                at = std::min(end + 1, html.size());
            } else {
                const size_t valueStart = at;
                while (at < html.size() && !IsSpace(html[at]) && html[at] != '>')
                    ++at;
                attribute.value = DecodeReferences(html.substr(valueStart, at - valueStart));
            }
        }
        attributes.push_back(std::move(attribute));
    }
    return attributes;
}

bool NamesFeed(const std::vector<Attribute>& attributes) {
    bool alternate = false, feedType = false;
    for (const Attribute& a : attributes) {
        if (a.name == "rel") {
            const std::string rel = LowerAscii(a.value);
            for (size_t i = 0; i < rel.size();) {
                while (i < rel.size() && IsSpace(rel[i]))
                    ++i;
                size_t end = i;
                while (end < rel.size() && !IsSpace(rel[end]))
                    ++end;
                alternate = alternate || rel.substr(i, end - i) == "alternate";
                i = end;
            }
        } else if (a.name == "type") {
            std::string_view type = a.value;
            type = Trimmed(type.substr(0, type.find(';')), IsSpace);
            const std::string lower = LowerAscii(type);
            feedType = lower == "application/rss+xml" || lower == "application/atom+xml";
        }
    }
    return alternate && feedType;
}

} // namespace

PageFeed FeedOfPage(std::string_view body, const std::string& pageUrl) {
    PageFeed result;
    if (!IsWebPage(body))
        return result;
    result.kind = PageFeed::Kind::NoneNamed;
    size_t at = 0;
    while ((at = body.find('<', at)) != std::string_view::npos) {
        if (body.substr(at, 4) == "<!--") {
            const size_t end = body.find("-->", at + 4);
            at = end == std::string_view::npos ? body.size() : end + 3;
            continue;
        }
        size_t nameEnd = at + 1;
        while (nameEnd < body.size() && !IsSpace(body[nameEnd]) && body[nameEnd] != '>' &&
               body[nameEnd] != '/')
            ++nameEnd;
        const std::string name = LowerAscii(body.substr(at + 1, nameEnd - at - 1));
        at = nameEnd;
        if (name == "script" || name == "style") {
            // Their text is no markup: it ends only at their end tag.
            const size_t end = FindNoCase(body, "</" + name, at);
            at = end == std::string_view::npos ? body.size() : end;
            continue;
        }
        if (name != "link")
            continue;
        const std::vector<Attribute> attributes = ReadAttributes(body, at);
        if (!NamesFeed(attributes))
            continue;
        for (const Attribute& a : attributes) {
            if (a.name != "href")
                continue;
            const std::string href = std::string(Trimmed(a.value, IsSpace));
            if (href.empty())
                break;
            if (const std::optional<std::string> url =
                    FeedAddress(ResolveUrlReference(pageUrl, href))) {
                result.kind = PageFeed::Kind::Named;
                result.url = *url;
                return result;
            }
            break;
        }
    }
    return result;
}

} // namespace tessarine
