// Feeds written to do harm, checked by the real main window: channel titles
// and enclosure URLs with "..", "/", "\", control characters, names of
// 10,000 characters and invalid UTF-8. Nothing may be written outside the
// base directory, the program must neither crash nor hang, and each row must
// show something sane.
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/ReportList.h"
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/SettingsFile.h"
#include "support/GuiHarness.h"
#include "support/LoopbackServer.h"
#include "update/FeedReader.h"

#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

// A marker that names everything a feed might try to place outside.
const std::string kMark = "tessarine-hostile-" + std::to_string(::getpid());

struct Hostile {
    std::string path;    // where the feed is served
    std::string title;   // the channel title as it stands in the document
    std::string name;    // the name it gives the subscription
    std::vector<std::string> enclosures; // as they stand in the document
};

std::string FeedText(const Hostile& feed, const std::string& server) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
                       "<title>" + feed.title + "</title>\n";
    for (const std::string& url : feed.enclosures)
        text += "<item><title>x</title><enclosure url=\"" + server + url + "\"/></item>\n";
    return text + "</channel></rss>\n";
}

} // namespace

TEST(HostileNames, NothingLeavesTheBaseAndRowsStaySane) {
    GuiHarness harness;
    TempDir outer; // the base lies inside: anything beside it has escaped
    const std::string base = outer.Base() + "base/";
    fs::create_directories(base);
    harness.SetProfileBaseDirectory(QString::fromStdString(base));

    const std::string longName(10000, 'L');
    const std::vector<Hostile> feeds = {
        {"/dots.xml", "../../escape-" + kMark, "../../escape-" + kMark,
         {"/e/..%2F..%2Fup-" + kMark + ".mp3", "/e/..\\..\\back-" + kMark + ".mp3", "/e/..",
          "/e/"}},
        {"/slash.xml", "a/b\\c/" + kMark, "a/b\\c/" + kMark, {"/e/ep.mp3"}},
        {"/dot.xml", ".", ".", {"/e/ep.mp3"}},
        {"/dotdot.xml", "..", "..", {"/e/ep.mp3"}},
        {"/control.xml", "Bell&#7;Esc&#27;Del&#127;", "Bell\x07" "Esc\x1b" "Del\x7f",
         {"/e/tab&#9;ctl&#1;.mp3"}},
        {"/utf8.xml", "Caf\xE9 \xFF\xFE\xC3 ok", "Caf\xE9 \xFF\xFE\xC3 ok",
         {"/e/bad\xFF\xFE.mp3"}},
        {"/long.xml", longName, longName, {"/e/ep.mp3", "/e/" + longName + ".mp3"}},
    };

    LoopbackServer server;
    for (const Hostile& feed : feeds)
        server.Serve(feed.path, FeedText(feed, server.Url("")), "text/xml");
    server.Server().Get(R"(/e/.*)", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("enclosure", "audio/mpeg");
    });
    server.Start();
    {
        std::string settings = "<TessarineSettings><settings updatestart='1' quitcomplete='0'/>";
        for (const Hostile& feed : feeds)
            settings += "<feed url='" + server.Url(feed.path) + "'>Before</feed>";
        WriteFile(base + kSettingsFileName, settings + "</TessarineSettings>");
    }

    // Started as usual, the window checks every feed at once (each has a
    // name, so "Check for new items" marks it).
    CTessarineDlg w;
    w.OnInitDialog();
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Engine().CyclesRun() > 0 && !w.Engine().IsBusy(); },
                                30000))
        << "hangs";
    QCoreApplication::processEvents();

    // Subscriptions: each named as its feed says, shown as such; invalid
    // UTF-8 shows replacement characters.
    ReportListModel* rows = w.SubscriptionList()->Model();
    ASSERT_EQ(rows->rowCount(), static_cast<int>(feeds.size()));
    // Invalid UTF-8 may be kept as bytes (and shown with replacement
    // characters) or read as Latin-1, which is valid UTF-8 afterwards.
    const std::string latin1 = QString::fromLatin1(feeds[5].name).toStdString();
    for (size_t i = 0; i < feeds.size(); ++i) {
        const auto record = w.Model().subscriptions.At(static_cast<long long>(i));
        if (i == 5) {
            EXPECT_TRUE(record->name == feeds[i].name || record->name == latin1) << record->name;
        } else {
            EXPECT_EQ(record->name, feeds[i].name) << feeds[i].path;
        }
        EXPECT_EQ(rows->Cell(static_cast<int>(i), 0), QString::fromStdString(record->name));
        EXPECT_FALSE(rows->Cell(static_cast<int>(i), 0).isEmpty());
        EXPECT_NE(rows->Cell(static_cast<int>(i), 2), "Error") << feeds[i].path;
    }
    EXPECT_TRUE(rows->Cell(5, 0) == QString::fromUtf8("Caf\uFFFD \uFFFD\uFFFD\uFFFD ok") ||
                rows->Cell(5, 0) == QString::fromLatin1(feeds[5].name))
        << rows->Cell(5, 0).toStdString();
    EXPECT_EQ(rows->Cell(6, 0).size(), 10000);

    // Downloads: every row names a file; none is empty.
    ReportListModel* downloads = w.DownloadList()->Model();
    ASSERT_GT(downloads->rowCount(), 0);
    bool replacementShown = false;
    for (int row = 0; row < downloads->rowCount(); ++row) {
        const QString file = downloads->Cell(row, 0);
        EXPECT_FALSE(file.isEmpty()) << row;
        EXPECT_FALSE(file.contains('/')) << row;
        replacementShown = replacementShown || file.contains(QChar(0xFFFD));
        EXPECT_TRUE(downloads->Cell(row, 3) == "Completed" || downloads->Cell(row, 3) == "Failed");
    }
    EXPECT_TRUE(replacementShown);
    // Only names that cannot exist failed, each with its path.
    for (const auto& message : harness.messages) {
        EXPECT_TRUE(message.text.startsWith("Error creating file " + QString::fromStdString(base)) ||
                    message.text.startsWith("Could not open"))
            << message.text.toStdString().substr(0, 200);
    }

    // Nothing beside the base, nothing outside it, nothing named after the
    // marker anywhere above it.
    std::vector<std::string> beside;
    for (auto& entry : fs::directory_iterator(outer.Path()))
        beside.push_back(entry.path().filename().string());
    EXPECT_EQ(beside, std::vector<std::string>{"base"});
    const std::string inside = fs::canonical(base).string() + "/";
    size_t files = 0;
    for (auto& entry : fs::recursive_directory_iterator(base)) {
        EXPECT_EQ(fs::canonical(entry.path()).string().rfind(inside, 0), 0u) << entry.path();
        EXPECT_NE(entry.path().extension(), ".part");
        files += entry.is_regular_file();
    }
    EXPECT_GE(files, 5u);
    for (const fs::path& above : {outer.Path().parent_path(), outer.Path().parent_path().parent_path()})
        for (auto& entry : fs::directory_iterator(above))
            EXPECT_EQ(entry.path().filename().string().find(kMark), std::string::npos)
                << entry.path();
    EXPECT_TRUE(fs::exists(base + FeedFolderName(feeds[0].name) + "/..%2F..%2Fup-" + kMark + ".mp3"));
    EXPECT_TRUE(fs::exists(base + "__/ep.mp3"));
    EXPECT_TRUE(fs::exists(base + "_/ep.mp3"));

    // The settings file keeps every name byte for byte and reads back whole.
    const auto stored = ReadSettingsFile(base + kSettingsFileName);
    ASSERT_TRUE(stored.has_value());
    ASSERT_EQ(stored->feeds.size(), feeds.size());
    for (size_t i = 0; i < feeds.size(); ++i) {
        EXPECT_EQ(stored->feeds[i].url, server.Url(feeds[i].path));
        EXPECT_EQ(stored->feeds[i].name, w.Model().subscriptions.At(static_cast<long long>(i))->name)
            << feeds[i].path;
    }
    server.Stop();
}
