// OPML: reading the exports of common programs, adding their feeds to the
// list, and writing the list.
#include "core/model/Opml.h"
#include "support/Feeds.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <tuple>

using namespace tessarine;
using namespace tessarine::test;

namespace {

using Texts = std::vector<std::string>;

// url|title of each feed read, or "none" when the document was refused.
Texts Feeds(std::string_view document) {
    const auto feeds = ReadOpml(document);
    if (!feeds)
        return {"none"};
    Texts out;
    for (const OpmlFeed& feed : *feeds)
        out.push_back(feed.url + "|" + feed.title);
    return out;
}

// The options of each feed read (none when the document was refused).
std::vector<OpmlSettings> SettingsOf(std::string_view document) {
    std::vector<OpmlSettings> out;
    for (const OpmlFeed& feed : ReadOpml(document).value_or(std::vector<OpmlFeed>{}))
        out.push_back(feed.settings);
    return out;
}

// Runs with the time zone `zone` for the object's life.
struct ScopedZone {
    ScopedEnv env;
    explicit ScopedZone(const char* zone) : env("TZ", zone) { tzset(); }
    ~ScopedZone() { tzset(); }
};

} // namespace

TEST(Opml, ImportsFlatAndNestedExportsInDocumentOrder) {
    // A flat export with types and extra attributes, as most podcast players
    // write it, with a feed that is not on the web and one listed twice.
    const std::string flat = MakeOpml(
        R"(<outline type="rss" text="Planet &amp; Money" xmlUrl="https://a/f?x=1&amp;y=2"
             htmlUrl="https://a/"/><outline type="rss" text="Local" xmlUrl="file:///feed.xml"/>
           <outline type="rss" text="" title="Title only" xmlUrl="  HTTP://b/rss  "/>
           <outline type="rss" text="Again" xmlUrl="https://a/f?x=1&amp;y=2"/>
           <outline type="link" text="A web page, no feed" url="http://c/"/>)");
    EXPECT_EQ(Feeds(flat), (Texts{"https://a/f?x=1&y=2|Planet & Money", "file:///feed.xml|Local",
                                  "HTTP://b/rss|Title only", "https://a/f?x=1&y=2|Again"}));
    // OPML 1.0 with categories, no types, and attribute names in other cases.
    const std::string nested = MakeOpml(
        R"(<outline text="News"><outline text="1" xmlUrl="http://n/1"/><outline text="Deeper">
             <outline text="2" xmlURL="http://n/2"/></outline></outline><outline text="3"
             xmlurl="http://n/3"/><!-- <outline text="x" xmlUrl="http://n/x"/> -->)",
        "1.0");
    EXPECT_EQ(Feeds(nested), (Texts{"http://n/1|1", "http://n/2|2", "http://n/3|3"}));
}

TEST(Opml, ReadsTheDeclaredEncodingAndRefusesWhatIsNotOpml) {
    const auto declared = [](const std::string& encoding, const std::string& text,
                             const std::string& url = "http://e/") {
        return "<?xml version='1.0' encoding='" + encoding + "'?><opml><body><outline text='" +
               text + "' xmlUrl='" + url + "'/></body></opml>";
    };
    // ISO-8859-1, as older programs write it: the texts come out as UTF-8, a
    // byte of windows-1252's range as its character; 0xA4 is the euro sign
    // in ISO-8859-15; stray bytes in a UTF-8 document read as Latin-1.
    const std::pair<std::string, std::string> cases[] = {
        {declared("ISO-8859-1", "Caf\xE9 \x80 Gr\xFC\xDF", "http://l/\xE9"),
         "http://l/\xC3\xA9|Caf\xC3\xA9 \xE2\x82\xAC Gr\xC3\xBC\xC3\x9F"},
        {declared("iso-8859-15", "\xA4"), "http://e/|\xE2\x82\xAC"},
        {"\xEF\xBB\xBF" + declared("UTF-8", "\xC3\xA9\xE9"), "http://e/|\xC3\xA9\xC3\xA9"},
    };
    for (const auto& [document, feed] : cases)
        EXPECT_EQ(Feeds(document), Texts{feed}) << document;
    // UTF-16 in both byte orders, with a byte order mark and without one.
    const std::string ascii = declared("UTF-16", "U");
    for (const std::string bom : {"\xFE\xFF", "\xFF\xFE", "", "-"}) {
        const bool bigEndian = bom == "\xFE\xFF" || bom == "";
        std::string utf16 = bom == "-" ? "" : bom;
        for (char c : ascii)
            utf16 += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
        EXPECT_EQ(Feeds(utf16), Texts{"http://e/|U"}) << bom.size();
    }
    // Not OPML: an RSS feed, a broken document, nothing at all.
    for (const char* text : {"<rss><channel><outline xmlUrl=\"http://r/\"/></channel></rss>",
                             "<opml><body><outline xmlUrl=\"http://r/\"></body>", ""})
        EXPECT_EQ(Feeds(text), Texts{"none"}) << text;
    EXPECT_EQ(Feeds("<opml/>"), Texts{});
}

// That an export reads back as the same list is the OPML fuzz target's round trip.
TEST(Opml, ExportIsWrittenByteForByte) {
    const ScopedZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    SubscriptionList list;
    list.Append("http://a.example/feed?x=1&y=\"2\"<>", "Tom & \"Jerry\" <live>");
    list.Append("https://b.example/rss", "");          // never checked: no name of its own
    list.Append("http://c.example/", "Neuer Podcast"); // the German placeholder, read from a file
    list.Append("http://d.example/\tx", "Caf\xE9");    // a stray byte and a control character

    // 28 Dec 2009 12:24:41 UTC
    const std::string exported = SerializeOpml(list, "Tessarine & friends", 1262003081);
    // Subscriptions without options of their own change nothing.
    EXPECT_EQ(SerializeOpml(list, "Tessarine & friends", 1262003081,
                            [](const std::string&) { return OpmlSettings{}; }),
              exported);
    EXPECT_EQ(exported,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\">\n"
              "  <head>\n    <title>Tessarine &amp; friends</title>\n"
              "    <dateCreated>Mon, 28 Dec 2009 13:24:41 +0100</dateCreated>\n  </head>\n"
              "  <body>\n"
              "    <outline type=\"rss\" text=\"Tom &amp; &quot;Jerry&quot; &lt;live&gt;\" "
              "title=\"Tom &amp; &quot;Jerry&quot; &lt;live&gt;\" "
              "xmlUrl=\"http://a.example/feed?x=1&amp;y=&quot;2&quot;&lt;&gt;\"/>\n"
              "    <outline type=\"rss\" text=\"https://b.example/rss\" "
              "title=\"https://b.example/rss\" xmlUrl=\"https://b.example/rss\"/>\n"
              "    <outline type=\"rss\" text=\"http://c.example/\" title=\"http://c.example/\" "
              "xmlUrl=\"http://c.example/\"/>\n"
              "    <outline type=\"rss\" text=\"Caf\xC3\xA9\" title=\"Caf\xC3\xA9\" "
              "xmlUrl=\"http://d.example/&#x09;x\"/>\n"
              "  </body>\n</opml>\n");
}

// A podcast's options travel as attributes in Tessarine's namespace: written
// in key order after "xmlUrl", the namespace declared on the root, and read
// back through whatever prefix a document binds to it.
TEST(Opml, OptionsTravelInOurNamespace) {
    const ScopedZone zone("UTC0");
    SubscriptionList list;
    list.Append("http://a.example/", "A");
    list.Append("http://b.example/", "B");
    list.Append("http://c.example/", "C");
    const std::map<std::string, OpmlSettings> options = {
        {"http://a.example/", {{"paused", "yes"}, {"keep", "3"}}},
        {"http://c.example/",
         {{"names", "{date} \"{title}\" & <{podcast}>.{ext}"}, {"bad key", "x"}}}};
    const std::string exported = SerializeOpml(list, "T", 0, [&](const std::string& url) {
        const auto found = options.find(url);
        return found == options.end() ? OpmlSettings{} : found->second;
    });
    EXPECT_EQ(exported,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<opml version=\"2.0\" xmlns:tessarine=\"urn:tessarine:podcast-settings\">\n"
              "  <head>\n    <title>T</title>\n"
              "    <dateCreated>Thu, 01 Jan 1970 00:00:00 +0000</dateCreated>\n  </head>\n"
              "  <body>\n"
              "    <outline type=\"rss\" text=\"A\" title=\"A\" xmlUrl=\"http://a.example/\" "
              "tessarine:keep=\"3\" tessarine:paused=\"yes\"/>\n"
              "    <outline type=\"rss\" text=\"B\" title=\"B\" xmlUrl=\"http://b.example/\"/>\n"
              "    <outline type=\"rss\" text=\"C\" title=\"C\" xmlUrl=\"http://c.example/\" "
              "tessarine:names=\"{date} &quot;{title}&quot; &amp; &lt;{podcast}&gt;.{ext}\"/>\n"
              "  </body>\n</opml>\n");
    EXPECT_EQ(SettingsOf(exported),
              (std::vector<OpmlSettings>{{{"keep", "3"}, {"paused", "yes"}},
                                         {},
                                         {{"names", "{date} \"{title}\" & <{podcast}>.{ext}"}}}));

    // Other prefixes bound to our namespace, on the root, on a category or on
    // the outline itself; unknown keys and values pass as written. Attributes
    // of other namespaces, of a prefix bound nowhere, and without a prefix
    // are not ours, nor is a prefix an inner element binds elsewhere.
    const std::string other = R"(<?xml version="1.0"?>
<opml version="2.0" xmlns:ts="urn:tessarine:podcast-settings" xmlns:x="urn:other">
<head/><body>
  <outline text="1" xmlUrl="http://1/" ts:keep=" 07" ts:colour="red" x:paused="yes"
           keep="9" tessarine:names="url" TS:keep="8"/>
  <outline text="Cat" xmlns:p="urn:tessarine:podcast-settings">
    <outline text="2" xmlUrl="http://2/" p:paused="yes" ts:keep="all"/>
    <outline text="3" xmlUrl="http://3/" xmlns:ts="urn:other" ts:keep="4" p:keep="5"/>
  </outline>
  <outline text="4" xmlUrl="http://4/" p:paused="yes" ts:keep="6"/>
  <outline text="5" xmlUrl="http://5/" xmlns:q="urn:tessarine:podcast-settings" q:paused="no"/>
  <outline text="6" xmlUrl="http://6/" q:paused="yes"/>
</body></opml>)";
    EXPECT_EQ(SettingsOf(other), (std::vector<OpmlSettings>{{{"colour", "red"}, {"keep", " 07"}},
                                                            {{"keep", "all"}, {"paused", "yes"}},
                                                            {{"keep", "5"}},
                                                            {{"keep", "6"}},
                                                            {{"paused", "no"}},
                                                            {}}));
}

TEST(Opml, DatesCarryTheLocalOffset) {
    for (const auto& [zone, time, date] :
         {std::tuple{"EST5EDT,M3.2.0,M11.1.0", 1262003081, "Mon, 28 Dec 2009 07:24:41 -0500"},
          std::tuple{"EST5EDT,M3.2.0,M11.1.0", 1246192000, "Sun, 28 Jun 2009 08:26:40 -0400"},
          std::tuple{"IST-5:30", 0, "Thu, 01 Jan 1970 05:30:00 +0530"}}) {
        const ScopedZone scoped(zone);
        EXPECT_EQ(Rfc822Date(time), date) << zone;
    }
}
