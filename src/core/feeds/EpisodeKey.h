#pragma once
// What makes an item of a feed the same episode from one reading of the feed
// to the next, within its podcast.

#include "core/feeds/FeedReader.h"

#include <string>

namespace tessarine {

// The item's identity, one of three kinds, each with its own prefix so that
// a key of one kind never equals a key of another:
// - "guid:" and the guid, when the item has one. The feed's own name for the
//   episode outlives every change of its enclosure URL (a new query token,
//   another CDN host, a tracking prefix in front of the path), so such a
//   change keeps the episode and nothing is downloaded twice.
// - else "url:" and the enclosure URL (or, for an item without one, its
//   media URL) without query and fragment: without a guid the URL is all
//   there is, and its query is what changes most often for the same file
//   (signatures, expiring tokens, listener counters).
// - else "title:" with the title and the date: an item without a URL still
//   needs a key, and a title alone repeats in shows that reuse titles.
//   Blanks around either do not count.
std::string EpisodeKey(const FeedItem& item);

} // namespace tessarine
