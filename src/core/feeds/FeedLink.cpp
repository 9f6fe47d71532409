#include "core/feeds/FeedLink.h"

#include "core/feeds/FeedReader.h"
#include "core/files/File.h"
#include "core/files/FileStore.h"
#include "core/net/FeedAddress.h"
#include "core/net/HttpMessage.h"
#include "core/util/Text.h"

#include <cctype>
#include <optional>

namespace tessarine {
namespace {

// The length of `text`'s URL scheme (letters first, then letters, digits,
// "+", "-" and "."; the colon not counted); 0 when it starts with none. A
// single letter is a drive ("C:\\..."), no scheme.
std::size_t SchemeLength(std::string_view text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0])))
        return 0;
    std::size_t i = 1;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) ||
                               text[i] == '+' || text[i] == '-' || text[i] == '.'))
        ++i;
    return i >= 2 && i < text.size() && text[i] == ':' ? i : 0;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = LowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "%XX" turned back into its byte; a "%" without two hex digits stays.
std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The local path of a "file:" URL: "file:///path", "file://localhost/path"
// or "file:/path"; none for another host's file.
std::optional<std::string> FileUrlPath(std::string_view url) {
    std::string_view rest = url.substr(5); // after "file:"
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !SameNameIgnoringCase(host, "localhost"))
            return std::nullopt;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    std::string path = PercentDecoded(rest);
#ifdef _WIN32
    // "/C:/Users/...": the drive comes first on Windows.
    if (path.size() >= 3 && path[0] == '/' && std::isalpha(static_cast<unsigned char>(path[1])) &&
        path[2] == ':')
        path.erase(0, 1);
#endif
    if (path.empty())
        return std::nullopt;
    return path;
}

FeedLink FeedOfFile(std::string path) {
    FeedLink link;
    link.path = std::move(path);
    std::string bytes;
    if (ReadRegularFile(link.path, static_cast<std::size_t>(kMaxFeedBytes), bytes) !=
        FileRead::Read) {
        link.kind = FeedLink::Kind::Unreadable;
        return link;
    }
    const FeedDocument feed = ReadFeed(bytes);
    // A feed that moved names where to; a redirect notice alone does too.
    const std::string named = !feed.newFeedUrl.empty() ? feed.newFeedUrl : FeedSelfUrl(bytes);
    if (!feed.hasChannel && named.empty()) {
        link.kind = FeedLink::Kind::NotAFeed;
        return link;
    }
    if (const std::optional<std::string> address = FeedAddress(named); address && !named.empty()) {
        link.kind = FeedLink::Kind::Address;
        link.address = *address;
    } else {
        link.kind = FeedLink::Kind::NamesNoAddress;
    }
    return link;
}

} // namespace

bool HasUrlScheme(std::string_view text) { return SchemeLength(text) > 0; }

bool IsLinkArgument(std::string_view argument) {
    if (HasUrlScheme(argument))
        return true;
    for (std::size_t i = 1; i < argument.size(); ++i)
        if (IsPathSeparator(argument[i]))
            return true;
    return !argument.empty() && KindAt(std::string(argument), true) == EntryKind::Regular;
}

FeedLink FeedOfLink(std::string_view link) {
    if (link.empty())
        return {};
    const std::size_t scheme = SchemeLength(link);
    if (scheme == 0)
        return FeedOfFile(std::string(link));
    if (SameNameIgnoringCase(link.substr(0, scheme), "file")) {
        if (std::optional<std::string> path = FileUrlPath(link))
            return FeedOfFile(std::move(*path));
        return {};
    }
    FeedLink result;
    if (std::optional<std::string> address = FeedAddress(link)) {
        result.kind = FeedLink::Kind::Address;
        result.address = std::move(*address);
    }
    return result;
}

} // namespace tessarine
