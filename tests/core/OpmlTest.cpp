// OPML: reading the exports of common programs, adding their feeds to the
// list, and writing the list.
#include "core/model/Opml.h"
#include "core/util/Strings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
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

Texts Urls(const SubscriptionList& list) {
    Texts out;
    for (const SubscriptionPtr& s : list.Items())
        out.push_back(s->url);
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
    const std::string flat = R"(<?xml version="1.0" encoding="utf-8"?>
<opml version="2.0">
  <head><title>Podcast subscriptions</title><dateCreated>Mon, 28 Dec 2009 13:24:41 +0100</dateCreated></head>
  <body>
    <outline type="rss" text="Planet &amp; Money" title="Planet &amp; Money" xmlUrl="https://a.example/feed?x=1&amp;y=2" htmlUrl="https://a.example/"/>
    <outline type="rss" text="Local" xmlUrl="file:///home/me/feed.xml"/>
    <outline type="rss" text="" title="Title only" xmlUrl="  HTTP://b.example/rss  "/>
    <outline type="rss" text="Again" xmlUrl="https://a.example/feed?x=1&amp;y=2"/>
    <outline type="link" text="A web page, no feed" url="http://c.example/"/>
  </body>
</opml>)";
    EXPECT_EQ(
        Feeds(flat),
        (Texts{"https://a.example/feed?x=1&y=2|Planet & Money", "file:///home/me/feed.xml|Local",
               "HTTP://b.example/rss|Title only", "https://a.example/feed?x=1&y=2|Again"}));

    // OPML 1.0 with categories, no types, and attribute names in other cases.
    const std::string nested = R"(<?xml version="1.0"?>
<opml version="1.0"><head><title>Feeds</title></head><body>
  <outline text="News">
    <outline text="First" xmlUrl="http://n.example/1"/>
    <outline text="Deeper"><outline text="Second" xmlURL="http://n.example/2"/></outline>
  </outline>
  <outline text="Third" xmlurl="http://n.example/3"/>
  <!-- <outline text="commented out" xmlUrl="http://n.example/x"/> -->
</body></opml>)";
    EXPECT_EQ(Feeds(nested), (Texts{"http://n.example/1|First", "http://n.example/2|Second",
                                    "http://n.example/3|Third"}));

    // Both into a list that holds one of them already: new ones appended in
    // order as the subscribe command adds them, the rest counted (the
    // command line's import shows the counts end to end).
    SubscriptionList list;
    list.Append("http://n.example/2", "Known");
    std::vector<SubscriptionPtr> added;
    const OpmlImportCounts counts = AddOpmlFeeds(list, *ReadOpml(flat), &added);
    EXPECT_EQ(std::tuple(counts.added, counts.present, counts.skipped),
              std::tuple(2u, 1u, 1u));
    AddOpmlFeeds(list, *ReadOpml(nested));
    EXPECT_EQ(Urls(list),
              (Texts{"http://n.example/2", "https://a.example/feed?x=1&y=2", "HTTP://b.example/rss",
                     "http://n.example/1", "http://n.example/3"}));
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(added[0], list.At(1));
    EXPECT_EQ(added[0]->status, NewlyAdded);
    EXPECT_EQ(added[0]->name, LoadResString(IDS_NEW_PODCAST));
}

TEST(Opml, ReadsTheDeclaredEncodingAndRefusesWhatIsNotOpml) {
    // OPML 1.0 in ISO-8859-1, as older programs write it: the texts come out
    // as UTF-8, and a byte of windows-1252's range as its character.
    const std::string latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?>\n"
                               "<opml version='1.0'><body>"
                               "<outline text='Caf\xE9 \x80 Gr\xFC\xDF"
                               "e' xmlUrl='http://l.example/\xE9'/>"
                               "</body></opml>";
    EXPECT_EQ(Feeds(latin1),
              Texts{"http://l.example/\xC3\xA9|Caf\xC3\xA9 \xE2\x82\xAC Gr\xC3\xBC\xC3\x9F"
                    "e"});
    // The same characters declared as ISO-8859-15 (0xA4 is the euro sign there).
    EXPECT_EQ(Feeds("<?xml version=\"1.0\" encoding=\"iso-8859-15\"?><opml><body>"
                    "<outline text=\"\xA4\" xmlUrl=\"http://e/\"/></body></opml>"),
              Texts{"http://e/|\xE2\x82\xAC"});

    // UTF-16 in both byte orders, with a byte order mark and without one.
    const std::string ascii = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><opml><body>"
                              "<outline text=\"U\" xmlUrl=\"http://u/\"/></body></opml>";
    for (const std::string bom : {"\xFE\xFF", "\xFF\xFE", "", "-"}) {
        const bool bigEndian = bom == "\xFE\xFF" || bom == "";
        std::string utf16 = bom == "-" ? "" : bom;
        for (char c : ascii)
            utf16 += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
        EXPECT_EQ(Feeds(utf16), Texts{"http://u/|U"}) << bom.size();
    }
    // UTF-8 with a byte order mark; stray bytes in a UTF-8 document read as Latin-1.
    EXPECT_EQ(Feeds("\xEF\xBB\xBF<opml><body><outline text=\"\xC3\xA9\xE9\" xmlUrl=\"http://b/\"/>"
                    "</body></opml>"),
              Texts{"http://b/|\xC3\xA9\xC3\xA9"});

    // Not OPML: an RSS feed, a broken document, nothing at all.
    for (const char* text : {"<rss><channel><outline xmlUrl=\"http://r/\"/></channel></rss>",
                             "<opml><body><outline xmlUrl=\"http://r/\"></body>", ""})
        EXPECT_EQ(Feeds(text), Texts{"none"}) << text;
    EXPECT_EQ(Feeds("<opml/>"), Texts{});
}

TEST(Opml, ExportReadsBackAsTheSameList) {
    const ScopedZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    SubscriptionList list;
    list.Append("http://a.example/feed?x=1&y=\"2\"<>", "Tom & \"Jerry\" <live>");
    list.Append("https://b.example/rss", "");          // never checked: no name of its own
    list.Append("http://c.example/", "Neuer Podcast"); // the German placeholder, read from a file
    list.Append("http://d.example/\tx", "Caf\xE9");    // a stray byte and a control character

    // 28 Dec 2009 12:24:41 UTC
    const std::string exported = SerializeOpml(list, "Tessarine & friends", 1262003081);
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

    SubscriptionList imported;
    const OpmlImportCounts counts = AddOpmlFeeds(imported, *ReadOpml(exported));
    EXPECT_EQ(counts.added, 4u);
    EXPECT_EQ(Urls(imported), Urls(list));
    EXPECT_EQ(Feeds(exported)[0], list.At(0)->url + "|" + list.At(0)->name);
}

TEST(Opml, DatesCarryTheLocalOffset) {
    for (const auto& [zone, time, date] : {
             std::tuple{"EST5EDT,M3.2.0,M11.1.0", 1262003081, "Mon, 28 Dec 2009 07:24:41 -0500"},
             std::tuple{"EST5EDT,M3.2.0,M11.1.0", 1246192000, "Sun, 28 Jun 2009 08:26:40 -0400"},
             std::tuple{"IST-5:30", 0, "Thu, 01 Jan 1970 05:30:00 +0530"}}) {
        const ScopedZone scoped(zone);
        EXPECT_EQ(Rfc822Date(time), date) << zone;
    }
}
