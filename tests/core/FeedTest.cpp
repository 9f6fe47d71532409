// Reading feed documents, the cache of what was read, and the per-feed
// archive of fetched items.
#include "core/feeds/EnclosureNames.h"
#include "core/feeds/EpisodeFileName.h"
#include "core/feeds/EpisodeKey.h"
#include "core/feeds/FeedArchive.h"
#include "core/feeds/FeedCache.h"
#include "core/feeds/FeedDate.h"
#include "core/feeds/FeedDiscovery.h"
#include "core/feeds/FeedLink.h"
#include "core/feeds/FeedReader.h"
#include "core/files/BaseDirectory.h"
#include "core/update/PartialFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

using Texts = std::vector<std::string>;

// Everything a read document holds, to compare whole.
Texts Fields(const FeedDocument& d) {
    Texts out = {std::to_string(d.wellFormed) + std::to_string(d.hasChannel) +
                     std::to_string(d.atom),
                 d.channelTitle, d.newFeedUrl};
    for (const auto* list : {&d.items, &d.mediaItems})
        for (const FeedItem& i : *list)
            out.insert(out.end(), {i.enclosureUrl, std::to_string(i.enclosureLength), i.title,
                                   i.description, i.pubDate, i.guid, i.mediaUrl});
    return out;
}

// An item's texts as read: title|description|date.
std::string ItemTexts(const FeedItem& i) {
    return i.title + "|" + i.description + "|" + i.pubDate;
}

// The flags of Fields, the channel title and the enclosure URLs.
std::string Summary(const FeedDocument& d) {
    std::string out = Fields(d)[0] + "|" + d.channelTitle + "|";
    for (size_t i = 0; i < d.items.size(); ++i)
        out += (i ? "," : "") + d.items[i].enclosureUrl;
    return out;
}

// Summary, then what the episode library reads: the new address, the items'
// guids and the media URLs of items without an enclosure.
std::string LibrarySummary(const FeedDocument& d) {
    std::string out = Summary(d) + " / " + d.newFeedUrl + "|";
    for (size_t i = 0; i < d.items.size(); ++i)
        out += (i ? "," : "") + d.items[i].guid;
    out += "|";
    for (size_t i = 0; i < d.mediaItems.size(); ++i)
        out += (i ? "," : "") + d.mediaItems[i].mediaUrl + "#" + d.mediaItems[i].guid;
    return out;
}

const std::string kHead = "<?xml version=\"1.0\" ?>\r\n<TessarineFeed>\r\n";
const std::string kTail = "</TessarineFeed>\r\n";

std::string ItemXml(const std::string& title, const std::string& description,
                    const std::string& link, const std::string& pubDate) {
    return "    <item>\r\n        <title>" + title + "</title>\r\n        <description>" +
           description + "</description>\r\n        <link>" + link +
           "</link>\r\n        <pubDate>" + pubDate + "</pubDate>\r\n    </item>\r\n";
}

} // namespace

TEST(FeedReader, ChannelsItemsAtomRdfAndDocumentsThatAreNoFeeds) {
    // Items start at the channel's first "item" and take every element after it;
    // only an item's first "enclosure" element counts, its "url" trimmed.
    const FeedDocument feed = ReadFeed(R"(<?xml version="1.0"?><!-- c --><rss><channel>
  <entry><enclosure url="before the first item"/></entry><image><title>inner</title></image>
  <title>  Morning &amp;
     Night </title><title>later</title>
  <item><title>Episode 1</title><description><![CDATA[ <b>bold</b> ]]></description>
    <pubDate>Mon, 01 Jan 2024</pubDate>
    <enclosure url=" &#x9;http://h/1.mp3?a=1&amp;b=2&#10;"/><enclosure url="http://h/2.mp3"/></item>
  <item><title>no enclosure</title></item><item><enclosure/><title>no url</title></item><!-- c -->
  <episode><Enclosure url="http://h/upper.mp3"/><enclosure url="http://h/lower.mp3"/></episode>
  <item><media><enclosure url="http://h/nested.mp3"/></media></item>
</channel><channel><item><enclosure url="second channel"/></item></channel></rss>)");
    EXPECT_EQ(Summary(feed), "110|Morning & Night|http://h/1.mp3?a=1&b=2,,http://h/lower.mp3");
    // Item texts are kept as they are.
    EXPECT_EQ(ItemTexts(feed.items[0]), "Episode 1| <b>bold</b> |Mon, 01 Jan 2024");
    EXPECT_EQ(feed.items[1].title, "no url");

    // Atom 1.0, with or without a prefix: the first enclosure link of each
    // entry; summary before content, published before updated.
    for (const std::string prefix : {"", "a:"}) {
        std::string text =
            "<?xml version=\"1.0\"?><$feed xmlns$=\"http://www.w3.org/2005/Atom\"><$title> Atom   "
            "Show </$title><$entry><$title>One</$title><$link href=\"http://h/page\"/>"
            "<$link rel=\"enclosure\" href=\" media/1.mp3 \"/><$link rel=\"enclosure\" "
            "href=\"second.mp3\"/><$summary>S</$summary><$content>C</$content><$published>"
            "2024-01-01T00:00:00Z</$published><$updated>U</$updated></$entry><$entry><$title>No "
            "enclosure</$title><$link href=\"http://h/x\"/></$entry><$entry><$link "
            "rel=\"enclosure\" "
            "href=\"http://h/2.mp3\"/><$content>C2</$content><$updated>U2</$updated></$entry></"
            "$feed>";
        text.replace(text.find("xmlns$"), 6, prefix.empty() ? "xmlns" : "xmlns:a");
        for (size_t at; (at = text.find('$')) != std::string::npos;)
            text.replace(at, 1, prefix);
        const FeedDocument atom = ReadFeed(text);
        ASSERT_EQ(Summary(atom), "111|Atom Show|media/1.mp3,http://h/2.mp3") << text;
        EXPECT_EQ(ItemTexts(atom.items[0]), "One|S|2024-01-01T00:00:00Z");
        EXPECT_EQ(ItemTexts(atom.items[1]), "|C2|U2");
    }

    std::string deep = "<rss><channel><title>T</title>";
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    const std::pair<std::string, std::string> cases[] = {
        // RSS 1.0: the items stand beside the channel.
        {"<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><channel><title>R"
         "</title></channel><item><title>I</title><enclosure url=\"http://h/r.mp3\"/></item>"
         "</rdf:RDF>",
         "110|R|http://h/r.mp3"},
        // A channel that is not the first child, without a title or with blanks.
        {"<rss><image/><channel><title> \t </title><item><enclosure "
         "url='u'/></item></channel></rss>",
         "110||u"},
        // A body cut off in the middle still yields what came before the cut.
        {"<rss><channel><title>T</title><item><enclosure url=\"u1\"/></item><item><enclosure "
         "url=\"u2\"/></it",
         "010|T|u1,u2"},
        // Not feeds: an error page, items without a channel, a "feed" of another
        // namespace, an empty document (an "rss" without channel and a "feed"
        // of no namespace: the peer feeds).
        {"<html><head><title>Service Unavailable</title></head><body><p>x</p></body></html>",
         "100||"},
        {"<rss><item><title>Item</title><enclosure url='u'/></item></rss>", "100||"},
        {"<feed xmlns=\"http://example.org/other\"><title>T</title></feed>", "100||"},
        {"", "000||"},
        // Deep enough to overflow the stack of a parser that recurses per level.
        {deep, "000||"},
    };
    for (const auto& [text, summary] : cases)
        EXPECT_EQ(Summary(ReadFeed(text)), summary) << text.substr(0, 200);
    // Many siblings do not add up to depth.
    std::string wide = "<rss><channel>";
    for (int i = 0; i < 20000; ++i)
        wide += "<item><title a=\"x/\">t</title><enclosure url='u'/></item>";
    EXPECT_EQ(ReadFeed(wide + "</channel></rss>").items.size(), 20000u);
}

TEST(FeedReader, GuidsMovedFeedsAndMediaContent) {
    const std::string itunes = "\"http://www.itunes.com/dtds/podcast-1.0.dtd\"";
    const std::string media = " xmlns:m=\"http://search.yahoo.com/mrss/\"";
    const std::pair<std::string, std::string> cases[] = {
        // clang-format off
        // Guids and Atom ids trimmed and made valid UTF-8; none is empty.
        {"<rss><channel><item><guid isPermaLink=\"false\">\n abc \t</guid><enclosure url=\"u1\"/>"
         "</item><item><enclosure url=\"u2\"/></item><item><guid>caf\xE9</guid><enclosure "
         "url=\"u3\"/></item></channel></rss>",
         "110||u1,u2,u3 / |abc,,caf\xC3\xA9|"},
        {"<a:feed xmlns:a=\"http://www.w3.org/2005/Atom\"><a:entry><a:id> urn:x </a:id><id>no</id>"
         "<a:link rel=\"enclosure\" href=\"u\"/></a:entry></a:feed>",
         "111||u / |urn:x|"},
        // The new address by any prefix bound to the directory's namespace,
        // on the root or on the element; the usual prefix undeclared; not
        // when that prefix means something else.
        {"<rss xmlns:pod=" + itunes + "><channel><pod:new-feed-url> https://new.example/f?a=1 "
         "</pod:new-feed-url></channel></rss>", "110|| / https://new.example/f?a=1||"},
        {"<rss><channel><x:new-feed-url xmlns:x=" + itunes + ">http://n/\xFF</x:new-feed-url>"
         "</channel></rss>", "110|| / http://n/%FF||"},
        {"<rss><channel><itunes:new-feed-url>http://n/</itunes:new-feed-url></channel></rss>",
         "110|| / http://n/||"},
        {"<rss xmlns:itunes=\"http://example.org/other\"><channel><itunes:new-feed-url>http://n/"
         "</itunes:new-feed-url><new-feed-url>http://plain/</new-feed-url></channel></rss>",
         "110|| / ||"},
        // Only http and https addresses; the first usable one counts, then
        // redirect/newLocation in the channel, beside it, or all there is.
        {"<rss><channel><itunes:new-feed-url>ftp://n/f</itunes:new-feed-url><itunes:new-feed-url>"
         "http://</itunes:new-feed-url><itunes:new-feed-url>feed.xml</itunes:new-feed-url>"
         "</channel></rss>", "110|| / ||"},
        {"<rss><channel><itunes:new-feed-url>mailto:x@y</itunes:new-feed-url><redirect><newLocation>"
         " HTTPS://r/ </newLocation></redirect></channel></rss>", "110|| / HTTPS://r/||"},
        {"<rss><redirect><newLocation>\n  http://r/rss.xml\n</newLocation></redirect><channel/></rss>",
         "110|| / http://r/rss.xml||"},
        {"<redirect><newLocation>http://r/x</newLocation></redirect>", "100|| / http://r/x||"},
        {"<html><redirect><newLocation>http://r/x</newLocation></redirect></html>", "100|| / ||"},
        // An item without an enclosure: its first audio or video content,
        // also in a group, by type or medium; never a picture. One with an
        // enclosure stays as it was; one with only a picture is left out.
        {"<rss" + media + "><channel><item><guid>g1</guid><m:content url=\"http://h/c.jpg\" "
         "type=\"image/jpeg\"/><m:group><m:thumbnail url=\"http://h/t.jpg\"/><m:content "
         "url=\" http://h/g.mp3 \" type=\"audio/mpeg\"/></m:group><m:content url=\"http://h/l.mp4\" "
         "medium=\"video\"/></item><item><media:content url=\"http://h/v.mp4\" medium=\" Video \"/>"
         "</item><item><enclosure url=\"http://h/e.mp3\"/><m:content url=\"http://h/no.mp3\" "
         "type=\"audio/mpeg\"/></item><item><m:content url=\"http://h/i.png\" medium=\"image\"/>"
         "<m:content type=\"audio/mpeg\"/></item><item><x:content xmlns:x=\"urn:other\" "
         "url=\"http://h/x.mp3\" type=\"audio/mpeg\"/></item></channel></rss>",
         "110||http://h/e.mp3 / ||http://h/g.mp3#g1,http://h/v.mp4#"},
        {"<feed xmlns=\"http://www.w3.org/2005/Atom\"" + media + "><entry><id>e</id><m:content "
         "url=\"http://h/a.m4a\" type=\"Audio/MP4\"/></entry></feed>",
         "111|| / ||http://h/a.m4a#e"},
        // clang-format on
    };
    for (const auto& [text, summary] : cases)
        EXPECT_EQ(LibrarySummary(ReadFeed(text)), summary) << text;
}

// The running time of an item: the forms feeds write, and odd values left out.
TEST(FeedReader, ItunesDuration) {
    const std::pair<const char*, int64_t> forms[] = {
        {"1:02:03", 3723}, {"02:03", 123}, {"75:30", 4530}, {"3723", 3723}, {" 45\n", 45},
        {"0:00:07", 7},    {"1834.5", 1834}, {"12:03.250", 723}, {"10:00:00:00", -1},
        {"1:60:00", -1},   {"5:75", -1},     {"", -1},        {"0", -1},        {"0:00", -1},
        {"-5", -1},        {"1h30m", -1},    {"1::2", -1},    {":30", -1},      {"30.", -1},
        {"1:2:3", 3723},   {"9999999999", -1},
    };
    for (const auto& [text, seconds] : forms)
        EXPECT_EQ(ParseDuration(text), seconds) << text;

    // Read from an item by the directory's namespace, whatever its prefix,
    // in RSS and Atom; not by a prefix bound to something else.
    const FeedDocument rss = ReadFeed(
        "<rss xmlns:i=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"><channel>"
        "<item><enclosure url=\"u1\"/><i:duration>1:00</i:duration></item>"
        "<item><enclosure url=\"u2\"/><itunes:duration>42</itunes:duration></item>"
        "<item><enclosure url=\"u3\"/><x:duration xmlns:x=\"urn:other\">42</x:duration>"
        "<duration>9</duration></item>"
        "<item><enclosure url=\"u4\"/><itunes:duration>soon</itunes:duration></item>"
        "</channel></rss>");
    std::string durations;
    for (const FeedItem& item : rss.items)
        durations += std::to_string(item.duration) + " ";
    EXPECT_EQ(durations, "60 42 -1 -1 ");
    const FeedDocument atom = ReadFeed(
        "<feed xmlns=\"http://www.w3.org/2005/Atom\" "
        "xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"><entry><link rel=\"enclosure\" "
        "href=\"u\"/><itunes:duration>01:00:00</itunes:duration></entry></feed>");
    EXPECT_EQ(atom.items.at(0).duration, 3600);
}

TEST(FeedReader, EpisodeKeys) {
    const auto item = [](std::string url, std::string guid, std::string title = "",
                         std::string date = "", std::string mediaUrl = "") {
        FeedItem i;
        i.enclosureUrl = std::move(url), i.guid = std::move(guid), i.title = std::move(title);
        i.pubDate = std::move(date), i.mediaUrl = std::move(mediaUrl);
        return i;
    };
    const std::pair<FeedItem, std::string> cases[] = {
        // A guid outlives every change of the URL.
        {item("http://cdn1/e.mp3?token=1", "g"), "guid:g"},
        {item("http://track/r/cdn2/e.mp3?token=2", "g", "T", "D"), "guid:g"},
        // Without one, the URL without query and fragment, the media URL
        // for an item without an enclosure.
        {item("http://h/e.mp3?token=1#t=10", ""), "url:http://h/e.mp3"},
        {item("http://h/e.mp3#t=1?x", ""), "url:http://h/e.mp3"},
        {item("", "", "T", "D", "http://h/v.mp4?s=1"), "url:http://h/v.mp4"},
        // Without a URL, title and date, trimmed; the title's length keeps
        // the pairs apart.
        {item("", "", " Ep 1 ", " Mon "), "title:4:Ep 1Mon"},
        {item("", "", "Ep 1M", "on"), "title:5:Ep 1Mon"},
        {item("", "", "", ""), "title:0:"},
        // No kind passes for another.
        {item("", "url:http://h/e.mp3"), "guid:url:http://h/e.mp3"},
        {item("", "", "url:http://h/e.mp3"), "title:18:url:http://h/e.mp3"},
    };
    for (const auto& [i, key] : cases)
        EXPECT_EQ(EpisodeKey(i), key) << i.enclosureUrl << " " << i.guid << " " << i.title;
}

TEST(FeedReader, FileNameFromUrl) {
    for (const auto& [url, name] :
         std::map<std::string, std::string>{{"http://h/ep.mp3#t=10", "ep.mp3"},
                                            {"http://h/a?x=/y.mp3", "a"},
                                            {"http://h/feed/", "output"},
                                            {"http://h/a/..", "output"},
                                            {"http://h/..\\..\\x", ".._.._x"},
                                            {"http://h/tab\there\x7F.mp3", "tab_here_.mp3"},
                                            {"http://h/a%2Fb%20c.mp3", "a%2Fb%20c.mp3"}})
        EXPECT_EQ(FileNameFromUrl(url), name) << url;
}

// Dates as feeds write them, shown as the store keeps them; "" where none
// may be read.
TEST(FeedDate, Rfc822AndRfc3339AsFeedsWriteThem) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Tue, 08 Dec 2026 10:00:00 +0100", "2026-12-08T09:00:00Z"},
        {"08 Dec 2026 10:00 GMT", "2026-12-08T10:00:00Z"},
        {" \n tue,  8 dec 26 10:00:00 est \t", "2026-12-08T15:00:00Z"},
        {"Tuesday, 08-Dec-26 10:00:00 PDT", "2026-12-08T17:00:00Z"},
        {"Thu, 08 December 2026 10:00:00 +01:00", "2026-12-08T09:00:00Z"}, // wrong day name
        {"Wed, 31 Dec 69 23:59:59 Z", "1969-12-31T23:59:59Z"},
        {"Sat, 1 Jan 00 00:00:00 A", "2000-01-01T00:00:00Z"}, // military letters tell nothing
        {"Tue, 08 Dec 2026 10:00:00 PM EST", "2026-12-09T03:00:00Z"},
        {"Tue, 08 Dec 2026 12:30 am CET", "2026-12-07T23:30:00Z"},
        {"Tue Dec  8 10:00:00 2026", "2026-12-08T10:00:00Z"},
        {"Tue Dec 08 2026 10:00:00 GMT+0100 (Central European Time)", "2026-12-08T09:00:00Z"},
        {"Dec 8, 2026", "2026-12-08T00:00:00Z"},
        {"Tue, 29 Feb 2028 00:00:00 GMT", "2028-02-29T00:00:00Z"},
        {"Thu, 31 Dec 2026 23:59:60 +0000", "2027-01-01T00:00:00Z"},
        {"2026-12-08T10:00:00Z", "2026-12-08T10:00:00Z"},
        {"2026-12-08T10:00:00.123+01:00", "2026-12-08T09:00:00Z"},
        {"2026-12-08t10:00:00-05:30", "2026-12-08T15:30:00Z"},
        {"2026-12-08T10:00:00+0100", "2026-12-08T09:00:00Z"},
        {"2026-12-08 10:00", "2026-12-08T10:00:00Z"},
        {" 2026-12-08 ", "2026-12-08T00:00:00Z"},
    };
    for (const auto& [text, iso] : cases) {
        const std::optional<std::time_t> t = ParseFeedDate(text);
        EXPECT_EQ(t ? IsoDateTime(*t) + " " + IsoDate(*t) : "", iso + " " + iso.substr(0, 10))
            << text;
    }
    for (const char* text :
         {"", "Tue, 08 Foo 2026 10:00:00 GMT", "Foo, 08 Dec 2026 10:00:00 GMT",
          "Sat, 29 Feb 2025 10:00:00 GMT", "Tue, 08 Dec 2026 10:60:00 GMT",
          "Tue, 08 Dec 2026 13:00 pm", "Tue, 08 Dec 226 10:00:00 GMT", "Tue, 08 Dec 2026 10:00:00 +2500",
          "Tue, 08 Dec 2026 10:00:00 +0100 later", "Tue, 08 Dec 2026 10:00:00 (unclosed",
          "2026-13-08T10:00:00Z", "2026-02-30", "2026-12-08T24:00:00Z", "2026-12-08T10:00:00Zjunk",
          "2026-12-8"})
        EXPECT_FALSE(ParseFeedDate(text)) << text;
    EXPECT_EQ(IsoDateTime(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(IsoDateTime(-86401), "1969-12-30T23:59:59Z");
}

TEST(EpisodeFileName, PatternsPlaceholdersAndUnsafeTitles) {
    for (const auto& [pattern, ok] : std::vector<std::pair<std::string, bool>>{
             {"{date} {title}.{ext}", true}, {"{title}", true}, {"a/b {date}", true},
             {"{podcast}.{ext}", false},     {"", false},       {"{title", false},
             {"title}", false},              {"{Title}", false}, {"{title}{}", false},
             {"{{title}}", false},           {"{x} {title}", false}})
        EXPECT_EQ(IsFileNamePattern(pattern), ok) << pattern;

    const EpisodeNameParts parts{"2026-12-08", "Episode 12", "Show", "media.m4a"};
    const auto with = [&](std::string title, std::string date = "2026-12-08",
                          std::string urlName = "media.m4a") {
        return EpisodeNameParts{std::move(date), std::move(title), "Show", std::move(urlName)};
    };
    const std::string longTitle = std::string(250, 'x') + "   " + std::string(100, 'y');
    const std::vector<std::tuple<std::string, EpisodeNameParts, std::string>> cases = {
        {"{date} {title}.{ext}", parts, "2026-12-08 Episode 12.m4a"},
        {"{podcast} - {title}.{ext}", parts, "Show - Episode 12.m4a"},
        {"{title}", parts, "Episode 12"},
        {"{title}.{ext}", with("Episode 12", "", "media"), "Episode 12.mp3"},
        {"{title} {date}.{ext}", with("Episode 12", ""), "Episode 12.m4a"},
        {"{date} {title}.{ext}", with(" \tEpisode\r\n  12 \n", ""), "Episode 12.m4a"},
        {"{title}.{ext}", with("  ../../etc/passwd\n"), ".._.._etc_passwd.m4a"},
        {"{title}.{ext}", with("a\\b/c\x01" "d\x7F"), "a_b_c_d_.m4a"},
        {"{title}", with(".."), "__"},
        {"{title}", with("Tessarine Settings.xml"), "Tessarine Settings.xml_"},
        {"{title}.{ext}", with(longTitle), std::string(250, 'x') + ".m4a"},
        {"{title} {date}", with("", ""), "media.m4a"},
        {"{title}.{ext}", with("", "", "a/b"), "a_b"},
        {"{title}", with(" ", "", ""), "output"},
        {"{podcast}.{ext}", parts, "media.m4a"},
    };
    for (const auto& [pattern, p, name] : cases) {
        SCOPED_TRACE(pattern + " / " + p.title);
        EXPECT_EQ(PatternFileName(pattern, p), name);
    }
    // Hundreds of bytes of UTF-8 are cut between characters, keeping the
    // extension.
    std::string umlauts;
    for (int i = 0; i < 300; ++i)
        umlauts += "\xC3\xA4";
    const std::string name = PatternFileName("{date} {title}.{ext}", with(umlauts));
    EXPECT_EQ(name, "2026-12-08 " + umlauts.substr(0, 240) + ".m4a");
}

TEST(FeedOfPage, TheFirstFeedAPageNamesResolvedAgainstThePage) {
    const std::string page = "https://show.example/podcast/index.html";
    const auto html = [](const std::string& head) {
        return "<!DOCTYPE html>\n<html lang=en><head><meta charset=utf-8>" + head +
               "</head><body><a href=\"/feed.xml\">Feed</a></body></html>";
    };
    using Kind = PageFeed::Kind;
    const struct {
        std::string body;
        Kind kind;
        std::string url;
    } cases[] = {
        // clang-format off
        // (A plain link, and a page without one: the engine's page scenario.)
        // Attribute order, letter case, quotes as pages write them; relative to the page.
        {html("<LINK HREF='rss?x=1&amp;y=2' TYPE='Application/RSS+XML; charset=utf-8' REL='Alternate'/>"),
         Kind::Named, "https://show.example/podcast/rss?x=1&y=2"},
        {html("<link type=application/atom+xml rel=\"home alternate\" href=//cdn.example/atom>"),
         Kind::Named, "https://cdn.example/atom"},
        {html("<link rel=\"alternate\" type=\"application/rss+xml\" href=\"feed://feeds.example/x\">"),
         Kind::Named, "http://feeds.example/x"},
        // The first feed named; other links, a commented-out one and one in a
        // script are passed over, so is one giving no web address.
        {html("<link rel=stylesheet href=s.css><!-- <link rel=alternate type=application/rss+xml href=/old> -->"
              "<script>var s='<link rel=alternate type=application/rss+xml href=/js>';</script>"
              "<link rel=\"alternate\" type=\"text/html\" href=\"/de/\">"
              "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"mailto:x@y\">"
              "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"/first\">"
              "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/second\">"),
         Kind::Named, "https://show.example/first"},
        {html("<link rel=alternate type=application/rss+xml>"), Kind::NoneNamed, ""},
        {"\xEF\xBB\xBF\n<!-- generated -->\n<HTML><head></head></HTML>", Kind::NoneNamed, ""},
        // Not a page: nothing to find.
        {"<rss><channel><link rel=alternate type=application/rss+xml href=/x></channel></rss>",
         Kind::NotAPage, ""},
        {"", Kind::NotAPage, ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        const PageFeed found = FeedOfPage(c.body, page);
        EXPECT_EQ(found.kind, c.kind) << c.body;
        EXPECT_EQ(found.url, c.url) << c.body;
    }
}

// Links a browser hands the program: podcast links become the feed's web
// address (each scheme: FeedAddress's cases; a mailto: link: the main
// window's); a saved feed file gives the address it names for itself (the
// one it moved to first), read from its path or its file: URL.
TEST(FeedLink, PodcastLinksAndSavedFeedFiles) {
    TempDir dir;
    const std::string atom = " xmlns:atom=\"http://www.w3.org/2005/Atom\"";
    const std::string self = "<atom:link rel=\" Self \" type=\"application/rss+xml\" "
                             "href=\" https://h.example/self.xml \"/>";
    const std::pair<std::string, std::string> files[] = {
        // clang-format off
        {"saved copy.xml", "<rss" + atom + "><channel><title>T</title><atom:link rel=\"alternate\" "
                           "href=\"http://h.example/page\"/>" + self + "</channel></rss>"},
        {"moved.xml", "<rss" + atom + "><channel>" + self + "<itunes:new-feed-url>"
                      "http://new.example/f</itunes:new-feed-url></channel></rss>"},
        {"atom.xml", "<feed xmlns=\"http://www.w3.org/2005/Atom\"><link href=\"http://h.example/\"/>"
                     "<link rel=\"self\" href=\"http://h.example/atom\"/></feed>"},
        // A "link" of RSS's own, a relative or non-web self link: no address.
        {"none.xml", "<rss><channel><link rel=\"self\" href=\"http://h.example/rss\"/>"
                     "<x:link xmlns:x=\"urn:other\" rel=\"self\" href=\"http://h.example/x\"/>"
                     "<atom:link rel=\"self\" href=\"/feed.xml\"/></channel></rss>"},
        {"page.html", "<!DOCTYPE html><html><head><link rel=\"self\" href=\"http://h/\"/></head></html>"},
        // clang-format on
    };
    for (const auto& [name, text] : files)
        WriteFile(dir.Path() / name, text);
    const std::string folder = dir.Path().string();
    using Kind = FeedLink::Kind;
    const struct {
        std::string link;
        Kind kind;
        std::string address; // or, for a file's kinds, its path
    } cases[] = {
        // clang-format off
        {"podcast://h.example:8080/f?x=1", Kind::Address, "http://h.example:8080/f?x=1"},
        {"https://h.example/f.xml", Kind::Address, "https://h.example/f.xml"},
        {"feed:", Kind::NotALink, ""},
        {"file://elsewhere/tmp/f.xml", Kind::NotALink, ""},
        // Files by path and by URL, percent-encoded, of no host or localhost.
        {folder + "/saved copy.xml", Kind::Address, "https://h.example/self.xml"},
        {"file://" + folder + "/saved%20copy.xml", Kind::Address, "https://h.example/self.xml"},
        {"FILE://localhost" + folder + "/moved.xml", Kind::Address, "http://new.example/f"},
        {"file:" + folder + "/atom.xml", Kind::Address, "http://h.example/atom"},
        {folder + "/none.xml", Kind::NamesNoAddress, folder + "/none.xml"},
        {folder + "/page.html", Kind::NotAFeed, folder + "/page.html"},
        {folder + "/missing.xml", Kind::Unreadable, folder + "/missing.xml"},
        {"file://" + folder, Kind::Unreadable, folder},
        // clang-format on
    };
    for (const auto& c : cases) {
        const FeedLink found = FeedOfLink(c.link);
        EXPECT_EQ(found.kind, c.kind) << c.link;
        EXPECT_EQ(c.kind == Kind::Address ? found.address : found.path, c.address) << c.link;
    }

    // Which program arguments are links: a scheme of two letters or more, or
    // a path; a lone switch word is none.
    // clang-format off
    const std::pair<std::string, bool> arguments[] = {
        {"feed://h/f", true}, {"localhost:8080/f", true}, {"dir/f.xml", true},
        {folder + "/none.xml", true}, {"/checkandquit", false}, {"-x", false},
        {"donotcheck", false}, {"c:", false}, {"", false}};
    // clang-format on
    for (const auto& [argument, link] : arguments)
        EXPECT_EQ(IsLinkArgument(argument), link) << argument;
}

TEST(EnclosureNames, OneDistinctStableNamePerUrl) {
    // Unique names stay as the URL gives them; shared and reserved ones get a
    // tag of the whole URL ("#") before the extension.
    const std::pair<std::string, std::string> cases[] = {
        {"http://h/s/show/e/1/media.mp3", "media-#.mp3"},
        {"http://h/s/show/e/2/MEDIA.mp3", "MEDIA-#.mp3"}, // same but for case
        {"http://h/solo.mp3", "solo.mp3"},
        {"http://h/solo.mp3", "solo.mp3"}, // the same URL twice: one file
        {"http://h/Tessarine%20Settings.xml", "Tessarine%20Settings.xml"},
        {"http://h/ep.mp3.tessarine-part", "ep.mp3.tessarine-part-#"},
        {"http://h/feed.xml.tmp12-0", "feed.xml-#.tmp12-0"}};
    std::vector<std::string> urls;
    for (const auto& [url, name] : cases)
        urls.push_back(url);
    const EnclosureNames names(urls);
    for (auto [url, name] : cases) {
        if (const size_t tag = name.find('#'); tag != std::string::npos)
            name.replace(tag, 1, EnclosureNames::Tag(url, 8));
        EXPECT_EQ(names.NameOf(url), name) << url;
    }
    // The order of the feed does not matter; a URL that leaves the feed
    // changes no name but that of a URL whose name it shared.
    std::vector<std::string> reversed(urls.rbegin(), urls.rend() - 1);
    const EnclosureNames later(reversed);
    for (size_t i = 1; i < urls.size(); ++i)
        EXPECT_EQ(later.NameOf(urls[i]), i == 1 ? "MEDIA.mp3" : names.NameOf(urls[i])) << urls[i];
    for (const char* reserved :
         {"feed.xml", "FEED.XML", "Tessarine Settings.xml", "Tessarine Settings.xml.tmp1-2",
          ".x.Tessarine-Part", "Tessarine Settings.xml.unreadable-20261207-120000",
          ".Tessarine.lock", ".x.mp3.tessarine-resume", "Tessarine Episodes.db",
          "TESSARINE EPISODES.DB-journal"})
        EXPECT_TRUE(EnclosureNames::IsReserved(reserved)) << reserved;
    for (const char* free :
         {"feed.xml.part", "feed.xm", "ep.mp3", "tessarine-part", "x.tessarine-resume.mp3"})
        EXPECT_FALSE(EnclosureNames::IsReserved(free)) << free;
}

TEST(EnclosureNames, TagsThatMeetOtherNamesAndOverlongNames) {
    // A plain name that happens to be another URL's tagged name keeps it; the
    // tagged one moves on to a longer tag.
    const std::string a = "http://h/1/ep.mp3", b = "http://h/2/ep.mp3";
    const std::string taken = "ep-" + EnclosureNames::Tag(a, 8) + ".mp3";
    const EnclosureNames names({a, b, "http://h/" + taken});
    EXPECT_EQ(names.NameOf("http://h/" + taken), taken);
    EXPECT_EQ(names.NameOf(a), "ep-" + EnclosureNames::Tag(a, 16) + ".mp3");
    EXPECT_EQ(names.NameOf(b), "ep-" + EnclosureNames::Tag(b, 8) + ".mp3");

    // 86 CJK characters are 258 bytes: cut to fit at a character boundary,
    // keeping the extension, also when tagged (two names alike in their first
    // 255 bytes: the engine's naming scenario).
    std::string cjk;
    for (int i = 0; i < 86; ++i)
        cjk += "\xE6\xBC\xA2";
    const std::string one = "http://h/" + cjk + ".mp3", two = "http://h/" + cjk + "x.mp3";
    EXPECT_EQ(EnclosureNames({one}).NameOf(one), cjk.substr(0, 249) + ".mp3");
    const std::string tagged = EnclosureNames({one, two}).NameOf(two);
    EXPECT_EQ(ValidUtf8(tagged), tagged);

    // Partial files of two long names alike in their first bytes stay apart.
    const std::string longName = "/b/" + std::string(250, 'n') + ".mp3";
    EXPECT_NE(PartialFile::PathFor(longName), PartialFile::PathFor(longName.substr(0, 253) + "p3"));
}

// Real-world feeds with what another podcast parser extracted from them: they
// must read without fault, and agree with it where the reading rules agree.
TEST(FeedReader, PeerFeeds) {
    const std::filesystem::path dir = test::PeerFeedsDir();
    if (dir.empty())
        GTEST_SKIP() << "no peer feeds";
    TempDir cacheDir;
    const FeedCache cache(cacheDir.Path().string());
    // Found in the JSON text as it is: the expectation files use no escapes.
    const auto holds = [](const std::string& json, const std::string& key,
                          const std::string& text) {
        return json.find("\"" + key + "\": \"" + text + "\"") != std::string::npos;
    };
    int titles = 0, urls = 0, guids = 0, moves = 0, dates = 0, datesRead = 0, durations = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::filesystem::path path = entry.path();
        if (path.extension() != ".rss")
            continue;
        SCOPED_TRACE(path.filename().string());
        const std::string text = test::ReadFile(path);
        const FeedDocument feed = ReadFeed(text);
        // The cache gives the document back exactly as it was read.
        const std::string url = "http://127.0.0.1/" + path.filename().string();
        ASSERT_TRUE(cache.Store(url, CachedFeed{.document = feed}));
        EXPECT_EQ(Fields(cache.Load(url).value_or(CachedFeed{}).document), Fields(feed));
        const std::string json = test::ReadFile(path.replace_extension(".json"));
        ASSERT_EQ(json.find('\\'), std::string::npos);
        // Every document there is an RSS channel or an Atom feed but those
        // that have neither (a redirect notice, an Atom document without
        // namespace).
        const bool rss = text.find("<channel") != std::string::npos;
        const bool atom =
            text.find("<feed xmlns=\"http://www.w3.org/2005/Atom\"") != std::string::npos;
        EXPECT_EQ(feed.hasChannel, rss || atom);
        EXPECT_EQ(feed.atom, atom);
        // Addresses the feed moved to agree, also in a redirect notice.
        const bool moved = json.find("\"new_url\"") != std::string::npos;
        EXPECT_EQ(!feed.newFeedUrl.empty(), moved);
        if (moved) {
            EXPECT_TRUE(holds(json, "new_url", feed.newFeedUrl)) << feed.newFeedUrl;
            ++moves;
        }
        // Durations agree (none is 0 there), however the document names the
        // iTunes namespace. The feeds that give one have no enclosures, so
        // each item gets one here to be read at all.
        if (json.find("\"total_time\": ") != std::string::npos &&
            json.find("\"total_time\": 0") == std::string::npos) {
            std::string enclosed = text;
            for (size_t at = 0; (at = enclosed.find("<item>", at)) != std::string::npos;)
                at = enclosed.insert(at + 6, "<enclosure url='http://h/a.mp3'/>").find('>', at);
            for (const FeedItem& item : ReadFeed(enclosed).items) {
                EXPECT_NE(json.find("\"total_time\": " + std::to_string(item.duration) + ","),
                          std::string::npos)
                    << item.title;
                ++durations;
            }
        }
        // A feed without a channel title is named after its file there.
        if (!feed.channelTitle.empty()) {
            EXPECT_TRUE(holds(json, "title", feed.channelTitle)) << feed.channelTitle;
            ++titles;
        }
        // Episodes there are filtered and resolved by other rules: compare the
        // enclosures (or media) of items found there by title whose URL is
        // absolute, and their guids (a relative permalink is resolved there).
        for (const auto* list : {&feed.items, &feed.mediaItems})
            for (const FeedItem& item : *list) {
                // Dates read agree with the moments found there.
                if (!item.pubDate.empty()) {
                    ++dates;
                    const std::optional<std::time_t> t = ParseFeedDate(item.pubDate);
                    datesRead += t.has_value();
                    EXPECT_TRUE(t && json.find("\"published\": " + std::to_string(*t) + ",") !=
                                         std::string::npos)
                        << item.pubDate;
                }
                const std::string& url = list == &feed.items ? item.enclosureUrl : item.mediaUrl;
                if (item.title.empty() || !holds(json, "title", item.title) ||
                    url.find("://") == std::string::npos)
                    continue;
                EXPECT_TRUE(holds(json, "url", url)) << url;
                ++urls;
                if (!item.guid.empty()) {
                    EXPECT_TRUE(holds(json, "guid", item.guid) ||
                                json.find("/" + item.guid + "\"") != std::string::npos)
                        << item.guid;
                    ++guids;
                }
            }
    }
    EXPECT_GT(titles, 20);
    EXPECT_GT(urls, 20);
    EXPECT_GT(guids, 3);
    EXPECT_EQ(moves, 2);
    EXPECT_GE(durations, 5);
    EXPECT_GT(dates, 5);
    EXPECT_GE(datesRead * 10, dates * 9);
}

// What the archive writes, byte for byte, new and extended on reopening; a
// file that cannot be used starts a new archive. (Odd files that can be used
// keep what they held through a save: the archive fuzz target's regressions.)
TEST(FeedArchive, WrittenByteForByteExtendedOnReopenAndNewWhereUnusable) {
    test::TempDir dir;
    const std::string path = dir / "feed.xml";
    const auto append = [](FeedArchive& archive) {
        archive.Append("Tom & Jerry <1> \"quoted\" 'single'", "bell\x01 and caf\xC3\xA9 \xFF",
                       "http://h/a.mp3?x=1&y=2", "Mon, 01 Jan 2024 10:00:00 GMT");
    };
    // A stray byte such as \xFF is written as the Latin-1 character it stands for.
    const std::string first =
        ItemXml("Tom &amp; Jerry &lt;1&gt; &quot;quoted&quot; &apos;single&apos;",
                "bell&#x01; and caf\xC3\xA9 \xC3\xBF", "http://h/a.mp3?x=1&amp;y=2",
                "Mon, 01 Jan 2024 10:00:00 GMT");
    FeedArchive created;
    created.Open(path);
    EXPECT_TRUE(created.IsNew());
    append(created);
    ASSERT_TRUE(created.Save(path));
    EXPECT_EQ(test::ReadFile(path), kHead + first + kTail);
    FeedArchive reopened;
    reopened.Open(path);
    EXPECT_FALSE(reopened.IsNew());
    EXPECT_TRUE(reopened.Lookup("http://h/a.mp3?x=1&y=2"));
    reopened.Append("B", "  runs   of   blanks  ", "http://h/b.mp3", "d");
    ASSERT_TRUE(reopened.Save(path));
    EXPECT_EQ(test::ReadFile(path),
              kHead + first + ItemXml("B", "  runs   of   blanks  ", "http://h/b.mp3", "d") +
                  kTail);

    std::string deep = "<TessarineFeed><item><link>http://h/1.mp3</link></item>";
    for (int i = 0; i < 50000; ++i)
        deep += "<a>";
    for (const std::string& bytes :
         {std::string(), deep, std::string("<TessarineFeed><item><link>http://h/1.mp3")}) {
        test::WriteFile(path, bytes);
        FeedArchive archive;
        archive.Open(path);
        EXPECT_TRUE(archive.IsNew() && !archive.Lookup("http://h/1.mp3")) << bytes.substr(0, 40);
        append(archive);
        ASSERT_TRUE(archive.Save(path));
        EXPECT_EQ(test::ReadFile(path), kHead + first + kTail);
    }
}

// The index must answer every look-up as a walk over the saved document does:
// the root's first "item" child and every element after it, comparing the
// trimmed text of its first "link" (other names, letter case, comments, CDATA).
TEST(FeedArchive, IndexAgreesWithLinearWalk) {
    std::mt19937 random(20240601);
    const auto pick = [&](std::vector<std::string> from) { return from[random() % from.size()]; };
    test::TempDir dir;
    for (int round = 0; round < 200; ++round) {
        std::string text = "<Root><!-- <item><link>a</link></item> -->";
        for (int i = random() % 8; i > 0; --i) {
            std::string form =
                pick({"<item><link>%</link></item>", "<entry><link>%</link></entry>",
                      "<Item><Link>%</Link><link>y</link></Item>", "<item><title>%</title></item>",
                      "<item><link><!--c-->%</link></item>",
                      "<item><link><![CDATA[%]]></link><link>a</link></item>"});
            text += form.replace(form.find('%'), 1,
                                 pick({"a", "A", "c?x=1&amp;y=2", "", " a", "\n a\t"}));
        }
        test::WriteFile(dir / "feed.xml", text + "</Root>");
        FeedArchive archive;
        archive.Open(dir / "feed.xml");
        for (int i = random() % 3; i > 0; --i)
            archive.Append("", "", pick({"y", " y"}), "");

        TiXmlDocument saved;
        saved.Parse(archive.Serialize().c_str());
        for (const std::string query : {"a", "A", "c?x=1&y=2", "", " a", "y"}) {
            bool found = false;
            for (const TiXmlElement* item = saved.RootElement()->FirstChildElement("item"); item;
                 item = item->NextSiblingElement()) {
                // An item without a link records the empty one.
                const TiXmlElement* link = item->FirstChildElement("link");
                const char* recorded = link ? link->GetText() : nullptr;
                found |= TrimWhiteSpace(recorded ? recorded : "") == query;
            }
            ASSERT_EQ(archive.Lookup(query), found) << archive.Serialize() << "\n" << query;
        }
    }
}

TEST(FeedCache, KeepsOneEntryPerUrlAndReadsAnythingWrongAsNone) {
    TempDir dir;
    const FeedCache cache((dir.Path() / "cache" / "feeds").string());
    const std::string url = "http://127.0.0.1:1/feed.xml", other = "http://127.0.0.1:1/other.xml";
    EXPECT_FALSE(cache.Load(url)); // no folder yet

    CachedFeed entry{.validators = {"\"abc\"", "Wed, 28 Jan 2009 13:24:41 GMT"}};
    entry.document = {.wellFormed = true, .hasChannel = true, .channelTitle = "Caf\xc3\xa9 Show"};
    entry.document.items = {{"http://a/1.mp3", 1234, "One", "Line\r\nbreak", "Mon", "g1", ""},
                            {"", -1, std::string("nul\0byte", 8), "", "", "", ""}};
    entry.document.mediaItems = {{"", -1, "Clip", "", "", "g2", "http://a/v.mp4"}};
    entry.document.newFeedUrl = "https://moved.example/feed";
    ASSERT_TRUE(cache.Store(url, entry));
    CachedFeed second;
    second.validators.etag = "W/\"2\"";
    ASSERT_TRUE(cache.Store(other, second));
    auto loaded = cache.Load(url);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->validators, entry.validators);
    EXPECT_EQ(Fields(loaded->document), Fields(entry.document));
    EXPECT_EQ(cache.Load(other).value_or(CachedFeed{}).validators.etag, "W/\"2\"");
    // Only the two entries, no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(cache.Directory()), fs::directory_iterator()),
              2);

    const std::string path = cache.PathFor(url);
    const std::string good = ReadFile(path);
    std::string flipped = good;
    flipped[flipped.size() / 2] ^= 0x20;
    std::string version = good;
    version[21] = static_cast<char>(version[21] + 1); // the format version follows the magic line
    const std::string cases[] = {"", good.substr(0, good.size() - 1), good.substr(0, good.size() / 2),
                                 flipped, version, good + "x",
                                 "TESSARINE-FEED-CACHE\n" + std::string(40, '\xff')};
    for (const std::string& bytes : cases) {
        WriteFile(path, bytes);
        EXPECT_FALSE(cache.Load(url)) << bytes.size();
    }
    // Another URL's entry under this URL's name (a hash collision) is none.
    fs::copy_file(cache.PathFor(other), path, fs::copy_options::overwrite_existing);
    EXPECT_FALSE(cache.Load(url));

    cache.Forget(other);
    EXPECT_FALSE(cache.Load(other));
    // Turned off, it keeps nothing.
    const FeedCache off("");
    EXPECT_FALSE(off.Store(url, entry));
    EXPECT_FALSE(off.Load(url));
}
