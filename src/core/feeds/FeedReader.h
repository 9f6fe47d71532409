#pragma once
// Reading a fetched feed document: the channel's title and, per item, the
// enclosure URL with the texts the archive records.
//
// Two kinds of document are feeds. RSS: a root "rss" (or an RDF root, for
// RSS 1.0) with a "channel" element; the items are the channel's first "item"
// and every element after it (for RDF, where items stand beside the channel,
// the root's). Atom 1.0: a root "feed" in the Atom namespace (with or without
// a prefix); its "title" is the channel title, and each "entry" with a "link"
// of rel "enclosure" is an item, with the link's "href" as enclosure URL and
// "title", "summary" (or "content") and "published" (or "updated") as title,
// description and date. Anything else (an HTML page, a document without a
// channel) is no feed.

#include "core/util/XmlText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

struct FeedItem {
    std::string enclosureUrl; // "url" of the first "enclosure", trimmed
    int64_t enclosureLength = -1; // its "length" in bytes; -1 when absent, 0 or no number
    std::string title;        // texts of the first "title", "description" and
    std::string description;  // "pubDate" children, untrimmed, as valid UTF-8
    std::string pubDate;      // (see ValidUtf8); empty when absent
};

struct FeedDocument {
    bool wellFormed = false; // the parser reported no error
    bool hasChannel = false; // it is a feed: an RSS channel or an Atom feed
    bool atom = false;       // an Atom feed
    std::string
        channelTitle; // valid UTF-8, condensed (see CondensedText); empty when missing or blank
    std::vector<FeedItem> items{}; // items without an enclosure are left out
};

// A text nesting deeper than kMaxXmlDepth is read as not well-formed, without
// a channel.
FeedDocument ReadFeed(const std::string& text);

// Leading and trailing white space removed.
std::string TrimWhiteSpace(std::string_view text);

} // namespace tessarine
