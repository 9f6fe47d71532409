// The settings file, the subscription list, stored dates and the string tables.
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/SettingsFile.h"
#include "subscriptions/Strings.h"
#include "support/TestSupport.h"
#include "update/SharedModel.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tessarine;
using namespace tessarine::test;

namespace {

using Texts = std::vector<std::string>;

// What the reader made of a file: the options ("-" when absent), then each
// feed as url|name|lastchecked.
Texts Read(const std::string& path) {
    const auto stored = ReadSettingsFile(path);
    if (!stored)
        return {"unreadable"};
    auto flag = [](std::optional<int32_t> f) { return f ? std::to_string(*f) : "-"; };
    Texts result = {flag(stored->updateStart) + flag(stored->quitComplete)};
    for (const StoredFeed& feed : stored->feeds)
        result.push_back(feed.url + "|" + feed.name + "|" + feed.lastChecked);
    return result;
}

} // namespace

TEST(SettingsFile, ExactBytesAndRoundTrip) {
    TempDir dir;
    SharedModel model;
    model.SetBaseDirectory(dir.Base());
    OptionSet options;
    options.quitComplete = 7; // stored as 1
    model.SetOptions(options);
    auto a = model.AddSubscription("http://a/?x=1&y=\"<2>\"", "Tom & 'Jerry'");
    a->lastChecked = OleDateTime::FromFields({2009, 1, 28, 13, 24, 41});
    model.AddSubscription("http://b/", "  Spaced   out ")->lastChecked = OleDateTime();
    model.SaveSettings();
    EXPECT_EQ(
        ReadFile(dir / kSettingsFileName),
        "<?xml version=\"1.0\" ?>\r\n<TessarineSettings>\r\n"
        "    <settings updatestart=\"1\" quitcomplete=\"1\"></settings>\r\n"
        "    <feed url='http://a/?x=1&amp;y=&quot;&lt;2&gt;&quot;' lastchecked=\"28.01.2009 "
        "13:24:41\">Tom &amp; &apos;Jerry&apos;</feed>\r\n"
        "    <feed url=\"http://b/\" lastchecked=\"Invalid DateTime\">  Spaced   out </feed>\r\n"
        "</TessarineSettings>\r\n");
    EXPECT_EQ(Read(SettingsFilePath(dir.Base())),
              (Texts{"11", a->url + "|Tom & 'Jerry'|28.01.2009 13:24:41",
                     "http://b/|Spaced out|Invalid DateTime"})); // white space condensed
}

TEST(SettingsFile, ReadingRulesAndMissingOrBrokenFiles) {
    TempDir dir;
    const std::string path = SettingsFilePath(dir.Base());
    EXPECT_EQ(Read(path), Texts{"unreadable"});
    const std::pair<const char*, Texts> table[] = {
        {"", {"unreadable"}},
        {"<TessarineSettings><feed url='x'>", {"unreadable"}},
        {"<Other><settings updatestart='1'/><feed url='x'/></Other>", {"--"}},
        {"<TessarineSettings><settings/></TessarineSettings>", {"00"}},
        // The first "settings" counts, and only "1" is on; from the first
        // "feed" on, every element is a feed, whatever its name.
        {"<TessarineSettings><other url='u0'/><settings updatestart='true' quitcomplete='1'/>"
         "<feed url='u1' lastchecked='x'>One</feed><!-- c --><other url='u2'>Two</other>"
         "<settings updatestart='1'/><feed>No url</feed></TessarineSettings>",
         {"01", "u1|One|x", "u2|Two|", "||", "|No url|"}},
    };
    for (const auto& [text, expected] : table) {
        WriteFile(path, text);
        EXPECT_EQ(Read(path), expected) << text;
    }
}

TEST(SubscriptionList, DuplicateUrlsAreExactAndRemovalWorksAnywhere) {
    for (int removed = 0; removed < 3; ++removed) {
        SubscriptionList list; // letter case and blanks make URLs differ
        std::vector<SubscriptionPtr> records = {list.Append("u", "a"), list.Append("U", "b"),
                                                list.Append("u ", "c")};
        EXPECT_FALSE(list.Append("u", "again"));
        ASSERT_TRUE(list.Remove(records[removed]));
        records.erase(records.begin() + removed);
        EXPECT_EQ(list.Items(), records) << removed;
    }
    SubscriptionList only;
    SubscriptionPtr held = only.Append("u", "still used by the worker");
    EXPECT_TRUE(only.Remove(held) && only.Empty() && !only.Remove(held));
    EXPECT_TRUE(only.Append("u", "the URL is free again"));
    EXPECT_EQ(held->name, "still used by the worker"); // the record outlives its removal
}

TEST(OleDateTime, FormatsParsesAndRefusesInvalidDates) {
    const auto t = OleDateTime::FromFields({2009, 1, 28, 13, 24, 41});
    EXPECT_EQ(t.FormatShown(), "28.01.2009 13:24");
    // Before day 0 the value is negative, yet the time of day still counts forward.
    EXPECT_EQ(OleDateTime::FromFields({1899, 12, 29, 6, 0, 5}).FormatStored(),
              "29.12.1899 06:00:05");
    EXPECT_EQ(OleDateTime().FormatShown(), "Invalid DateTime");
    EXPECT_FALSE(OleDateTime::FromFields({2009, 2, 29, 0, 0, 0}).IsValid());
    EXPECT_FALSE(OleDateTime::FromValue(std::nan("")).IsValid());
    for (const char* bad :
         {"Invalid DateTime", "28.1.2009 13:24:41", "31.02.2009 10:00:00", "28.01.2009 13:24:41 "})
        EXPECT_FALSE(OleDateTime::ParseStored(bad).IsValid()) << bad;
    for (int year : {1000, 1899, 2024, 9999}) // every 7th second of a day
        for (int s = 0; s < 86400; s += 7) {
            const auto date = OleDateTime::FromFields({year, 2, 28, s / 3600, s / 60 % 60, s % 60});
            ASSERT_EQ(OleDateTime::ParseStored(date.FormatStored()).FormatStored(),
                      date.FormatStored());
        }
}

TEST(Strings, BothTablesHoldEveryIdentifier) {
    std::vector<int> ids = {IDS_COLUMN_FILE, IDS_COLUMN_SIZE, IDS_COMPLETED};
    for (int id = IDS_OLE_INIT_FAILED; id <= IDS_SIZE_FORMAT; ++id)
        ids.push_back(id == 118 ? IDS_DUPLICATE_URL : id); // 118 is not used
    for (int id = TXT_CAPTION; id <= TXT_WEB_ADDRESS; ++id)
        ids.push_back(id);
    for (int id : ids)
        EXPECT_FALSE(LoadResString(id, Language::English).empty() ||
                     LoadResString(id, Language::German).empty())
            << id;
    // Arguments go in verbatim: a URL holding "%s" comes out unchanged.
    EXPECT_EQ(FormatText("Could not open %s", {"http://x/a%20b%s"}),
              "Could not open http://x/a%20b%s");
}
