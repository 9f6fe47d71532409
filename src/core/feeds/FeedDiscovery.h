#pragma once
// Finding the feed of a podcast's web page. People often paste the address of
// the page they listen on instead of its feed's; such a page names its feed
// in its head, as browsers and feed readers expect:
//   <link rel="alternate" type="application/rss+xml" title="..." href="/feed">

#include <optional>
#include <string>
#include <string_view>

namespace tessarine {

// What a document that is not a feed says about the feed of its address.
struct PageFeed {
    enum class Kind {
        NotAPage,  // no HTML page either: nothing to find
        Named,     // a web page naming a feed: `url`
        NoneNamed, // a web page that names no feed
    };
    Kind kind = Kind::NotAPage;
    std::string url{}; // the first feed the page names, as an absolute http(s) URL
};

// `body`, fetched from `pageUrl` (the URL the page finally came from), judged
// as a web page: an HTML document (by its doctype or its "html" element) is a
// page, and the feed it names is the "href" of its first "link" element whose
// "rel" holds "alternate" and whose "type" is "application/rss+xml" or
// "application/atom+xml" (attributes in any order and letter case, quoted
// either way or not at all; comments, scripts and styles are passed over),
// resolved against `pageUrl` and put in its stored form (FeedAddress). A link
// that gives no http or https URL is passed over.
PageFeed FeedOfPage(std::string_view body, const std::string& pageUrl);

} // namespace tessarine
