#pragma once
// The address of a feed as people paste it: the forms podcast links and web
// pages use turned into the http or https URL that is stored, what cannot be
// a feed's address refused, and when two addresses name the same feed.

#include <optional>
#include <string>
#include <string_view>

namespace tessarine {

// The http or https URL to subscribe to for `typed`; none when it cannot be
// one. White space at either end is removed. "feed://", "itpc://" and
// "podcast://" become "http://"; "feed:http://..." and "feed:https://..."
// lose the "feed:"; text without a scheme ("example.org/feed.xml",
// "//example.org/feed.xml", "localhost:8080/feed") gets "http://". Refused
// are the empty text, any other scheme (ftp, file, mailto...) and a URL
// without a usable host (empty, holding blanks or control characters, or
// with a port that is not a number). Everything else is kept as written,
// letter case included. A result gives itself again.
std::optional<std::string> FeedAddress(std::string_view typed);

// Whether `url` starts with "http://" or "https://" (in any letter case): an
// address the program can fetch.
bool IsWebUrl(std::string_view url);

// The form of `url` in which two addresses of the same feed are equal: the
// scheme and the host in lower case, and no port where it is the scheme's
// default (80 for http, 443 for https). User name, password, path and query
// stay exactly as written; an empty path counts as "/". A text that is not
// an http or https URL is its own key.
std::string FeedAddressKey(std::string_view url);

} // namespace tessarine
