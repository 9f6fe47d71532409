#include "update/FeedArchive.h"

#include "support/TestSupport.h"
#include "update/FeedReader.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace tessarine;

namespace {

const std::string kHead = "<?xml version=\"1.0\" ?>\r\n<TessarineFeed>\r\n";
const std::string kTail = "</TessarineFeed>\r\n";

std::string ItemXml(const std::string& title, const std::string& description,
                    const std::string& link, const std::string& pubDate) {
    return "    <item>\r\n        <title>" + title + "</title>\r\n        <description>" +
           description + "</description>\r\n        <link>" + link +
           "</link>\r\n        <pubDate>" + pubDate + "</pubDate>\r\n    </item>\r\n";
}

} // namespace

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

TEST(FeedArchive, LookupTrimsRecordedLinksAndKeepsLetterCase) {
    test::TempDir dir;
    test::WriteFile(dir / "feed.xml", "<TessarineFeed><item><link>  http://h/Padded.mp3 \t</link>"
                                      "</item></TessarineFeed>");
    FeedArchive archive;
    archive.Open(dir / "feed.xml");
    EXPECT_TRUE(archive.Lookup("http://h/Padded.mp3"));
    EXPECT_FALSE(archive.Lookup("http://h/padded.mp3"));
}

TEST(FeedArchive, UnusableFileStartsNew) {
    test::TempDir dir;
    std::string deep = "<TessarineFeed><item><link>http://h/1.mp3</link></item>";
    for (int i = 0; i < 50000; ++i)
        deep += "<a>";
    for (const std::string& bytes : {std::string(), deep, std::string("\0<TessarineFeed/>", 17),
                                     std::string("<TessarineFeed><item><link>http://h/1.mp3")}) {
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
