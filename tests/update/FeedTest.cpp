// Reading feed documents and the per-feed archive of fetched items.
#include "update/FeedArchive.h"
#include "update/FeedReader.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace tessarine;

namespace {

std::vector<std::string> Urls(const FeedDocument& feed) {
    std::vector<std::string> urls;
    for (const FeedItem& item : feed.items)
        urls.push_back(item.enclosureUrl);
    return urls;
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

TEST(FeedReader, ReadsChannelTitleAndItems) {
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
    EXPECT_TRUE(feed.wellFormed && feed.hasChannel);
    EXPECT_EQ(feed.channelTitle, "Morning & Night");
    ASSERT_EQ(Urls(feed),
              (std::vector<std::string>{"http://h/1.mp3?a=1&b=2", "", "http://h/lower.mp3"}));
    // Item texts are kept as they are.
    EXPECT_EQ(feed.items[0].title + "|" + feed.items[0].description + "|" + feed.items[0].pubDate,
              "Episode 1| <b>bold</b> |Mon, 01 Jan 2024");
    EXPECT_EQ(feed.items[1].title, "no url");
}

TEST(FeedReader, BrokenDocumentsUseWhatWasParsedAndDeepNestingIsRefused) {
    EXPECT_FALSE(ReadFeed("<rss>just text<!-- c --></rss>").hasChannel);
    // A body cut off in the middle still yields what came before the cut.
    const FeedDocument cut = ReadFeed("<rss><channel><title>T</title><item><enclosure url=\"u1\"/>"
                                      "</item><item><enclosure url=\"u2\"/></it");
    EXPECT_FALSE(cut.wellFormed);
    EXPECT_TRUE(cut.hasChannel);
    EXPECT_EQ(cut.channelTitle, "T");
    EXPECT_EQ(Urls(cut), (std::vector<std::string>{"u1", "u2"}));
    // Deep enough to overflow the stack of a parser that recurses per level.
    std::string deep = "<rss><channel><title>T</title>";
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    EXPECT_FALSE(ReadFeed(deep).hasChannel);
    // Many siblings do not add up to depth.
    std::string wide = "<rss><channel>";
    for (int i = 0; i < 20000; ++i)
        wide += "<item><title a=\"x/\">t</title><enclosure url='u'/></item>";
    EXPECT_EQ(ReadFeed(wide + "</channel></rss>").items.size(), 20000u);
}

TEST(FeedReader, FileNameFromUrl) {
    for (const auto& [url, name] :
         std::map<std::string, std::string>{{"http://h/show/ep12.mp3?a=1#frag", "ep12.mp3"},
                                            {"http://h/ep.mp3#t=10", "ep.mp3"},
                                            {"http://h/a?x=/y.mp3", "a"},
                                            {"http://h/feed/", "output"},
                                            {"http://h/a/..", "output"},
                                            {"http://h/..\\..\\x", ".._.._x"},
                                            {"http://h/tab\there\x7F.mp3", "tab_here_.mp3"},
                                            {"http://h/a%2Fb%20c.mp3", "a%2Fb%20c.mp3"}})
        EXPECT_EQ(FileNameFromUrl(url), name) << url;
}

// Real-world feeds with what another podcast parser extracted from them: they
// must read without fault, and agree with it where the reading rules agree.
TEST(FeedReader, PeerFeeds) {
    const std::filesystem::path dir = test::PeerFeedsDir();
    if (dir.empty())
        GTEST_SKIP() << "no peer feeds";
    // Found in the JSON text as it is: the expectation files use no escapes.
    const auto holds = [](const std::string& json, const std::string& key,
                          const std::string& text) {
        return json.find("\"" + key + "\": \"" + text + "\"") != std::string::npos;
    };
    int titles = 0, urls = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::filesystem::path path = entry.path();
        if (path.extension() != ".rss")
            continue;
        SCOPED_TRACE(path.filename().string());
        const std::string text = test::ReadFile(path);
        const FeedDocument feed = ReadFeed(text);
        const std::string json = test::ReadFile(path.replace_extension(".json"));
        ASSERT_EQ(json.find('\\'), std::string::npos);
        // A feed without a channel title is named after its file there, and
        // an Atom feed has no channel: compare only titles of RSS channels.
        if (text.find("<channel") != std::string::npos && !feed.channelTitle.empty()) {
            EXPECT_TRUE(holds(json, "title", feed.channelTitle)) << feed.channelTitle;
            ++titles;
        }
        // Episodes there are filtered and resolved by other rules: compare the
        // enclosures of items found there by title whose URL is absolute.
        for (const FeedItem& item : feed.items) {
            if (item.title.empty() || !holds(json, "title", item.title) ||
                item.enclosureUrl.find("://") == std::string::npos)
                continue;
            EXPECT_TRUE(holds(json, "url", item.enclosureUrl)) << item.enclosureUrl;
            ++urls;
        }
    }
    EXPECT_GT(titles, 20);
    EXPECT_GT(urls, 20);
}

TEST(FeedArchive, WrittenByteForByteAndExtendedOnReopen) {
    test::TempDir dir;
    const std::string path = dir / "feed.xml";
    FeedArchive created;
    created.Open(path);
    EXPECT_TRUE(created.IsNew());
    created.Append("Tom & Jerry <1> \"quoted\" 'single'", "bell\x01 and caf\xC3\xA9 \xFF",
                   "http://h/a.mp3?x=1&y=2", "Mon, 01 Jan 2024 10:00:00 GMT");
    ASSERT_TRUE(created.Save(path));
    // A stray byte such as \xFF is written as the Latin-1 character it stands for.
    const std::string first =
        ItemXml("Tom &amp; Jerry &lt;1&gt; &quot;quoted&quot; &apos;single&apos;",
                "bell&#x01; and caf\xC3\xA9 \xC3\xBF", "http://h/a.mp3?x=1&amp;y=2",
                "Mon, 01 Jan 2024 10:00:00 GMT");
    EXPECT_EQ(test::ReadFile(path), kHead + first + kTail);

    FeedArchive archive;
    archive.Open(path);
    EXPECT_FALSE(archive.IsNew());
    EXPECT_TRUE(archive.Lookup("http://h/a.mp3?x=1&y=2"));
    archive.Append("B", "  runs   of   blanks  ", "http://h/b.mp3", "d");
    ASSERT_TRUE(archive.Save(path));
    EXPECT_EQ(test::ReadFile(path),
              kHead + first + ItemXml("B", "  runs   of   blanks  ", "http://h/b.mp3", "d") +
                  kTail);
}

TEST(FeedArchive, UnusableFileStartsNew) {
    test::TempDir dir;
    std::string deep = "<TessarineFeed><item><link>http://h/1.mp3</link></item>";
    for (int i = 0; i < 50000; ++i)
        deep += "<a>";
    for (const std::string& bytes :
         {std::string(), deep, std::string("<TessarineFeed><item><link>http://h/1.mp3")}) {
        test::WriteFile(dir / "feed.xml", bytes);
        FeedArchive archive;
        archive.Open(dir / "feed.xml");
        EXPECT_TRUE(archive.IsNew() && !archive.Lookup("http://h/1.mp3")) << bytes.substr(0, 40);
        archive.Append("T", "", "http://h/2.mp3", "");
        ASSERT_TRUE(archive.Save(dir / "feed.xml"));
        EXPECT_EQ(test::ReadFile(dir / "feed.xml"),
                  kHead + ItemXml("T", "", "http://h/2.mp3", "") + kTail);
    }
}

TEST(FeedArchive, SaveIntoMissingFolderFailsSilently) {
    test::TempDir dir;
    FeedArchive archive;
    archive.Open(dir / "New Podcast/feed.xml");
    archive.Append("T", "D", "http://h/1.mp3", "P");
    EXPECT_FALSE(archive.Save(dir / "New Podcast/feed.xml"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
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
