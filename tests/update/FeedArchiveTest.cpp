#include "update/FeedArchive.h"

#include "support/TestSupport.h"
#include "update/FeedReader.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace tessarine;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" ?>\r\n";

std::string ItemXml(const std::string& title, const std::string& description,
                    const std::string& link, const std::string& pubDate) {
    return "    <item>\r\n"
           "        <title>" +
           title +
           "</title>\r\n"
           "        <description>" +
           description +
           "</description>\r\n"
           "        <link>" +
           link +
           "</link>\r\n"
           "        <pubDate>" +
           pubDate +
           "</pubDate>\r\n"
           "    </item>\r\n";
}

// The look-up done the long way: the root's first "item" child, then every
// following sibling element, comparing the trimmed text of the first "link".
bool LinearLookup(const std::string& archiveText, const std::string& url) {
    TiXmlDocument document;
    document.Parse(archiveText.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
    const TiXmlElement* root = document.RootElement();
    if (root == nullptr)
        return false;
    for (const TiXmlElement* item =
             TiXmlHandle(const_cast<TiXmlElement*>(root)).FirstChildElement("item").ToElement();
         item != nullptr; item = item->NextSiblingElement()) {
        const TiXmlElement* link = item->FirstChildElement("link");
        const char* text = link != nullptr ? link->GetText() : nullptr;
        if (TrimWhiteSpace(text != nullptr ? text : "") == url)
            return true;
    }
    return false;
}

std::string Nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    for (int i = 0; i < depth; ++i)
        text += "</a>";
    return text;
}

} // namespace

TEST(FeedArchive, NewArchiveIsWrittenByteForByte) {
    test::TempDir dir;
    const std::string path = dir / "feed.xml";
    FeedArchive archive;
    archive.Open(path);
    EXPECT_TRUE(archive.IsNew());
    EXPECT_FALSE(archive.Appended());
    EXPECT_FALSE(archive.Lookup("http://h/a.mp3"));

    archive.Append("Tom & Jerry <1> \"quoted\" 'single'", "bell\x01 and caf\xC3\xA9 \xFF",
                   "http://h/a.mp3?x=1&y=2", "Mon, 01 Jan 2024 10:00:00 GMT");
    archive.Append("", "", "http://h/b.mp3", "");
    EXPECT_TRUE(archive.Appended());
    EXPECT_TRUE(archive.Lookup("http://h/a.mp3?x=1&y=2"));
    EXPECT_TRUE(archive.Lookup("http://h/b.mp3"));
    ASSERT_TRUE(archive.Save(path));

    const std::string expected =
        std::string(kDeclaration) + "<TessarineFeed>\r\n" +
        // The stray byte \xFF is written as the Latin-1 character it stands for.
        ItemXml("Tom &amp; Jerry &lt;1&gt; &quot;quoted&quot; &apos;single&apos;",
                "bell&#x01; and caf\xC3\xA9 \xC3\xBF", "http://h/a.mp3?x=1&amp;y=2",
                "Mon, 01 Jan 2024 10:00:00 GMT") +
        ItemXml("", "", "http://h/b.mp3", "") + "</TessarineFeed>\r\n";
    EXPECT_EQ(test::ReadFile(path), expected);
    EXPECT_EQ(archive.Serialize(), expected);
}

TEST(FeedArchive, RoundTrip) {
    test::TempDir dir;
    const std::string path = dir / "feed.xml";
    {
        FeedArchive archive;
        archive.Open(path);
        archive.Append("One", "First & best", "http://h/1.mp3", "d1");
        ASSERT_TRUE(archive.Save(path));
    }
    FeedArchive archive;
    archive.Open(path);
    EXPECT_FALSE(archive.IsNew());
    EXPECT_FALSE(archive.Appended());
    EXPECT_TRUE(archive.Lookup("http://h/1.mp3"));
    EXPECT_FALSE(archive.Lookup("http://h/2.mp3"));
    archive.Append("Two", "Second", "http://h/2.mp3", "d2");
    EXPECT_TRUE(archive.Lookup("http://h/2.mp3"));
    ASSERT_TRUE(archive.Save(path));

    FeedArchive reread;
    reread.Open(path);
    EXPECT_FALSE(reread.IsNew());
    EXPECT_TRUE(reread.Lookup("http://h/1.mp3"));
    EXPECT_TRUE(reread.Lookup("http://h/2.mp3"));
    EXPECT_EQ(test::ReadFile(path), std::string(kDeclaration) + "<TessarineFeed>\r\n" +
                                        ItemXml("One", "First &amp; best", "http://h/1.mp3", "d1") +
                                        ItemXml("Two", "Second", "http://h/2.mp3", "d2") +
                                        "</TessarineFeed>\r\n");
}

TEST(FeedArchive, LookupTrimsRecordedLinksAndKeepsLetterCase) {
    test::TempDir dir;
    const std::string path = dir / "feed.xml";
    test::WriteFile(path,
                    "<?xml version=\"1.0\" ?>\n<TessarineFeed>\n"
                    "<item><link>  http://h/Padded.mp3 \t</link></item>\n"
                    "<item><link><![CDATA[\n http://h/cdata.mp3 ]]></link></item>\n"
                    "<item><title>no link</title></item>\n"
                    "<item><link>http://h/first.mp3</link><link>http://h/second.mp3</link></item>\n"
                    "</TessarineFeed>\n");
    FeedArchive archive;
    archive.Open(path);
    ASSERT_FALSE(archive.IsNew());
    EXPECT_TRUE(archive.Lookup("http://h/Padded.mp3"));
    EXPECT_FALSE(archive.Lookup("http://h/padded.mp3"));
    EXPECT_FALSE(archive.Lookup(" http://h/Padded.mp3")); // the URL given is compared as it is
    EXPECT_TRUE(archive.Lookup("http://h/cdata.mp3"));
    EXPECT_TRUE(archive.Lookup("")); // the item without a link records the empty one
    EXPECT_TRUE(archive.Lookup("http://h/first.mp3"));
    EXPECT_FALSE(archive.Lookup("http://h/second.mp3"));

    // An appended link is recorded trimmed as well.
    archive.Append("", "", " http://h/appended.mp3\n", "");
    EXPECT_TRUE(archive.Lookup("http://h/appended.mp3"));
}

TEST(FeedArchive, OtherRootAndItemNamesAreReadAndExtended) {
    test::TempDir dir;
    const std::string path = dir / "feed.xml";
    test::WriteFile(path, "<?xml version=\"1.0\"?>\r\n<!-- kept -->\r\n<OtherRoot>\r\n"
                          "  <entry><link>http://h/before.mp3</link></entry>\r\n"
                          "  <item><link>http://h/item.mp3</link></item>\r\n"
                          "  <episode><link>http://h/episode.mp3</link></episode>\r\n"
                          "  <!-- a comment -->\r\n"
                          "  <Item><link>http://h/Item.mp3</link></Item>\r\n"
                          "</OtherRoot>\r\n");
    FeedArchive archive;
    archive.Open(path);
    ASSERT_FALSE(archive.IsNew());
    EXPECT_FALSE(archive.Lookup("http://h/before.mp3")); // before the first "item"
    EXPECT_TRUE(archive.Lookup("http://h/item.mp3"));
    EXPECT_TRUE(archive.Lookup("http://h/episode.mp3"));
    EXPECT_TRUE(archive.Lookup("http://h/Item.mp3"));

    archive.Append("T", "D", "http://h/new.mp3", "P");
    ASSERT_TRUE(archive.Save(path));
    EXPECT_EQ(test::ReadFile(path),
              std::string(kDeclaration) +
                  "<!-- kept -->\r\n<OtherRoot>\r\n"
                  "    <entry>\r\n        <link>http://h/before.mp3</link>\r\n    </entry>\r\n"
                  "    <item>\r\n        <link>http://h/item.mp3</link>\r\n    </item>\r\n"
                  "    <episode>\r\n        <link>http://h/episode.mp3</link>\r\n    </episode>\r\n"
                  "    <!-- a comment -->\r\n"
                  "    <Item>\r\n        <link>http://h/Item.mp3</link>\r\n    </Item>\r\n" +
                  ItemXml("T", "D", "http://h/new.mp3", "P") + "</OtherRoot>\r\n");

    FeedArchive reread;
    reread.Open(path);
    EXPECT_TRUE(reread.Lookup("http://h/new.mp3"));
    EXPECT_FALSE(reread.Lookup("http://h/before.mp3"));
}

TEST(FeedArchive, AppendedItemStartsTheWalkWhenThereWasNoItem) {
    test::TempDir dir;
    const std::string path = dir / "feed.xml";
    test::WriteFile(path,
                    "<TessarineFeed><entry><link>http://h/x.mp3</link></entry></TessarineFeed>");
    FeedArchive archive;
    archive.Open(path);
    ASSERT_FALSE(archive.IsNew());
    EXPECT_FALSE(archive.Lookup("http://h/x.mp3"));
    archive.Append("", "", "http://h/y.mp3", "");
    EXPECT_TRUE(archive.Lookup("http://h/y.mp3"));
    EXPECT_FALSE(archive.Lookup("http://h/x.mp3")); // still before the first "item"
    EXPECT_EQ(LinearLookup(archive.Serialize(), "http://h/y.mp3"), true);
}

TEST(FeedArchive, EmptyTextsComeBackAsEmptyElements) {
    test::TempDir dir;
    const std::string path = dir / "feed.xml";
    {
        FeedArchive archive;
        archive.Open(path);
        archive.Append("", "", "http://h/1.mp3", "");
        ASSERT_TRUE(archive.Save(path));
    }
    FeedArchive archive;
    archive.Open(path);
    archive.Append("Two", "  runs   of   blanks  ", "http://h/2.mp3", "");
    ASSERT_TRUE(archive.Save(path));
    EXPECT_EQ(test::ReadFile(path),
              std::string(kDeclaration) +
                  "<TessarineFeed>\r\n"
                  "    <item>\r\n"
                  "        <title />\r\n"
                  "        <description />\r\n"
                  "        <link>http://h/1.mp3</link>\r\n"
                  "        <pubDate />\r\n"
                  "    </item>\r\n" +
                  ItemXml("Two", "  runs   of   blanks  ", "http://h/2.mp3", "") +
                  "</TessarineFeed>\r\n");
}

TEST(FeedArchive, NothingAppendedWritesNothing) {
    test::TempDir dir;
    const std::string path = dir / "feed.xml";
    const std::string bytes =
        "<TessarineFeed>\n<item><link>http://h/1.mp3</link></item>\n</TessarineFeed>\n";
    test::WriteFile(path, bytes);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(path, old);

    FeedArchive archive;
    archive.Open(path);
    EXPECT_TRUE(archive.Lookup("http://h/1.mp3"));
    EXPECT_FALSE(archive.Save(path));
    EXPECT_EQ(test::ReadFile(path), bytes);
    EXPECT_EQ(fs::last_write_time(path), old);

    const std::string fresh = (dir.Path() / "new" / "feed.xml").string();
    fs::create_directory(dir / "new");
    FeedArchive empty;
    empty.Open(fresh);
    EXPECT_TRUE(empty.IsNew());
    EXPECT_FALSE(empty.Save(fresh));
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_TRUE(fs::is_empty(dir / "new"));
}

TEST(FeedArchive, SaveIntoMissingFolderFailsSilently) {
    test::TempDir dir;
    const std::string path = (dir.Path() / "New Podcast" / "feed.xml").string();
    FeedArchive archive;
    archive.Open(path);
    EXPECT_TRUE(archive.IsNew());
    archive.Append("T", "D", "http://h/1.mp3", "P");
    EXPECT_FALSE(archive.Save(path));
    EXPECT_FALSE(fs::exists(dir / "New Podcast"));
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST(FeedArchive, UnusableFilesStartNew) {
    test::TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"empty", ""},
        {"blanks", " \r\n\t "},
        {"malformed", "<TessarineFeed><item><link>http://h/1.mp3</link></item>"},
        {"mismatched", "<TessarineFeed><item></TessarineFeed></item>"},
        {"declaration only", "<?xml version=\"1.0\" ?>\r\n"},
        {"comment only", "<!-- <TessarineFeed/> -->"},
        {"binary", std::string("\0<TessarineFeed/>", 17)},
        {"too deep", "<TessarineFeed><item><link>http://h/1.mp3</link></item>" + Nested(50000) +
                         "</TessarineFeed>"},
    };
    for (const Case& c : cases) {
        const std::string path = dir / (std::string(c.name) + ".xml");
        test::WriteFile(path, c.bytes);
        FeedArchive archive;
        archive.Open(path);
        EXPECT_TRUE(archive.IsNew()) << c.name;
        EXPECT_FALSE(archive.Lookup("http://h/1.mp3")) << c.name;
        archive.Append("T", "", "http://h/2.mp3", "");
        ASSERT_TRUE(archive.Save(path)) << c.name;
        EXPECT_EQ(test::ReadFile(path), std::string(kDeclaration) + "<TessarineFeed>\r\n" +
                                            ItemXml("T", "", "http://h/2.mp3", "") +
                                            "</TessarineFeed>\r\n")
            << c.name;
    }

    // A folder standing where the file belongs cannot be read either.
    const std::string folder = dir / "folder.xml";
    fs::create_directory(folder);
    FeedArchive archive;
    archive.Open(folder);
    EXPECT_TRUE(archive.IsNew());
    archive.Append("T", "", "http://h/2.mp3", "");
    EXPECT_FALSE(archive.Save(folder));
    EXPECT_TRUE(fs::is_directory(folder));

    // A missing file, or a missing folder on the way to it.
    for (const std::string& missing :
         {dir / "missing.xml", (dir.Path() / "no" / "such" / "feed.xml").string()}) {
        FeedArchive fresh;
        fresh.Open(missing);
        EXPECT_TRUE(fresh.IsNew()) << missing;
    }
}

TEST(FeedArchive, ReopeningStartsOver) {
    test::TempDir dir;
    const std::string first = dir / "first.xml";
    test::WriteFile(first,
                    "<TessarineFeed><item><link>http://h/1.mp3</link></item></TessarineFeed>");
    FeedArchive archive;
    archive.Open(first);
    archive.Append("", "", "http://h/2.mp3", "");
    archive.Open(dir / "second.xml");
    EXPECT_TRUE(archive.IsNew());
    EXPECT_FALSE(archive.Appended());
    EXPECT_FALSE(archive.Lookup("http://h/1.mp3"));
    EXPECT_FALSE(archive.Lookup("http://h/2.mp3"));
}

// The index must answer every look-up as the walk over the document does,
// whatever the archive holds.
TEST(FeedArchive, IndexAgreesWithLinearWalk) {
    std::mt19937 random(20240601);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::vector<std::string> links = {"http://h/a.mp3",
                                            "http://h/b.mp3",
                                            "http://h/A.mp3",
                                            "http://h/c.mp3?x=1&amp;y=2",
                                            "",
                                            "x"};
    const std::vector<std::string> pads = {"", " ", "\t", "\n  ", "  \r\n"};
    const std::vector<std::string> names = {"item", "item", "item", "entry", "Item", "episode"};

    test::TempDir dir;
    for (int round = 0; round < 200; ++round) {
        std::string text = pick(2) ? "<?xml version=\"1.0\" ?>\n" : "";
        text += pick(4) ? "<TessarineFeed>" : "<Root>";
        const int children = pick(8);
        for (int i = 0; i < children; ++i) {
            switch (pick(6)) {
            case 0:
                text += "<!-- <item><link>http://h/a.mp3</link></item> -->";
                break;
            case 1:
                text += "<" + names[pick(names.size())] + "/>";
                break;
            default: {
                const std::string name = names[pick(names.size())];
                text += "<" + name + ">";
                if (pick(4) == 0)
                    text += "<title>t</title>";
                const std::string link =
                    pads[pick(pads.size())] + links[pick(links.size())] + pads[pick(pads.size())];
                switch (pick(6)) {
                case 0:
                    break; // no link at all
                case 1:
                    text += "<link><!-- c -->" + link + "</link>";
                    break;
                case 2:
                    text += "<Link>" + link + "</Link>";
                    break;
                case 3:
                    text += "<link><![CDATA[" + link + "]]></link>";
                    break;
                default:
                    text += "<link>" + link + "</link>";
                    break;
                }
                if (pick(3) == 0)
                    text += "<link>" + links[pick(links.size())] + "</link>";
                text += "</" + name + ">";
                break;
            }
            }
        }
        text += text.find("<TessarineFeed>") != std::string::npos ? "</TessarineFeed>" : "</Root>";

        const std::string path = dir / ("round" + std::to_string(round) + ".xml");
        test::WriteFile(path, text);
        FeedArchive archive;
        archive.Open(path);
        ASSERT_FALSE(archive.IsNew()) << text;

        std::vector<std::string> queries = {"http://h/a.mp3",
                                            "http://h/b.mp3",
                                            "http://h/A.mp3",
                                            "http://h/c.mp3?x=1&y=2",
                                            "",
                                            "x",
                                            " x",
                                            "y"};
        for (const std::string& query : queries)
            ASSERT_EQ(archive.Lookup(query), LinearLookup(text, query)) << text << "\n" << query;

        // Appended items join the walk.
        const int appends = pick(3);
        for (int i = 0; i < appends; ++i)
            archive.Append("", "", pads[pick(2)] + "y", "");
        const std::string current = archive.Serialize();
        for (const std::string& query : queries)
            ASSERT_EQ(archive.Lookup(query), LinearLookup(current, query)) << current << "\n"
                                                                           << query;
    }
}

TEST(FeedArchive, ManyItems) {
    test::TempDir dir;
    const std::string path = dir / "feed.xml";
    FeedArchive archive;
    archive.Open(path);
    for (int i = 0; i < 5000; ++i)
        archive.Append("Episode " + std::to_string(i), "", "http://h/" + std::to_string(i) + ".mp3",
                       "");
    ASSERT_TRUE(archive.Save(path));

    FeedArchive reread;
    reread.Open(path);
    int found = 0;
    for (int i = 0; i < 5000; ++i)
        found += reread.Lookup("http://h/" + std::to_string(i) + ".mp3");
    EXPECT_EQ(found, 5000);
    EXPECT_FALSE(reread.Lookup("http://h/5000.mp3"));
}
