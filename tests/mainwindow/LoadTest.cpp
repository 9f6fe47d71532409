// The real main window under load: 2,000 subscriptions, 20,000 queued
// downloads, and commands fired at random from the GUI thread while the
// worker runs its cycles. Nothing may crash or hang, no row may be lost or
// doubled, rows must keep matching records, and the settings file must be a
// whole, sensible snapshot after every command.
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/ReportList.h"
#include "platform/Desktop.h"
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/SettingsFile.h"
#include "support/Feeds.h"
#include "support/GuiHarness.h"
#include "support/LoopbackServer.h"
#include "support/Sanitized.h"
#include "update/FeedReader.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

// Under the sanitizers every step is many times slower: a fifth of the scale.
constexpr int kFeeds = kSanitized ? 400 : 2000;
constexpr int kItems = 10;
constexpr int kCommands = kSanitized ? 30 : 60;
constexpr int kEarlierShows = 20;

std::string Title(int feed) { return "Feed " + std::to_string(feed); }
std::string EarlierShow(int feed) { return "Show " + std::to_string(feed % kEarlierShows); }
std::string MediaPath(int feed, int item) {
    return "/m/" + std::to_string(feed) + "/ep" + std::to_string(item) + ".mp3";
}

// Feeds and enclosures served from memory: feed i has the title "Feed i"
// and ten small enclosures.
struct FeedServer {
    LoopbackServer server;
    std::atomic<int> feedRequests{0}, mediaRequests{0};

    FeedServer() {
        server.Server().Get(R"(/f/(\d+)\.xml)", [this](const httplib::Request& request,
                                                       httplib::Response& response) {
            ++feedRequests;
            const int feed = std::stoi(request.matches[1].str());
            std::vector<TestItem> items;
            for (int item = 0; item < kItems; ++item)
                items.push_back({server.Url(MediaPath(feed, item))});
            response.set_content(MakeFeed(Title(feed), items), "text/xml");
        });
        server.Server().Get(R"(/m/\d+/ep\d+\.mp3)",
                            [this](const httplib::Request&, httplib::Response& response) {
                                ++mediaRequests;
                                response.set_content("episode", "audio/mpeg");
                            });
        server.Start();
    }
    std::string FeedUrl(int feed) const { return server.Url("/f/" + std::to_string(feed) + ".xml"); }
};

std::string SettingsFor(const std::vector<std::string>& urls,
                        const std::vector<std::string>& names) {
    std::string text = "<?xml version=\"1.0\" ?>\r\n<TessarineSettings>\r\n"
                       "    <settings updatestart=\"0\" quitcomplete=\"0\"></settings>\r\n";
    for (size_t i = 0; i < urls.size(); ++i)
        text += "    <feed url=\"" + urls[i] + "\" lastchecked=\"28.01.2009 13:24:41\">" +
                names[i] + "</feed>\r\n";
    return text + "</TessarineSettings>\r\n";
}

std::vector<std::string> UrlsOf(const StoredSettings& stored) {
    std::vector<std::string> urls;
    for (const StoredFeed& feed : stored.feeds)
        urls.push_back(feed.url);
    return urls;
}

class LoadTest : public testing::Test {
protected:
    LoadTest() {
        baseA = harness.root.Base() + "a/";
        baseB = harness.root.Base() + "b/";
        fs::create_directories(baseA);
        fs::create_directories(baseB);
        harness.SetProfileBaseDirectory(QString::fromStdString(baseA));
    }

    std::vector<std::string> ModelUrls() {
        std::lock_guard lock(window->Model().mutex);
        std::vector<std::string> urls;
        for (const SubscriptionPtr& s : window->Model().subscriptions.Items())
            urls.push_back(s->url);
        return urls;
    }
    std::string CurrentBase() {
        std::lock_guard lock(window->Model().mutex);
        return window->Model().baseDirectory;
    }
    // The settings file of `base`, which must be whole and well-formed.
    std::vector<std::string> StoredUrls(const std::string& base) {
        const auto stored = ReadSettingsFile(base + kSettingsFileName);
        EXPECT_TRUE(stored.has_value()) << base;
        if (!stored)
            return {};
        const auto urls = UrlsOf(*stored);
        EXPECT_EQ(std::set<std::string>(urls.begin(), urls.end()).size(), urls.size());
        for (const StoredFeed& feed : stored->feeds)
            EXPECT_FALSE(feed.name.empty());
        return urls;
    }

    GuiHarness harness;
    std::string baseA, baseB;
    std::unique_ptr<CTessarineDlg> window;
};

} // namespace

TEST_F(LoadTest, RandomCommandsWhileCyclesRun) {
    FeedServer feeds;
    std::vector<std::string> urls, names;
    for (int i = 0; i < kFeeds; ++i) {
        urls.push_back(feeds.FeedUrl(i));
        names.push_back(Title(i));
    }
    WriteFile(baseA + kSettingsFileName, SettingsFor(urls, names));
    // The other base holds the same feeds the other way round.
    std::reverse(urls.begin(), urls.end());
    std::reverse(names.begin(), names.end());
    WriteFile(baseB + kSettingsFileName, SettingsFor(urls, names));

    EngineOptions options;
    options.http.connectTimeoutSeconds = 10;
    options.http.stallTimeoutSeconds = 10;
    window = std::make_unique<CTessarineDlg>(StartupSwitches{}, options);
    CTessarineDlg& w = *window;
    w.OnInitDialog();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_EQ(w.SubscriptionList()->Model()->rowCount(), kFeeds);

    // 20,000 enclosures of 20 earlier shows, queued the way a cycle queues
    // them, on a thread of their own while the GUI thread serves the row
    // inserts. Then most of their files appear in both bases, as if fetched
    // earlier; each transfer run walks all 20,000 entries.
    std::atomic<bool> queued{false};
    std::thread queuer([&] {
        for (int i = 0; i < kFeeds; ++i)
            for (int j = 0; j < kItems; ++j)
                w.Engine().QueueDownload(feeds.server.Url(MediaPath(i, j)), EarlierShow(i));
        queued = true;
    });
    const bool queuedInTime = QTest::qWaitFor(
        [&] { return queued && w.DownloadList()->Model()->rowCount() == kFeeds * kItems; },
        120000);
    queuer.join();
    ASSERT_TRUE(queuedInTime) << w.DownloadList()->Model()->rowCount();
    for (const std::string& base : {baseA, baseB}) {
        for (int show = 0; show < kEarlierShows; ++show) {
            fs::create_directory(base + EarlierShow(show));
            for (int j = 0; j + 1 < kItems; ++j)
                WriteFile(base + EarlierShow(show) + "/ep" + std::to_string(j) + ".mp3", "episode");
        }
    }

    // Commands at random, with a fixed seed, while the worker runs.
    std::mt19937 random(20240607);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    std::map<std::string, int> fired;
    std::set<std::string> subscribedHere; // subscribed since the base was last loaded
    int nextFeed = kFeeds;
    size_t peakQueue = 0;
    const auto phaseStart = std::chrono::steady_clock::now();
    for (int command = 0; command < kCommands; ++command) {
        SCOPED_TRACE("command " + std::to_string(command));
        const int roll = pick(100);
        const int rows = w.SubscriptionList()->Model()->rowCount();
        if (roll < 10) {
            fired["check"]++;
            w.OnCommand(ID_CHECK_NEW_ITEMS);
        } else if (roll < 40) {
            fired["update one"]++;
            if (rows > 0)
                w.SubscriptionList()->SelectRow(pick(rows));
            w.OnCommand(ID_UPDATE_THIS_PODCAST);
        } else if (roll < 60) {
            fired["subscribe"]++;
            const std::string url = feeds.FeedUrl(nextFeed++);
            ASSERT_TRUE(w.AddSubscription(url, ""));
            subscribedHere.insert(url);
            w.Engine().RequestCycle();
        } else if (roll < 85) {
            fired["remove"]++;
            if (rows > 0)
                w.SubscriptionList()->SelectRow(pick(rows));
            w.OnCommand(ID_REMOVE_PODCAST);
            // The removal was saved: the file holds exactly the list.
            EXPECT_EQ(StoredUrls(CurrentBase()), ModelUrls());
        } else {
            fired["change base directory"]++;
            const std::string from = CurrentBase();
            const std::string to = from == baseA ? baseB : baseA;
            const auto before = ModelUrls();
            const auto waiting = StoredUrls(to);
            harness.answers = {QMessageBox::Yes};
            harness.chosenFolders = {QString::fromStdString(to)};
            w.OnCommand(ID_SET_BASE_DIRECTORY);
            harness.answers.clear();
            ASSERT_EQ(CurrentBase(), to);
            // The new list is exactly the new base's file: nothing lost on loading.
            EXPECT_EQ(ModelUrls(), waiting);
            // The old base's file kept every subscription it had, except new
            // ones that no save had reached yet.
            const auto left = StoredUrls(from);
            std::vector<std::string> leftKnown;
            for (const std::string& url : before)
                if (!subscribedHere.count(url) ||
                    std::find(left.begin(), left.end(), url) != left.end())
                    leftKnown.push_back(url);
            EXPECT_EQ(left, leftKnown);
            subscribedHere.clear();
        }
        StoredUrls(CurrentBase()); // whole and well-formed after every command
        EXPECT_EQ(w.SubscriptionList()->Model()->rowCount(), static_cast<int>(ModelUrls().size()));
        QTest::qWait(5 + pick(40));
        peakQueue = std::max<size_t>(peakQueue, w.DownloadList()->Model()->rowCount());
    }
    const double phaseSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - phaseStart).count();

    // Stop the worker (bounded), as closing the window does, then compare.
    w.Engine().BeginShutdown();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.Engine().IsBusy(); }, 60000)) << "deadlock";
    w.Engine().Shutdown();
    QCoreApplication::processEvents(); // row changes still on their way
    w.RefreshSubscriptionRows();

    ReportListModel* subscriptionRows = w.SubscriptionList()->Model();
    ReportListModel* downloadRows = w.DownloadList()->Model();
    uint64_t cycles = w.Engine().CyclesRun();
    {
        std::lock_guard lock(w.Model().mutex);
        const auto& items = w.Model().subscriptions.Items();
        ASSERT_EQ(subscriptionRows->rowCount(), static_cast<int>(items.size()));
        for (size_t i = 0; i < items.size(); ++i)
            ASSERT_EQ(subscriptionRows->Cell(static_cast<int>(i), 0).toStdString(), items[i]->name)
                << i;
        const DownloadQueue& queue = w.Model().downloads;
        ASSERT_EQ(downloadRows->rowCount(), static_cast<int>(queue.Size()));
        for (size_t i = 0; i < queue.Size(); ++i)
            ASSERT_EQ(downloadRows->Cell(static_cast<int>(i), 0).toStdString(),
                      FileNameFromUrl(queue.At(static_cast<long long>(i))->url))
                << i;
    }
    for (const auto& message : harness.messages)
        EXPECT_TRUE(message.text == "Select a feed first!" || message.text.startsWith("ATTENTION!"))
            << message.text.toStdString();

    std::string summary;
    for (const auto& [what, count] : fired)
        summary += " " + what + " " + std::to_string(count) + ",";
    std::printf("load: %d commands in %.1f s (%s) %llu cycles, %d feed and %d enclosure "
                "requests, %d subscriptions and %d download rows at the end\n",
                kCommands, phaseSeconds, summary.c_str(), static_cast<unsigned long long>(cycles),
                feeds.feedRequests.load(), feeds.mediaRequests.load(),
                subscriptionRows->rowCount(), downloadRows->rowCount());
    EXPECT_GE(cycles, 2u);
    feeds.server.Stop();
}

// A check that finishes while a change of base directory is loading the new
// base's settings file (here: while the load waits in the message box about a
// duplicate URL) saves the settings. That save must not write the half-loaded
// list over the file being read.
TEST_F(LoadTest, ASaveDuringABaseDirectoryChangeNeverTruncatesTheNewFile) {
    std::atomic<bool> asked{false}, release{false};
    LoopbackServer server;
    server.Server().Get("/a.xml", [&](const httplib::Request&, httplib::Response& response) {
        asked = true;
        for (int i = 0; i < 1000 && !release; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        response.set_content(MakeFeed("A", {}), "text/xml");
    });
    server.Start();
    WriteFile(baseA + kSettingsFileName,
              SettingsFor({server.Url("/a.xml")}, {"A"}));
    const std::vector<std::string> other = {"http://127.0.0.1:1/one.xml", "http://127.0.0.1:1/one.xml",
                                            "http://127.0.0.1:1/two.xml",
                                            "http://127.0.0.1:1/three.xml"};
    WriteFile(baseB + kSettingsFileName, SettingsFor(other, {"One", "Again", "Two", "Three"}));

    window = std::make_unique<CTessarineDlg>();
    CTessarineDlg& w = *window;
    w.OnInitDialog();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    // The check of A is under way, its feed on the wire.
    w.SubscriptionList()->SelectRow(0);
    w.OnCommand(ID_UPDATE_THIS_PODCAST);
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked.load(); }, 30000));

    // Change to B. The duplicate's message box runs an event loop, as a real
    // one does; meanwhile the check of A ends and saves.
    SetShowMessageBox([&](QWidget*, QMessageBox::Icon, const QString& text,
                          QMessageBox::StandardButtons) {
        if (text.startsWith("ATTENTION!"))
            return QMessageBox::Yes;
        release = true;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w.Engine().IsBusy(); }, 30000));
        return QMessageBox::Ok;
    });
    harness.chosenFolders = {QString::fromStdString(baseB)};
    w.OnCommand(ID_SET_BASE_DIRECTORY);
    ASSERT_TRUE(release.load());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.Engine().IsBusy(); }, 30000));

    const std::vector<std::string> loaded = {other[0], other[2], other[3]};
    EXPECT_EQ(ModelUrls(), loaded);
    EXPECT_EQ(StoredUrls(baseB), loaded); // every subscription of B is still in its file
    server.Stop();
}

// The worker may save at any moment, also just after a change of base
// directory has emptied the list and before the new base's file is read:
// that save must not replace the new base's file with the empty list.
TEST_F(LoadTest, AWorkerSaveBetweenEmptyingTheListAndLoadingIsHeld) {
    WriteFile(baseA + kSettingsFileName, SettingsFor({"http://127.0.0.1:1/a.xml"}, {"A"}));
    const std::vector<std::string> other = {"http://127.0.0.1:1/one.xml",
                                            "http://127.0.0.1:1/two.xml"};
    WriteFile(baseB + kSettingsFileName, SettingsFor(other, {"One", "Two"}));
    window = std::make_unique<CTessarineDlg>();
    CTessarineDlg& w = *window;
    w.OnInitDialog();

    // The moment the rows are cleared, the worker's save comes in.
    int saves = 0;
    QObject::connect(w.SubscriptionList()->Model(), &QAbstractItemModel::modelReset, [&] {
        ++saves;
        std::thread([&] { w.Model().SaveSettings(); }).join();
    });
    harness.answers = {QMessageBox::Yes};
    harness.chosenFolders = {QString::fromStdString(baseB)};
    w.OnCommand(ID_SET_BASE_DIRECTORY);

    EXPECT_EQ(saves, 1);
    EXPECT_EQ(ModelUrls(), other);
    EXPECT_EQ(StoredUrls(baseB), other);
}
