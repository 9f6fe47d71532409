#pragma once
// Reading a fetched feed document: the channel's title and, per item, the
// enclosure URL with the texts the archive records.
//
// Two kinds of document are feeds. RSS: a root "rss" (or an RDF root, for
// RSS 1.0) with a "channel" element; the items are the channel's first "item"
// and every element after it (for RDF, where items stand beside the channel,
// the root's). Atom 1.0: a root "feed" in the Atom namespace (with or without
// a prefix); its "title" is the channel title, and each "entry" with a "link"
// of rel "enclosure" is an item, with the link's "href" as enclosure URL (of
// several, the first of an audio or video "type", else the first) and
// "title", "summary" (or "content") and "published" (or "updated") as title,
// description and date. Anything else (an HTML page, a document without a
// channel) is no feed.
//
// Elements of other vocabularies (the podcast directory's "new-feed-url",
// Media RSS) are known by the namespace their prefix is bound to, declared on
// the element or any element around it, whatever the prefix; a prefix bound
// to nothing counts when it is the vocabulary's usual one ("itunes",
// "media"), as feeds that forget the declaration still mean it.

#include "core/util/XmlText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

struct FeedItem {
    // "url" of the item's first "enclosure" whose "type" is audio or video,
    // else of its first "enclosure", trimmed.
    std::string enclosureUrl;
    int64_t enclosureLength = -1; // its "length" in bytes; -1 when absent, 0 or no number
    std::string title;        // texts of the first "title", "description" and
    std::string description;  // "pubDate" children, untrimmed, as valid UTF-8
    std::string pubDate;      // (see ValidUtf8); empty when absent
    // The text of the first RSS "guid" or Atom "id", trimmed, valid UTF-8;
    // empty when absent.
    std::string guid{};
    // Only for an item without an enclosure: the "url" of its first Media RSS
    // "content" (a child of the item or of a "group" in it) whose "type" or
    // "medium" is audio or video, trimmed; empty otherwise.
    std::string mediaUrl{};
    // The item's "itunes:duration" in seconds (see ParseDuration); -1 when
    // absent or not understood.
    int64_t duration = -1;
};

struct FeedDocument {
    bool wellFormed = false; // the parser reported no error
    bool hasChannel = false; // it is a feed: an RSS channel or an Atom feed
    bool atom = false;       // an Atom feed
    std::string
        channelTitle; // valid UTF-8, condensed (see CondensedText); empty when missing or blank
    std::vector<FeedItem> items{}; // items without an enclosure are left out
    // The items without an enclosure that have a mediaUrl, in document order.
    // Kept apart so that `items` stays what it has always been.
    std::vector<FeedItem> mediaItems{};
    // The address the podcast says it moved to: the text of the channel's
    // "new-feed-url" (podcast directory namespace) or of "redirect/newLocation"
    // (beside or in the channel, or a document that is only that notice),
    // trimmed, its stray bytes percent-encoded; empty when absent or not an
    // http or https URL. A redirect notice may name it without being a feed.
    std::string newFeedUrl{};
};

// A text nesting deeper than kMaxXmlDepth is read as not well-formed, without
// a channel.
FeedDocument ReadFeed(const std::string& text);

// The address a feed document gives for itself: the "href" of the first
// Atom "link" of rel "self" in the RSS channel or the Atom feed, trimmed, its
// stray bytes percent-encoded; empty when there is none that is an http or
// https URL, or `text` is no feed. A saved copy of a feed is known by it.
std::string FeedSelfUrl(const std::string& text);
// A running time as feeds write it: "H:MM:SS", "MM:SS" or whole seconds
// (a fraction of a second is dropped), blanks around it allowed. -1 for
// anything else: no digits, a part that is no number, minutes or seconds of
// 60 or more after a colon, more than three parts, or no time at all.
int64_t ParseDuration(std::string_view text);

// Leading and trailing white space removed.
std::string TrimWhiteSpace(std::string_view text);

} // namespace tessarine
