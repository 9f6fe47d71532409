// The settings file, the subscription list, stored dates, the string tables,
// the way files are replaced and the base directory's lock.
#include "core/files/BaseDirectory.h"
#include "core/files/BaseDirectoryLock.h"
#include "core/files/FileStore.h"
#include "core/library/PodcastLibrary.h"
#include "core/model/CheckHistory.h"
#include "core/model/SettingsFile.h"
#include "core/model/SharedModel.h"
#include "core/net/FeedAddress.h"
#include "core/util/Strings.h"
#include "support/EventRecorder.h"
#include "support/Feeds.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

#include <sys/stat.h>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

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
    const std::pair<std::string, Texts> table[] = {
        {"", {"unreadable"}},
        {"<TessarineSettings><feed url='x'>", {"unreadable"}},
        {"<Other><settings updatestart='1'/><feed url='x'/></Other>", {"unreadable"}},
        {"<TessarineSettings><settings/></TessarineSettings>", {"00"}},
        // The first "settings" counts, and only "1" is on; from the first
        // "feed" on, every element is a feed, whatever its name.
        {"<TessarineSettings><other url='u0'/><settings updatestart='true' quitcomplete='1'/>"
         "<feed url='u1' lastchecked='x'>One</feed><!-- c --><other url='u2'>Two</other>"
         "<settings updatestart='1'/><feed>No url</feed></TessarineSettings>",
         {"01", "u1|One|x", "u2|Two|", "||", "|No url|"}},
        // Bytes that are not UTF-8 (a file written in Latin-1, or by hand) are
        // read in the form a save writes them: a URL's percent-encoded, as a
        // request sends them, a name's as the Latin-1 letters they stand for;
        // URLs that differ in the file stay apart. (Saved and read again they
        // stay so: the settings fuzz target's round trip and its regressions.)
        {MakeSettings({{"http://h/caf\xE9\xFF", "Caf\xE9"},
                       {"http://h/caf\xC3\xA9\xC3\xBF", "Caf\xC3\xA9"},
                       {"http://h/%41\x80", "A"}}),
         {"--", "http://h/caf%E9%FF|Caf\xC3\xA9|", "http://h/caf\xC3\xA9\xC3\xBF|Caf\xC3\xA9|",
          "http://h/%41%80|A|"}},
    };
    for (const auto& [text, expected] : table) {
        WriteFile(path, text);
        EXPECT_EQ(Read(path), expected) << text;
    }
}

TEST(FeedAddress, PastedFormsBecomeWebUrlsAndTheRestIsRefused) {
    for (const auto& [typed, stored] : std::vector<std::pair<std::string, std::string>>{
             // Kept as written, letter case included; blanks around go.
             {" \tHTTPS://Example.org/Feed?x=1 \r\n", "HTTPS://Example.org/Feed?x=1"},
             {"http://user:pw@[::1]:8080/a b", "http://user:pw@[::1]:8080/a b"},
             // Stored as the settings file keeps it: bytes that are not UTF-8 encoded.
             {"http://example.org/\xC3\xA9-\xFF.xml", "http://example.org/\xC3\xA9-%FF.xml"},
             // The schemes of podcast links.
             {"feed://example.org/rss", "http://example.org/rss"},
             {"FEED:https://example.org/rss", "https://example.org/rss"},
             {"itpc://example.org/rss", "http://example.org/rss"},
             {"podcast://example.org/rss", "http://example.org/rss"},
             // No scheme: a host as an address bar takes it.
             {"example.org/feed.xml", "http://example.org/feed.xml"},
             {"localhost:8080/feed", "http://localhost:8080/feed"},
             {"//example.org/feed", "http://example.org/feed"}}) {
        EXPECT_EQ(FeedAddress(typed).value_or("(refused)"), stored) << typed;
        EXPECT_EQ(FeedAddress(stored).value_or("(refused)"), stored) << "stored form of " << typed;
    }
    // Nothing a check could ever fetch.
    for (const char* typed :
         {"", "   ", "ftp://example.org/feed", "file:///etc/passwd", "feed:ftp://example.org/rss",
          "itpc:example.org/rss", "http:example.org/rss", "http://", "http:///feed.xml",
          "http://exa mple.org/feed", "not an address", "http://example.org:80x/feed",
          "http://example.org:99999/feed"})
        EXPECT_FALSE(FeedAddress(typed)) << typed;
}

TEST(SubscriptionList, AddingComparesSchemeHostAndPortWithoutCaseLoadingExactly) {
    // Scheme, host and default port compare without case, the rest exactly.
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"HTTP://H/f", "http://h/f", true},        {"http://h:80/f", "http://h/f", true},
        {"https://h:443/f", "HTTPS://H/f", true},  {"http://h:/f", "http://h/f", true},
        {"http://h", "http://h/", true},           {"http://h?q", "http://h/?q", true},
        {"http://h:443/f", "http://h/f", false},   {"https://h/f", "http://h/f", false},
        {"http://h/F", "http://h/f", false},       {"http://h/f?A", "http://h/f?a", false},
        {"http://Me@h/f", "http://me@h/f", false}, {"http://h:8080/f", "http://h/f", false}};
    for (const auto& [a, b, same] : cases)
        EXPECT_EQ(FeedAddressKey(a) == FeedAddressKey(b), same) << a << " " << b;

    // Adding refuses another spelling of a listed feed; loading keeps exact
    // comparison, so no listed spelling is ever dropped.
    SubscriptionList list;
    const SubscriptionPtr first = list.AppendNew("http://host/feed.xml", "");
    ASSERT_TRUE(first);
    EXPECT_FALSE(list.AppendNew("HTTP://HOST:80/feed.xml", ""));
    EXPECT_TRUE(list.ContainsSameFeed("http://Host/feed.xml"));
    const SubscriptionPtr loaded = list.Append("HTTP://Host/feed.xml", "loaded");
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(list.Append("http://host/feed.xml", "again")); // the same spelling again
    const SubscriptionPtr other = list.AppendNew("http://host/other.xml", "");
    ASSERT_TRUE(other);
    // A record takes another URL unless that feed is listed.
    EXPECT_FALSE(list.ChangeUrl(other, "http://HOST/feed.xml"));
    EXPECT_TRUE(list.ChangeUrl(other, "http://host/moved.xml"));
    EXPECT_EQ(other->url, "http://host/moved.xml");
    const SubscriptionPtr last = list.AppendNew("http://host/other.xml", "");
    // The feed stays listed until its last spelling goes.
    ASSERT_TRUE(list.Remove(loaded));
    EXPECT_FALSE(list.Remove(loaded));
    EXPECT_TRUE(list.ContainsSameFeed("http://host/feed.xml"));
    ASSERT_TRUE(list.Remove(first));
    EXPECT_FALSE(list.ContainsSameFeed("http://host/feed.xml"));
    EXPECT_EQ(list.Items(), (std::vector<SubscriptionPtr>{other, last}));
    EXPECT_TRUE(list.AppendNew("http://host/feed.xml", ""));
}

TEST(OleDateTime, FormatsParsesAndRefusesInvalidDates) {
    EXPECT_EQ(OleDateTime::FromFields({2009, 1, 28, 13, 24, 41}).FormatShown(), "28.01.2009 13:24");
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
    std::vector<int> ids = {IDS_COLUMN_FILE,    IDS_COLUMN_SIZE,   IDS_COMPLETED,
                            IDS_BASEDIR_IN_USE, IDS_SETTINGS_KEPT, IDS_SETTINGS_NOT_KEPT};
    for (int id = IDS_WAITING; id <= IDS_SIZE_FORMAT; ++id)
        ids.push_back(id == 118 ? IDS_DUPLICATE_URL : id); // 118 is not used
    for (int id = TXT_CAPTION; id <= TXT_WEB_ADDRESS; ++id)
        ids.push_back(id);
    for (int id = TXT_SETTINGS_AUTOSTART_LOGIN; id <= TXT_APP_HELP; ++id)
        ids.push_back(id);
    for (int id : ids)
        EXPECT_FALSE(LoadResString(id, Language::English).empty() ||
                     LoadResString(id, Language::German).empty())
            << id;
}

TEST(Strings, SizeTextKeepsItsDecimalPointUnderACommaLocale) {
    // A German locale, else one built here (LOCPATH), else any with a comma.
    TempDir dir;
    const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    if (german == nullptr &&
        std::system(("localedef -i de_DE -f UTF-8 '" + dir / "de_DE.UTF-8" + "' >/dev/null 2>&1")
                        .c_str()) == 0) {
        ScopedEnv locpath("LOCPATH", dir.Path().string());
        german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
    for (const char* name : {"de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        german = german ? german : std::setlocale(LC_NUMERIC, name);
    if (german == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma (locales package, localedef)";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 5.0);
    EXPECT_STREQ(probe, "5,0"); // the locale is in force
    EXPECT_EQ(FormatResNumber(IDS_SIZE_FORMAT, 1234.56), "1234.6MB");
    std::setlocale(LC_NUMERIC, "C");
}

TEST(FileStore, ReplacingKeepsLinksModesAndLeavesNoTemporaryFile) {
    TempDir dir;
    // settings -> link/relative -> real/file, kept at 0600.
    fs::create_directories(dir.Path() / "real");
    fs::create_directories(dir.Path() / "base");
    const fs::path file = dir.Path() / "real/file", link = dir.Path() / "base/link",
                   settings = dir.Path() / "base/settings";
    WriteFile(file, "old");
    ::chmod(file.c_str(), 0600);
    fs::create_symlink("../real/file", link);
    fs::create_symlink("link", settings);
    ASSERT_TRUE(WriteFileAtomically(settings.string(), "new"));
    EXPECT_TRUE(fs::is_symlink(settings) && fs::is_symlink(link));
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0600));

    // A dangling link: its target is created, the link stays.
    fs::create_symlink("../real/missing", dir.Path() / "base/dangling");
    ASSERT_TRUE(WriteFileAtomically((dir.Path() / "base/dangling").string(), "created"));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "base/dangling"));
    EXPECT_EQ(ReadFile(dir.Path() / "real/missing"), "created");
    // A folder in the way fails and leaves nothing behind.
    fs::create_directories(dir.Path() / "base/folder");
    EXPECT_FALSE(WriteFileAtomically((dir.Path() / "base/folder").string(), "x"));
    for (const char* folder : {"real", "base"})
        for (auto& entry : fs::directory_iterator(dir.Path() / folder))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                << entry.path();

    // Leftovers of a killed write, beside the link and beside its target;
    // only the writer's own pattern goes.
    const std::pair<std::string, bool> names[] = {{"base/settings.tmp12-0", true},
                                                  {"real/file.tmp9-31", true},
                                                  {"base/settings.tmp", false},
                                                  {"base/settings.tmpx-1", false},
                                                  {"base/settings.tmp1-2.bak", false},
                                                  {"base/other.tmp1-2", false},
                                                  {"real/file.unreadable-20240101-000000", false}};
    for (const auto& [name, leftover] : names)
        WriteFile(dir.Path() / name, "x");
    EXPECT_EQ(RemoveLeftoverTemporaryFiles(settings.string()), 2);
    for (const auto& [name, leftover] : names)
        EXPECT_NE(fs::exists(dir.Path() / name), leftover) << name;
}

// The program's and the command line's tests show the copy of an unreadable
// file named, made once for the same bytes and none for a good file.
TEST(SettingsFile, UnreadableFileIsKeptBesideItselfWithItsMode) {
    TempDir dir;
    const std::string path = SettingsFilePath(dir.Base());
    EXPECT_FALSE(LoadSettingsFile(path).unreadable); // missing: nothing to keep
    const std::string damaged = "<TessarineSettings><feed url='u'>One</fed></TessarineSettings>";
    WriteFile(path, damaged);
    ::chmod(path.c_str(), 0600);
    const SettingsLoad first = LoadSettingsFile(path);
    ASSERT_TRUE(first.unreadable && !first.settings);
    EXPECT_EQ(first.keptCopy.rfind(path + ".unreadable-", 0), 0u);
    EXPECT_EQ(first.keptCopy.size(), (path + ".unreadable-20240101-000000").size());
    EXPECT_EQ(ReadFile(first.keptCopy), damaged);
    EXPECT_EQ(fs::status(first.keptCopy).permissions() & fs::perms::all, fs::perms(0600));
    // Other bytes (a wrong root element) get a copy of their own.
    WriteFile(path, "<Other/>");
    const SettingsLoad second = LoadSettingsFile(path);
    EXPECT_NE(second.keptCopy, first.keptCopy);
    EXPECT_EQ(ReadFile(second.keptCopy), "<Other/>");
}

// Each kind of special file where the program expects one of its own: no
// read waits on it (a hang would time the test out), none is read whole,
// none is replaced, and the lock it stands in for counts as held.
TEST(FileStore, SpecialFilesInPlaceOfOurOwnAreNeitherReadNorReplaced) {
    for (const SpecialFile kind : kSpecialFiles) {
        SCOPED_TRACE(NameOf(kind));
        TempDir dir;
        const fs::path outside = dir.Path() / "outside", at = dir.Path() / "file";
        MakeSpecialFile(kind, at, outside);
        const bool link = kind == SpecialFile::LinkOutside;
        std::string bytes = "left";
        const FileRead expected =
            kind == SpecialFile::Sparse ? FileRead::TooLarge : FileRead::NotRegular;
        EXPECT_EQ(ReadRegularFile(at.string(), 1 << 20, bytes, false), expected);
        EXPECT_EQ(bytes, "");
        // The settings file's link is followed; other links, never.
        EXPECT_EQ(ReadRegularFile(at.string(), 1 << 20, bytes), link ? FileRead::Read : expected);
        // Written over only where a regular file is (the sparse one).
        EXPECT_EQ(WriteFileAtomically(at.string(), "new", false), kind == SpecialFile::Sparse);
        if (kind != SpecialFile::Sparse) {
            EXPECT_TRUE(SpecialFileIntact(kind, at, outside));
        }

        // The settings file: a FIFO or a folder counts as missing, a file
        // too large to read as unreadable (moved aside whole).
        MakeSpecialFile(kind, dir / kSettingsFileName, outside);
        const SettingsLoad load = LoadSettingsFile(SettingsFilePath(dir.Base()));
        EXPECT_FALSE(load.settings);
        EXPECT_EQ(load.unreadable, kind == SpecialFile::Sparse || link);
        EXPECT_TRUE(SpecialFileIntact(kind,
                                      kind == SpecialFile::Sparse ? fs::path(load.keptCopy)
                                                                  : dir.Path() / kSettingsFileName,
                                      outside));

        // The lock file: anything there that cannot be locked is taken as held.
        MakeSpecialFile(kind, dir / kLockFileName, outside);
        EXPECT_EQ(BaseDirectoryLock(dir.Base()).GetState(),
                  kind == SpecialFile::Sparse ? BaseDirectoryLock::State::Obtained
                                              : BaseDirectoryLock::State::HeldElsewhere);
        EXPECT_TRUE(SpecialFileIntact(kind, dir / kLockFileName, outside));
    }
}

// The names stored outside the base directory are found again only when they
// are spelled as the versions before wrote them: pinned here, with every
// spelling of a folder naming the same record and socket.
TEST(BaseDirectory, StoredNamesKeepTheirSpellingForEverySpellingOfTheFolder) {
#ifndef _WIN32
    // Every spelling, its absolute text and the name of its check record.
    const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
        {{"/nonexistent-tessarine/pods", "/nonexistent-tessarine//pods///",
          "/nonexistent-tessarine/x/../pods/./"},
         "/nonexistent-tessarine/pods",
         "e3cac9b286131249.checks"},
        {{"/nonexistent-tessarine/Pod Casts/x/"},
         "/nonexistent-tessarine/Pod Casts/x",
         "723e7e53112bebfb.checks"},
        {{"/", "//"}, "/", "af63a24c860189fe.checks"}};
    for (const auto& [spellings, absolute, checkRecord] : cases) {
        EXPECT_EQ(BaseDirectoryPath(spellings[0]).Text(),
                  absolute.ends_with('/') ? absolute : absolute + "/");
        for (const std::string& spelling : spellings) {
            SCOPED_TRACE(spelling);
            const BaseDirectoryPath base(spelling);
            EXPECT_EQ(base.AbsoluteText(), absolute);
            EXPECT_EQ(base.InstanceKey(), absolute); // a folder that does not exist
            EXPECT_EQ(base.CheckRecordFileName(), checkRecord);
            EXPECT_EQ(CheckHistory::FileFor("/c", spelling), "/c/" + checkRecord);
        }
    }
    // The profile's value ends with exactly one separator.
    for (const auto& [stored, used] : std::map<std::string, std::string>{
             {"", ""}, {"/home/u/pods///", "/home/u/pods/"}, {"/", "/"}, {"pods", "pods/"}})
        EXPECT_EQ(NormalizedBaseDirectory(stored), used) << stored;
    const BaseDirectoryPath pods("/srv/pods");
    EXPECT_EQ(pods.SettingsFile() + "|" + pods.LockFile() + "|" + pods.EpisodeStoreFile(),
              "/srv/pods/Tessarine Settings.xml|/srv/pods/.tessarine.lock|"
              "/srv/pods/Tessarine Episodes.db");

    // The current folder, and a link: the record names the folder as spelled,
    // the instance key the folder the link leads to.
    TempDir dir;
    fs::create_directories(dir / "real");
    fs::create_directory_symlink(dir / "real", dir / "link");
    const std::string real = fs::canonical(dir / "real").string();
    EXPECT_EQ(BaseDirectoryPath(dir.Base() + "link/").InstanceKey(), real);
    EXPECT_EQ(BaseDirectoryPath(dir.Base() + "link/").AbsoluteText(), dir.Base() + "link");
    EXPECT_EQ(BaseDirectoryPath().InstanceKey(), fs::canonical(fs::current_path()).string());
    EXPECT_EQ(BaseDirectoryPath().AbsoluteText(), fs::current_path().string());
#endif
}

// The library holds its base directory from the claim until it closes (the
// program's and the window's tests show a claim, its leftovers and a folder
// held elsewhere): the same folder under another spelling keeps its lock, a
// folder that cannot hold one is used without it.
TEST(PodcastLibrary, HoldsItsBaseDirectoryFromClaimToClose) {
    TempDir dir;
    const std::string a = dir.Base() + "a/", b = dir.Base() + "b/";
    fs::create_directories(a);
    fs::create_directories(b);
    WriteFile(b + kSettingsFileName, MakeSettings({{"http://x/b.xml", "B"}}));
    EventRecorder view;
    PodcastLibrary library(view, {});
    EXPECT_EQ(library.ClaimBaseDirectory(a + "//"), PodcastLibrary::Claim::Obtained);
    library.Open();
    EXPECT_EQ(library.BaseDirectory(), a);
    ASSERT_TRUE(library.ChangeBaseDirectory(dir.Base() + "b/../a"));
    EXPECT_TRUE(library.HoldsLock());
    EXPECT_EQ(library.BaseDirectory(), dir.Base() + "b/../a/");
    ASSERT_TRUE(library.ChangeBaseDirectory(b));
    ASSERT_EQ(library.SubscriptionRows().size(), 1u);
    EXPECT_EQ(library.SubscriptionRows()[0].values.url, "http://x/b.xml");
    EXPECT_TRUE(BaseDirectoryLock(a).Held()); // let go
    EXPECT_FALSE(library.ChangeBaseDirectory(dir.Base() + "missing").value().loaded);
    EXPECT_FALSE(library.HoldsLock());
    EXPECT_TRUE(BaseDirectoryLock(b).Held());
    EXPECT_EQ(library.ClaimBaseDirectory(a), PodcastLibrary::Claim::Obtained);
    library.Close();
    EXPECT_FALSE(library.HoldsLock());
    EXPECT_TRUE(BaseDirectoryLock(a).Held());
}

TEST(BaseDirectory, FolderNamesFitAnEntryAndNeverTakeTheSettingsFilesPlace) {
    std::string cjk; // 86 characters of three bytes each
    for (int i = 0; i < 86; ++i)
        cjk += "\xE6\xBC\xA2";
    EXPECT_EQ(FeedFolderName(cjk), cjk.substr(0, 255));
    EXPECT_EQ(FeedFolderName(cjk + "x"), cjk.substr(0, 255)); // never half a character
    EXPECT_EQ(FeedFolderName(std::string(300, 'a') + ".mp3"), std::string(251, 'a') + ".mp3");
    EXPECT_EQ(FeedFolderName(std::string(255, 'a')), std::string(255, 'a'));
    EXPECT_EQ(ShortenedName("abcdef.x", 6), "abcd.x");
    EXPECT_EQ(ShortenedName(std::string(300, 'b') + "." + std::string(40, 'e'), 255),
              std::string(255, 'b')); // an extension that long is none
    for (const char* name :
         {"Tessarine Settings.xml", "tessarine settings.XML", "Tessarine Settings.xml.tmp5-1",
          ".tessarine.lock", "Tessarine Episodes.db", "tessarine episodes.DB-journal"})
        EXPECT_EQ(FeedFolderName(name), name + std::string("_")) << name;
    EXPECT_EQ(FeedFolderName("feed.xml"), "feed.xml");
    // A podcast without a name keeps its files in the base directory itself.
    EXPECT_EQ(FeedFilePath("/srv/pods/", "", "ep.mp3"), "/srv/pods/ep.mp3");
    EXPECT_EQ(FeedFilePath("/srv/pods/", "A/B", "ep.mp3"), "/srv/pods/A_B/ep.mp3");
}

TEST(StartupCheck, DecisionForTheSwitchesAndTheOption) {
    // checkAndQuit, doNotCheck, updateStart -> check
    const std::vector<std::array<int, 4>> cases = {
        {0, 0, 1, 1}, {0, 0, 0, 0}, {0, 1, 1, 0}, {1, 0, 0, 1}, {1, 1, 0, 1}};
    for (const auto& [checkAndQuit, doNotCheck, updateStart, check] : cases)
        EXPECT_EQ(
            PodcastLibrary::StartupCheckWanted({checkAndQuit != 0, doNotCheck != 0}, updateStart),
            check != 0);
}
