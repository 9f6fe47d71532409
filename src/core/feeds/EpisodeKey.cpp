#include "core/feeds/EpisodeKey.h"

#include <string_view>

namespace tessarine {

std::string EpisodeKey(const FeedItem& item) {
    if (!item.guid.empty())
        return "guid:" + item.guid;
    const std::string_view url = !item.enclosureUrl.empty() ? item.enclosureUrl : item.mediaUrl;
    if (!url.empty())
        return "url:" + std::string(url.substr(0, url.find_first_of("?#")));
    // The title's length first: no title and date can pass for another pair.
    const std::string title = TrimWhiteSpace(item.title);
    return "title:" + std::to_string(title.size()) + ":" + title + TrimWhiteSpace(item.pubDate);
}

} // namespace tessarine
