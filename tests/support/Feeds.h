#pragma once
// Building small RSS documents for tests.

#include <string>
#include <utility>
#include <vector>

namespace tessarine::test {

struct TestItem {
    std::string enclosureUrl;
    std::string title = "Episode";
    std::string description = "About it";
    std::string pubDate = "Wed, 28 Jan 2009 13:24:41 +0100";
};

inline std::string MakeFeed(const std::string& channelTitle, const std::vector<TestItem>& items) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>\n";
    text += "<title>" + channelTitle + "</title>\n<link>http://example.org/</link>\n";
    for (const TestItem& item : items) {
        text += "<item><title>" + item.title + "</title><description>" + item.description +
                "</description><pubDate>" + item.pubDate + "</pubDate><enclosure url=\"" +
                item.enclosureUrl + "\" length=\"1\" type=\"audio/mpeg\"/></item>\n";
    }
    text += "</channel></rss>\n";
    return text;
}

// An OPML document of `version` whose body holds `outlines` as written.
inline std::string MakeOpml(const std::string& outlines, const std::string& version = "2.0") {
    return "<?xml version=\"1.0\"?>\n<opml version=\"" + version +
           "\"><head><title>Feeds</title></head><body>\n" + outlines + "</body></opml>\n";
}

// A settings file listing `feeds` (URL and name, each written as given).
inline std::string MakeSettings(const std::vector<std::pair<std::string, std::string>>& feeds) {
    std::string text = "<TessarineSettings>";
    for (const auto& [url, name] : feeds)
        text += "<feed url='" + url + "'>" + name + "</feed>";
    return text + "</TessarineSettings>";
}

} // namespace tessarine::test
