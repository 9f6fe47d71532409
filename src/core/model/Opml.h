#pragma once
// Subscription lists in OPML, the outline format every podcast program can
// export and import: reading the feeds of any such document, adding them to
// the subscription list, and writing the list as an OPML 2.0 document.

#include "core/model/Subscription.h"

#include <cstddef>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessarine {

// The namespace of Tessarine's own outline attributes: a podcast's options
// (keep, paused, ...), each an attribute named by its key.
inline constexpr std::string_view kOpmlSettingsNamespace = "urn:tessarine:podcast-settings";
// The prefix an export binds that namespace to.
inline constexpr std::string_view kOpmlSettingsPrefix = "tessarine";

// The options of a podcast as an outline carries them: value by key.
using OpmlSettings = std::map<std::string, std::string>;
// The options of a subscription, by its URL.
using OpmlSettingsOf = std::function<OpmlSettings(const std::string& url)>;

// One outline that names a feed.
struct OpmlFeed {
    std::string url;   // its "xmlUrl", white space at either end removed
    std::string title; // its "text" (else "title"), condensed; may be empty
    // The outline's attributes in our namespace, by local name, as written;
    // the library checks them.
    OpmlSettings settings{};
};

// The feeds of an OPML document (1.0 or 2.0): every "outline" element with an
// "xmlUrl" attribute at any depth, whatever its "type", in document order.
// The document is read in the encoding it declares (see OpmlTextAsUtf8); the
// texts come out as UTF-8. None when the text is not a well-formed XML
// document whose root element is "opml". An attribute is in our namespace
// when its prefix is bound to kOpmlSettingsNamespace on the outline or on an
// element around it, whatever the prefix.
std::optional<std::vector<OpmlFeed>> ReadOpml(std::string_view bytes);

// The document's bytes as UTF-8, judged by its byte order mark or else by the
// encoding its XML declaration names: UTF-8 (also when none is named),
// UTF-16 in either byte order, ISO-8859-1, US-ASCII and windows-1252 (all
// three read as windows-1252, as browsers read them), ISO-8859-15. A byte
// that is not valid in the encoding, and every byte of a document in any
// other encoding that is not valid UTF-8, is read as the Latin-1 character of
// its value.
std::string OpmlTextAsUtf8(std::string_view bytes);

struct OpmlImportCounts {
    std::size_t added = 0;   // appended to the list
    std::size_t present = 0; // the feed was in the list already
    std::size_t skipped = 0; // not a feed's address (see FeedAddress)
};

// Appends every feed whose URL is the address of a feed (in the form
// FeedAddress makes of it) that the list does not hold yet, in any spelling
// (see SubscriptionList::AppendNew), as the subscribe command adds one:
// without a name (so "New Podcast", newly added). The caller guards the list
// and saves the settings afterwards.
OpmlImportCounts AddOpmlFeeds(SubscriptionList& list, const std::vector<OpmlFeed>& feeds);

// The text an export gives a subscription: its name, or its URL when it has
// no name of its own (empty, or the "New Podcast" placeholder of either
// language, which a record keeps until its first check).
std::string OpmlOutlineText(const Subscription& subscription);

// The list as an OPML 2.0 document in UTF-8: "head" with `title` and the
// creation date, and in "body" one outline of type "rss" per subscription in
// list order, with "text" and "title" (see OpmlOutlineText) and "xmlUrl".
// `settingsOf` gives the options of a subscription by its URL, written after
// "xmlUrl" in our namespace in the order of their keys (a key that cannot
// name an attribute is left out); the root element declares the namespace
// only when an outline carries one, so that a list without options is
// written as it always was.
std::string SerializeOpml(const SubscriptionList& list, std::string_view title, std::time_t created,
                          const OpmlSettingsOf& settingsOf = {});

// `t` in local time in the date format of e-mail headers, with four-digit
// year and the offset from UTC: "Mon, 28 Dec 2009 13:24:41 +0100".
std::string Rfc822Date(std::time_t t);

} // namespace tessarine
