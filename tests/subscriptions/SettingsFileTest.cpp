#include "subscriptions/BaseDirectory.h"
#include "subscriptions/SettingsFile.h"
#include "support/TestSupport.h"
#include "update/SharedModel.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using namespace tessarine;
using tessarine::test::ReadFile;
using tessarine::test::TempDir;
using tessarine::test::WriteFile;

namespace {

// Loads through the shared model the way the main window does, recording duplicates.
struct Loader {
    SharedModel model;
    std::vector<std::string> duplicates;
    bool Load() {
        return model.LoadSettings([this](const std::string& url, const std::string& name) {
            auto record = model.subscriptions.Append(url, name);
            if (!record)
                duplicates.push_back(url);
            return record;
        });
    }
};

} // namespace

TEST(SettingsFile, ExactBytes) {
    SubscriptionList list;
    auto s = list.Append("http://example.org/feed.xml", "Tom & Jerry");
    s->lastChecked = OleDateTime::FromFields({2009, 1, 28, 13, 24, 41});
    OptionSet options; // updateStart on, quitComplete off
    EXPECT_EQ(SerializeSettings(options, list),
              "<?xml version=\"1.0\" ?>\r\n"
              "<TessarineSettings>\r\n"
              "    <settings updatestart=\"1\" quitcomplete=\"0\"></settings>\r\n"
              "    <feed url=\"http://example.org/feed.xml\" lastchecked=\"28.01.2009 "
              "13:24:41\">Tom &amp; Jerry</feed>\r\n"
              "</TessarineSettings>\r\n");
}

TEST(SettingsFile, OptionsAreWrittenAsZeroOrOne) {
    SubscriptionList list;
    OptionSet options;
    options.updateStart = 0;
    options.quitComplete = 7;
    EXPECT_NE(SerializeSettings(options, list).find("updatestart=\"0\" quitcomplete=\"1\""),
              std::string::npos);
}

TEST(SettingsFile, RoundTripKeepsUrlsNamesDatesAndOptions) {
    TempDir dir;
    Loader writer;
    writer.model.baseDirectory = dir.Base();
    writer.model.options.updateStart = 0;
    writer.model.options.quitComplete = 1;
    auto a = writer.model.subscriptions.Append("http://a/<feed>?x=1&y=\"2\"", "A <b> & 'c'");
    a->lastChecked = OleDateTime::FromFields({2020, 2, 29, 23, 59, 58});
    auto b = writer.model.subscriptions.Append("http://b/feed", "");
    b->lastChecked = OleDateTime(); // invalid
    auto c = writer.model.subscriptions.Append("http://c/feed", "  Spaced   out   name ");
    writer.model.SaveSettings();
    EXPECT_NE(ReadFile(dir / kSettingsFileName).find("lastchecked=\"Invalid DateTime\""),
              std::string::npos);

    Loader reader;
    reader.model.baseDirectory = dir.Base();
    ASSERT_TRUE(reader.Load());
    const auto& items = reader.model.subscriptions.Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->url, a->url);
    EXPECT_EQ(items[0]->name, a->name);
    EXPECT_EQ(items[0]->status, Idle);
    EXPECT_EQ(items[0]->lastChecked.FormatStored(), "29.02.2020 23:59:58");
    // "New Podcast" is stored as a name, so it comes back named and idle.
    EXPECT_EQ(items[1]->name, "New Podcast");
    EXPECT_FALSE(items[1]->lastChecked.IsValid());
    EXPECT_EQ(items[2]->name, "Spaced out name"); // white space condensed
    EXPECT_EQ(reader.model.options.updateStart, 0);
    EXPECT_EQ(reader.model.options.quitComplete, 1);
}

TEST(SettingsFile, AttributeRulesAndElementOrder) {
    TempDir dir;
    WriteFile(dir / kSettingsFileName,
              "<?xml version=\"1.0\" ?>\n<TessarineSettings>\n"
              "<feed url=\"u1\" lastchecked=\"01.01.2001 01:01:01\">One</feed>\n"
              "<!-- comments are passed over -->\n"
              "<other url=\"u2\">Two</other>\n"
              "<settings updatestart=\"true\" quitcomplete=\"1\" />\n"
              "<feed url=\"u1\">Duplicate</feed>\n"
              "<feed>No url</feed>\n"
              "<feed url=\"u4\"></feed>\n"
              "</TessarineSettings>\n");
    Loader loader;
    loader.model.baseDirectory = dir.Base();
    ASSERT_TRUE(loader.Load());
    const auto& items = loader.model.subscriptions.Items();
    // u1, u2, the "settings" element read as a feed with the empty URL, u4;
    // the second u1 and the second empty URL are refused.
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1]->url, "u2");
    EXPECT_EQ(items[2]->url, "");
    EXPECT_EQ(items[2]->name, "New Podcast");
    EXPECT_EQ(items[3]->url, "u4");
    EXPECT_EQ(items[3]->status, NewlyAdded);
    EXPECT_EQ(items[0]->lastChecked.FormatStored(), "01.01.2001 01:01:01");
    EXPECT_FALSE(items[1]->lastChecked.IsValid());
    EXPECT_EQ(loader.duplicates, (std::vector<std::string>{"u1", ""}));
    // The first "settings" child counts: "true" is not "1".
    EXPECT_EQ(loader.model.options.updateStart, 0);
    EXPECT_EQ(loader.model.options.quitComplete, 1);
}

TEST(SettingsFile, SettingsWithoutAttributesTurnsOptionsOff) {
    TempDir dir;
    WriteFile(dir / kSettingsFileName,
              "<TessarineSettings><settings></settings></TessarineSettings>");
    Loader loader;
    loader.model.baseDirectory = dir.Base();
    ASSERT_TRUE(loader.Load());
    EXPECT_EQ(loader.model.options.updateStart, 0);
    EXPECT_EQ(loader.model.options.quitComplete, 0);
}

TEST(SettingsFile, MissingOrBrokenFileChangesNothing) {
    TempDir dir;
    Loader loader;
    loader.model.baseDirectory = dir.Base();
    EXPECT_FALSE(loader.Load());
    for (const char* text : {"", "<TessarineSettings><feed url='x'>", "not xml at all <"}) {
        WriteFile(dir / kSettingsFileName, text);
        EXPECT_FALSE(loader.Load()) << text;
    }
    // Without the root element or a "settings" element the options stay.
    WriteFile(dir / kSettingsFileName, "<Other><settings updatestart='0'/></Other>");
    EXPECT_TRUE(loader.Load());
    WriteFile(dir / kSettingsFileName, "<TessarineSettings><feed url='x'>X</feed></TessarineSettings>");
    EXPECT_TRUE(loader.Load());
    EXPECT_EQ(loader.model.options.updateStart, 1);
    EXPECT_EQ(loader.model.options.quitComplete, 0);
    EXPECT_EQ(loader.model.subscriptions.Size(), 1u);
}

TEST(SettingsFile, FailedSaveLeavesTheOldFileWhole) {
    TempDir dir;
    Loader loader;
    loader.model.baseDirectory = dir.Base();
    loader.model.subscriptions.Append("http://keep/me", "Keep");
    loader.model.SaveSettings();
    const std::string before = ReadFile(dir / kSettingsFileName);

    loader.model.subscriptions.Append("http://new/one", "New");
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);
    loader.model.SaveSettings();
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all);
    if (::geteuid() != 0) { // root may write anyway
        EXPECT_EQ(ReadFile(dir / kSettingsFileName), before);
    }
    // No temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++files;
    EXPECT_EQ(files, 1);

    // A base directory that does not exist: the save fails silently.
    loader.model.baseDirectory = dir.Base() + "missing/";
    loader.model.SaveSettings();
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(BaseDirectory, FolderNamesNeverLeaveTheBase) {
    const std::pair<const char*, const char*> table[] = {
        {"My Show", "My Show"},
        {"", ""},
        {".", "_"},
        {"..", "__"},
        {"...", "..."},
        {"../../.config/autostart", ".._.._.config_autostart"},
        {"a\\b", "a_b"},
        {"tab\there\nnl", "tab_here_nl"},
        {"Ümlaut: ok?", "Ümlaut: ok?"},
    };
    for (auto [name, folder] : table)
        EXPECT_EQ(FeedFolderName(name), folder) << name;
}

TEST(BaseDirectory, PathsAreFormedBeneathTheBase) {
    EXPECT_EQ(WithTrailingSeparator("/data/pods"), "/data/pods/");
    EXPECT_EQ(WithTrailingSeparator("/"), "/");
    EXPECT_EQ(SettingsFilePath("/b/"), "/b/Tessarine Settings.xml");
    EXPECT_EQ(SettingsFilePath(""), "Tessarine Settings.xml");
    EXPECT_EQ(FeedFilePath("/b/", "Show", "feed.xml"), "/b/Show/feed.xml");
    EXPECT_EQ(FeedFilePath("/b/", "..", "ep.mp3"), "/b/__/ep.mp3");
    // An empty feed name puts its files straight into the base directory,
    // and never into the root folder when no base directory is set.
    EXPECT_EQ(FeedFilePath("/b/", "", "ep.mp3"), "/b/ep.mp3");
    EXPECT_EQ(FeedFilePath("", "", "ep.mp3"), "ep.mp3");
}
