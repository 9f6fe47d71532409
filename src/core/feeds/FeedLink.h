#pragma once
// Links that ask to subscribe. A browser hands the program a podcast link
// ("feed://...", "feed:https://...", "itpc://...", "podcast://...", or a
// plain http or https address) or a feed it saved (its path, or a "file:"
// URL); each comes to the web address of the feed to subscribe to, or to the
// reason why there is none.

#include <string>
#include <string_view>

namespace tessarine {

struct FeedLink {
    enum class Kind {
        Address,        // `address`: the feed's http or https URL, in its stored form
        NotALink,       // no podcast link and no local file: another scheme, no host
        Unreadable,     // the file at `path` could not be read
        NotAFeed,       // the file at `path` is no RSS or Atom feed
        NamesNoAddress, // the feed file at `path` names no web address of its own
    };
    Kind kind = Kind::NotALink;
    std::string address{};
    std::string path{}; // the local file's path, for a file link
};

// Whether `text` starts with a URL scheme of two letters or more and its
// colon ("feed:", "https:", "file:"; a drive "C:" is none).
bool HasUrlScheme(std::string_view text);

// Whether a program argument that is none of its switches is meant as a
// link: it starts with a URL scheme, or it is a path (a separator after its
// first character, or an existing file). A lone word such as "/foo" or "-x"
// is none.
bool IsLinkArgument(std::string_view argument);

// The feed `link` asks to subscribe to. A link with a scheme other than
// "file" is a feed's address as FeedAddress reads it. A "file:" URL (of no
// host or "localhost", percent-encoded) or a text without a scheme is a
// local path whose file is read: a saved feed names its address by the
// podcast directory's "new-feed-url" (the address it moved to) or else by
// its Atom "self" link.
FeedLink FeedOfLink(std::string_view link);

} // namespace tessarine
