#pragma once
// Reading a fetched feed document: the channel's title and, per item, the
// enclosure URL with the texts the archive records.

#include "subscriptions/XmlText.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

struct FeedItem {
    std::string enclosureUrl; // "url" of the first "enclosure", trimmed
    std::string title;        // texts of the first "title", "description" and
    std::string description;  // "pubDate" children, untrimmed, as valid UTF-8
    std::string pubDate;      // (see ValidUtf8); empty when absent
};

struct FeedDocument {
    bool wellFormed = false; // the parser reported no error
    bool hasChannel = false; // the first element has a child element
    std::string channelTitle; // valid UTF-8, condensed (see CondensedText)
    std::vector<FeedItem> items; // items without an "enclosure" element are left out
};

// A text nesting deeper than kMaxXmlDepth is read as not well-formed, without
// a channel.
FeedDocument ReadFeed(const std::string& text);

// Leading and trailing white space removed.
std::string TrimWhiteSpace(std::string_view text);

// The local file name for an enclosure URL: the last path segment, without
// query or fragment; "\" and control characters become "_"; an empty name,
// "." or ".." gives "output".
std::string FileNameFromUrl(const std::string& url);

} // namespace tessarine
