#pragma once
// Reading a fetched feed document: the channel's title and, per item, the
// enclosure URL with the texts the archive records.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

struct FeedItem {
    std::string enclosureUrl; // "url" of the first "enclosure", trimmed
    std::string title;        // texts of the first "title", "description" and
    std::string description;  // "pubDate" children, untrimmed; empty when absent
    std::string pubDate;
};

struct FeedDocument {
    bool wellFormed = false; // the parser reported no error
    bool hasChannel = false; // the first element has a child element
    std::string channelTitle;
    std::vector<FeedItem> items; // items without an "enclosure" element are left out
};

// A text that nests elements deeper than this is not handed to the XML
// parser: TinyXML follows nesting by recursion, on the calling thread's stack.
inline constexpr std::size_t kMaxXmlDepth = 1000;

// Whether the elements of an XML text nest deeper than `limit`, judged by a
// quick scan of its tags (comments, CDATA sections, declarations and quoted
// attribute values are skipped as the parser skips them).
bool NestsDeeperThan(std::string_view text, std::size_t limit);

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
