// The main window offscreen with real widgets, files and loopback servers.
#include "controls/CSplitterBar.h"
#include "core/files/BaseDirectoryLock.h"
#include "core/library/PodcastLibrary.h"
#include "core/model/SettingsFile.h"
#include "core/update/PartialFile.h"
#include "core/util/Strings.h"
#include "display/DisplayText.h"
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/DownloadCommands.h"
#include "mainwindow/DownloadTableModel.h"
#include "mainwindow/EpisodeTableModel.h"
#include "mainwindow/EpisodesWindow.h"
#include "mainwindow/MainMenus.h"
#include "mainwindow/MessagesWindow.h"
#include "mainwindow/PeriodicCheck.h"
#include "mainwindow/QueuedEngineView.h"
#include "mainwindow/ReportListView.h"
#include "mainwindow/TrayIcon.h"
#include "platform/Autostart.h"
#include "platform/CacheFolder.h"
#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "platform/Profile.h"
#include "platform/QtTranslations.h"
#include "platform/SingleInstance.h"
#include "support/Feeds.h"
#include "support/GuiHarness.h"
#include "support/LibraryTestAccess.h"
#include "support/LoopbackServer.h"
#include "support/Sanitized.h"
#include "support/TestClock.h"
#include "support/UpdateEngineTestAccess.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <thread>
#include <tuple>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

const char* kSettings =
    "<TessarineSettings><settings updatestart='0' quitcomplete='0'/>"
    "<feed url='http://127.0.0.1:1/a.xml' lastchecked='28.01.2009 13:24:41'>Tom &amp; Jerry</feed>"
    "<feed url='http://127.0.0.1:1/b.xml' lastchecked='Invalid DateTime'>Second</feed>"
    "<feed url='http://127.0.0.1:1/c.xml' lastchecked=''></feed></TessarineSettings>";
const char* kEmpty = "<TessarineSettings></TessarineSettings>";

// Podcasts at `urls` named "Feed 0", "Feed 1"... or not named yet, checked at start or not.
std::string SettingsFor(const std::vector<std::string>& urls, bool named = true,
                        bool checkAtStart = false) {
    std::string text = std::string("<TessarineSettings><settings updatestart='") +
                       (checkAtStart ? "1" : "0") + "' quitcomplete='0'/>";
    for (size_t i = 0; i < urls.size(); ++i)
        text +=
            "<feed url='" + urls[i] + "'>" + (named ? "Feed " + std::to_string(i) : "") + "</feed>";
    return text + "</TessarineSettings>";
}

class MainWindowTest : public testing::Test {
protected:
    MainWindowTest() {
        fs::create_directories(base);
        fs::create_directories(other);
        harness.SetProfileBaseDirectory(QString::fromStdString(base));
    }

    // A new window on `settings` (and its library), initialised and shown as
    // the program starts it; in front unless started unattended.
    CTessarineDlg& Window(const std::string& settings = kSettings, StartupSwitches switches = {}) {
        WriteFile(base + kSettingsFileName, settings);
        events = std::make_unique<QueuedEngineView>();
        EngineOptions options; // the cache as the program chooses it
        options.feedCacheDirectory = FeedCacheFolder();
        if (onTestClock)
            options.clock = &testClock;
        library = std::make_unique<PodcastLibrary>(*events, switches, std::move(options));
        EXPECT_EQ(library->ClaimBaseDirectory(base), PodcastLibrary::Claim::Obtained);
        window = std::make_unique<CTessarineDlg>(*library, *events);
        window->OnInitDialog();
        window->ShowAsStarted();
        if (!switches.checkAndQuit) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
            Activate();
        }
        return *window;
    }
    UpdateEngine& Engine() { return PodcastLibraryTestAccess::Engine(*library); }
    void Activate() { // a closed dialog leaves the offscreen platform without an active window
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    bool WaitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 30000); }
    bool WaitIdle() {
        return WaitFor([&] { return !Engine().IsBusy(); });
    }
    QString Cell(ReportListView* list, int row, int col) { return list->Model()->Cell(row, col); }
    void ChangeBaseTo(const std::string& folder) {
        harness.answers = {QMessageBox::Yes};
        harness.chosenFolders = {QString::fromStdString(folder)};
        window->OnCommand(ID_SET_BASE_DIRECTORY);
        harness.answers.clear();
    }
    std::vector<std::string> ModelUrls() {
        std::vector<std::string> urls;
        for (const auto& s : PodcastLibraryTestAccess::Model(*library).SnapshotSubscriptions())
            urls.push_back(s.values.url);
        return urls;
    }
    // The URLs in `folder`'s settings file, which must be whole, without duplicates.
    std::vector<std::string> StoredUrls(const std::string& folder) {
        const auto stored = ReadSettingsFile(folder + kSettingsFileName);
        EXPECT_TRUE(stored.has_value()) << folder;
        std::vector<std::string> urls;
        for (const StoredFeed& feed : stored ? stored->feeds : std::vector<StoredFeed>{})
            urls.push_back(feed.url);
        EXPECT_EQ(std::set<std::string>(urls.begin(), urls.end()).size(), urls.size());
        return urls;
    }
    // The next start: a new window on the settings file the last one left.
    CTessarineDlg& Restart() {
        window.reset();
        library.reset();
        return Window(ReadFile(base + kSettingsFileName));
    }
    QString Column(ReportListView* list, int column) { // its cells joined by spaces
        QStringList cells;
        for (int row = 0; row < list->Model()->rowCount(); ++row)
            cells << Cell(list, row, column);
        return cells.join(' ');
    }
    void ClickHeader(ReportListView* list, int column) {
        QHeaderView* header = list->header();
        const QPoint at(header->sectionViewportPosition(column) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    void DragBar(QPoint to) { // the splitter bar from its centre to `to` (window pixels)
        CSplitterBar* bar = window->SplitterBar();
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() / 2));
        QTest::mouseMove(bar, bar->mapFromParent(to));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromParent(to));
    }

    GuiHarness harness;
    std::string base = harness.root.Base() + "base/", other = harness.root.Base() + "other/";
    TestClock testClock;      // the library's clock when onTestClock is set
    bool onTestClock = false; // else the machine's
    // Destroyed in this order: the window, the library's worker, the events it reports to.
    std::unique_ptr<QueuedEngineView> events;
    std::unique_ptr<PodcastLibrary> library;
    std::unique_ptr<CTessarineDlg> window;
};
class LoadTest : public MainWindowTest {};

} // namespace

// The settings file as the list shows it, then a change of base directory.
TEST_F(MainWindowTest, SetBaseDirectory) {
    auto& w = Window();
    auto* list = w.SubscriptionList();
    EXPECT_EQ(
        QStringList({Cell(list, 0, 0), Cell(list, 0, 1), Cell(list, 1, 1), Cell(list, 2, 0),
                     Cell(list, 2, 2)}),
        QStringList({"Tom & Jerry", "28.01.2009 13:24", "never", "New Podcast", "Newly added"}));
    SingleInstance instance; // as the program serves its base directory
    instance.Listen(base);
    w.SetSingleInstance(&instance);
    WriteFile(other + kSettingsFileName, SettingsFor({"http://x/o.xml"}));
    harness.answers = {QMessageBox::No, QMessageBox::Yes, QMessageBox::Yes};
    // The chooser is cancelled, then gives the folder without its separator.
    harness.chosenFolders = {"", QString::fromStdString(other.substr(0, other.size() - 1))};
    w.OnCommand(ID_SET_BASE_DIRECTORY); // "No" to the question: no chooser
    EXPECT_TRUE(harness.Told().value(0).startsWith("ATTENTION!"));
    w.OnCommand(ID_SET_BASE_DIRECTORY); // "Yes", chooser cancelled: nothing changes
    EXPECT_EQ(library->BaseDirectory(), base);
    w.OnCommand(ID_SET_BASE_DIRECTORY);
    EXPECT_EQ(harness.ProfileBaseDirectory().toStdString(), other); // separator appended
    EXPECT_EQ(library->BaseDirectory(), other);
    EXPECT_EQ(Cell(list, 0, 0), "Feed 0");
    EXPECT_TRUE(instance.Listening()); // raise requests are served there

    // A folder another program holds is refused before anything changes.
    const std::string locked = harness.root.Base() + "locked/";
    fs::create_directories(locked);
    const BaseDirectoryLock holder(locked);
    harness.Told();
    ChangeBaseTo(locked);
    EXPECT_EQ(harness.Told().value(1).toStdString(),
              "The base directory " + locked + " is in use by another Tessarine.");
    EXPECT_EQ(harness.ProfileBaseDirectory().toStdString(), other);
    EXPECT_EQ(ModelUrls(), std::vector<std::string>{"http://x/o.xml"});
    // The chooser opens at the base directory in use.
    EXPECT_EQ(harness.folderChooserStarts.last().toStdString(), other);
}

// The empty list draws how to subscribe. Ctrl+A from either list subscribes
// in the stored form; a duplicate (any spelling) is refused but still
// checked; no feed's address starts nothing. Enter and Escape do nothing.
TEST_F(MainWindowTest, KeysSubscribeAndQuit) {
    auto& w = Window(kEmpty);
    auto inkInTheMiddle = [&] {
        const QImage image = w.SubscriptionList()->viewport()->grab().toImage();
        const QRgb background = image.pixel(1, image.height() - 2);
        int ink = 0;
        for (int y = image.height() / 3; y < image.height() * 2 / 3; ++y)
            for (int x = 0; x < image.width(); ++x)
                ink += image.pixel(x, y) != background;
        return ink;
    };
    EXPECT_GT(inkInTheMiddle(), 50);
    const std::vector<std::tuple<ReportListView*, QString, QStringList>> cases = {
        {w.SubscriptionList(), " feed://127.0.0.1:1/f.xml ", {}},
        {w.DownloadList(),
         "HTTP://127.0.0.1:1/f.xml",
         {"Error!\n\nA feed with this url is already in the list!\n\nHTTP://127.0.0.1:1/f.xml"}},
        {w.SubscriptionList(),
         "file:///etc/passwd",
         {"Error!\n\nThis is not the address of a feed on the web (http:// or https://)!\n\n"
          "file:///etc/passwd"}}};
    for (const auto& [list, typed, boxes] : cases) {
        Activate(); // the messages window took the focus from the main window
        ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &w; }));
        const uint64_t cycles = UpdateEngineTestAccess::CyclesRun(Engine());
        OnNextModal([typed](QDialog* dialog) {
            dialog->findChild<QLineEdit*>("feedUrl")->setText(typed);
            dialog->accept();
        });
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        Activate();
        EXPECT_EQ(ModelUrls(), std::vector<std::string>{"http://127.0.0.1:1/f.xml"});
        const bool checks = !typed.startsWith("file:");
        EXPECT_TRUE(!checks || WaitFor([&] {
            return UpdateEngineTestAccess::CyclesRun(Engine()) > cycles && !Engine().IsBusy();
        }));
        events->Deliver(); // the cycle's message may still be on its way
        EXPECT_EQ(UpdateEngineTestAccess::CyclesRun(Engine()) > cycles, checks);
        EXPECT_EQ(harness.Told(), boxes);
        // Opened from the main window, the messages window takes the focus.
        EXPECT_TRUE(!boxes.empty() || QTest::qWaitForWindowActive(w.Messages()));
    }
    // The duplicate's check found its podcast not due again: one failure.
    EXPECT_EQ(w.Messages()->RowCount(), 1);
    EXPECT_EQ(w.Messages()->TextAt(0),
              "Could not open http://127.0.0.1:1/f.xml (Connection refused)");
    Activate();
    EXPECT_EQ(inkInTheMiddle(), 0);
    QSignalSpy ended(&w, &CTessarineDlg::ended);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(w.SubscriptionList(), key);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ended.count(), 0);
    QTest::keyClick(w.DownloadList(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(ended.count(), 1);
}

// The counts and the export's bytes are the command line's and the OPML
// tests' cases; the window adds its choosers, its box and the check.
TEST_F(MainWindowTest, ImportAndExportSubscriptionsFromTheFileMenu) {
    LoopbackServer server;
    server.Serve("/new.xml", MakeFeed("Imported", {}), "application/rss+xml");
    server.Start();
    auto& w = Window(SettingsFor({server.Url("/old.xml")}));
    const std::string opml = harness.root / "in.opml", exported = harness.root / "out.opml",
                      missing = harness.root / "missing.opml",
                      unwritable = harness.root / "no-such-folder/out.opml";
    WriteFile(opml, "<opml version='2.0'><body><outline xmlUrl='" + server.Url("/new.xml") +
                        "'/><outline xmlUrl='" + server.Url("/old.xml") + "'/></body></opml>");
    harness.chosenFiles = {QString::fromStdString(opml), QString::fromStdString(missing), "",
                           QString::fromStdString(exported), QString::fromStdString(unwritable)};
    for (int i = 0; i < 3; ++i) // the file, one that cannot be read, a cancelled chooser
        w.Action(ID_IMPORT_SUBSCRIPTIONS)->trigger();
    EXPECT_EQ(harness.Told(),
              QStringList({"Subscriptions imported: 1 added, 1 already in the "
                           "list, 0 skipped (not an http or https address).",
                           QString::fromStdString("Could not read " + missing + ".")}));
    EXPECT_TRUE(WaitFor([&] { return server.Hits("/new.xml") == 1 && !Engine().IsBusy(); }));
    EXPECT_EQ(Cell(w.SubscriptionList(), 1, 0), "Imported");
    w.Action(ID_EXPORT_SUBSCRIPTIONS)->trigger();
    w.Action(ID_EXPORT_SUBSCRIPTIONS)->trigger();
    EXPECT_NE(ReadFile(exported).find(server.Url("/new.xml")), std::string::npos);
    EXPECT_EQ(harness.Told(),
              QStringList{QString::fromStdString("Error creating file " + unwritable)});
    const QString filter = "OPML files (*.opml *.xml)";
    EXPECT_EQ(harness.fileChoosers.front(), QStringList({"open", "Import subscriptions", filter}));
    EXPECT_EQ(harness.fileChoosers.back(), QStringList({"save", "Export subscriptions", filter}));
}

TEST_F(MainWindowTest, SelectionCommandsOpenFoldersRemoveAndShowTheContextMenu) {
    auto& w = Window();
    auto* list = w.SubscriptionList();
    auto doubleClick = [](ReportListView* list) {
        const QPoint at = list->visualRect(list->Model()->index(0, 0)).center();
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    };
    auto shownAt = [&](QWidget* target, QPoint at, auto reason) -> std::optional<QPoint> {
        QContextMenuEvent event(reason, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &event);
        const bool visible = w.ContextMenu()->isVisible();
        w.ContextMenu()->hide();
        return visible ? std::optional(w.ContextMenu()->pos()) : std::nullopt;
    };
    // Nothing selected: a message for removing, no folder opened, no context menu.
    w.OnCommand(ID_REMOVE_PODCAST);
    EXPECT_EQ(harness.Told(), QStringList{"Select a feed first!"});
    w.OnCommand(ID_OPEN_PODCAST_FOLDER);
    EXPECT_FALSE(shownAt(list->viewport(), {20, 20}, QContextMenuEvent::Mouse));
    w.OnCommand(ID_OPEN_BASE_DIRECTORY);
    doubleClick(list); // a feed's folder, by the folder-name rule
    ASSERT_TRUE(UpdateEngineTestAccess::QueueDownload(Engine(), "http://127.0.0.1:1/ep.mp3?id=1",
                                                      "../Show"));
    ASSERT_TRUE(WaitFor([&] { return w.DownloadList()->Model()->rowCount() == 1; }));
    doubleClick(w.DownloadList()); // a download's file, inside the base
    ASSERT_TRUE(WaitFor([&] { return harness.opened.size() == 3; }));
    EXPECT_EQ(fs::path(harness.opened[0].toLocalFile().toStdString()), fs::path(base));
    EXPECT_EQ(harness.opened[1].toLocalFile().toStdString(), base + "Tom & Jerry");
    EXPECT_EQ(harness.opened[2].toLocalFile().toStdString(), base + ".._Show/ep.mp3");
    // The first feed is selected now: the menu shows over the subscription list only.
    EXPECT_TRUE(shownAt(list->viewport(), {20, 20}, QContextMenuEvent::Mouse));
    EXPECT_FALSE(shownAt(w.DownloadList()->viewport(), {20, 20}, QContextMenuEvent::Mouse));
    EXPECT_TRUE(w.Downloads()->ContextMenu()->isVisible()); // the download list's own
    w.Downloads()->ContextMenu()->hide();
    EXPECT_FALSE(shownAt(&w, w.SplitterBar()->geometry().center(), QContextMenuEvent::Mouse));
    w.ContextMenu()->actions().last()->trigger(); // "Remove Podcast"
    EXPECT_EQ(ModelUrls(),
              (std::vector<std::string>{"http://127.0.0.1:1/b.xml", "http://127.0.0.1:1/c.xml"}));
    EXPECT_EQ(Cell(list, 1, 0), "New Podcast");
}

// Closing while a failing feed's message is open and a transfer runs ends
// both: no messages window stays, and what arrived waits to be resumed.
TEST_F(MainWindowTest, QuitDuringATransferWithTheMessagesOpen) {
    LoopbackServer server;
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/big.mp3")}}), "text/xml");
    server.ServePartial("/big.mp3", 10000000, 100000, true);
    server.Start();
    auto& w = Window(SettingsFor({"http://127.0.0.1:1/refused.xml", server.Url("/f.xml")}));
    const std::string target = base + "Show/big.mp3", partial = PartialFile::PathFor(target);
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    // The row says "Downloading" before the reply comes: wait for its first bytes too.
    ASSERT_TRUE(WaitFor([&] {
        std::error_code error;
        return w.Messages()->isVisible() &&
               Cell(w.DownloadList(), 0, DownloadTableModel::ColumnStatus) == "Downloading" &&
               fs::file_size(partial, error) > 0 && !error;
    }));
    EXPECT_EQ(w.Messages()->TextAt(0),
              "Could not open http://127.0.0.1:1/refused.xml (Connection refused)");
    w.close();
    EXPECT_TRUE(WaitFor([&] { return w.HasEnded(); }));
    EXPECT_FALSE(w.Messages()->isVisible());
    EXPECT_FALSE(Engine().IsBusy());
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(fs::exists(partial));
}

// Unattended, the window starts minimized, the messages window gathers the
// failures and the program ends only once it is closed. A channel titled
// ".." gets a folder of its own inside the base.
TEST_F(MainWindowTest, UnattendedTheMessagesWindowHoldsUpOnlyTheEnd) {
    LoopbackServer server;
    server.Serve("/b.xml", MakeFeed("..", {{server.Url("/b/1.mp3")}}), "text/xml");
    server.Serve("/b/1.mp3", "one");
    server.Serve("/gone.xml", "<html>Not here</html>", "text/html", 404);
    server.Start();
    // Keeping watch is for a window at the desk: none of it in an unattended run.
    harness.systemTray = true;
    WriteWatchOptionsToProfile({2, true});
    auto& w = Window(SettingsFor({"http://127.0.0.1:1/refused.xml", server.Url("/gone.xml"),
                                  server.Url("/b.xml"), "http://127.0.0.1:1/c.xml"}),
                     {true, false});
    EXPECT_TRUE(w.isMinimized());
    EXPECT_EQ(w.PeriodicChecks()->EveryHours(), 0);
    EXPECT_EQ(w.Tray()->Icon(), nullptr);
    MessagesWindow* messages = w.Messages();
    ASSERT_TRUE(WaitFor([&] { return messages->RowCount() == 3 && !Engine().IsBusy(); }));
    EXPECT_EQ(ReadFile(base + "__/1.mp3"), "one");
    // The end of the cycle is posted: hand it on, and what it posts in turn.
    events->Deliver();
    for (int round = 0; round < 3; ++round)
        QCoreApplication::sendPostedEvents();
    ASSERT_TRUE(messages->isVisible());
    EXPECT_EQ(messages->TextAt(2), "Could not open http://127.0.0.1:1/c.xml (Connection refused)");
    EXPECT_TRUE(harness.Told().empty()); // no box
    EXPECT_FALSE(w.HasEnded());          // the messages are still being read
    QTest::mouseClick(messages->findChild<QPushButton*>("closeButton"), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return w.HasEnded(); }));
}

// OK also stores the watch options in the profile and the defaults the user
// changed (only those) in the episode library.
TEST_F(MainWindowTest, SettingsOkSavesAndAppliesAutostartCancelChangesNothing) {
    const std::string entry = Autostart::EntryPath().toStdString();
    Window(kEmpty);
    for (bool ok : {false, true}) {
        OnNextModal([&](QDialog* dialog) {
            dialog->findChild<QCheckBox*>("quitComplete")->setChecked(true);
            dialog->findChild<QCheckBox*>("autostart")->setChecked(true);
            auto* hours = dialog->findChild<QSpinBox*>("checkEveryHours");
            EXPECT_FALSE(hours->isEnabled()); // off by default
            dialog->findChild<QCheckBox*>("checkEvery")->setChecked(true);
            hours->setValue(6);
            dialog->findChild<QCheckBox*>("keepInTray")->setChecked(true);
            dialog->findChild<QComboBox*>("keep")->setCurrentIndex(1);
            dialog->findChild<QSpinBox*>("keepCount")->setValue(7);
            ok ? dialog->accept() : dialog->reject();
        });
        window->OnCommand(ID_SETTINGS);
        const std::string saved = ReadFile(base + kSettingsFileName);
        EXPECT_EQ(saved == kEmpty, !ok);
        EXPECT_EQ(saved.find("quitcomplete=\"1\"") != std::string::npos, ok);
        EXPECT_EQ(fs::exists(entry), ok);
        const WatchOptions watch = ReadWatchOptionsFromProfile();
        EXPECT_EQ(std::pair(watch.checkEveryHours, watch.keepInTray), std::pair(ok ? 6 : 0, ok));
        std::vector<SettingRow> defaults;
        ASSERT_EQ(library->SettingsOf(nullptr, defaults), PodcastLibrary::EpisodeQuery::Done);
        for (const SettingRow& row : defaults)
            EXPECT_EQ(row.inherited, !ok || row.key != "keep") << row.key;
        EXPECT_EQ(defaults[3].value, ok ? "7" : "all");
    }
}

// The podcast settings dialog shows inherited values, names files by example,
// refuses another podcast's URL and stores what the command line reads back.
TEST_F(MainWindowTest, PodcastSettingsAreSavedAndTheCommandLineReadsThemBack) {
    LoopbackServer server;
    server.Serve(
        "/a.xml",
        MakeFeed("Show", {{server.Url("/old.mp3"), "Old", "", "Tue, 27 Jan 2009 10:00:00 +0000"},
                          {server.Url("/new.mp3?x=1"), "New / Best", "",
                           "Wed, 28 Jan 2009 10:00:00 +0000"}}),
        "text/xml");
    server.Serve("/b.xml", MakeFeed("Other", {}), "text/xml");
    for (const char* file : {"/old.mp3", "/new.mp3"})
        server.Serve(file, "audio");
    server.Start();
    auto& w = Window(SettingsFor({server.Url("/a.xml"), server.Url("/b.xml")}));
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitIdle());
    std::string problem;
    ASSERT_EQ(library->ChangeSettings(nullptr, {{"keep", "7"}}, problem),
              PodcastLibrary::SettingsResult::Done);
    const std::string moved = server.Url("/moved.xml");
    w.SubscriptionList()->SelectRow(0);
    OnNextModal([&](QDialog* dialog) {
        const auto combo = [&](const char* key) { return dialog->findChild<QComboBox*>(key); };
        auto* note = dialog->findChild<QLabel*>("namesNote");
        auto* ok = dialog->findChild<QPushButton*>("ok");
        EXPECT_EQ(combo("paused")->currentText(), "As in Settings (No)");
        EXPECT_EQ(combo("keep")->currentText(), "As in Settings (Newest)");
        EXPECT_EQ(dialog->findChild<QSpinBox*>("keepCount")->value(), 7);
        EXPECT_FALSE(dialog->findChild<QSpinBox*>("keepCount")->isEnabled());
        EXPECT_EQ(note->text(), "Example: new.mp3");
        combo("names")->setCurrentIndex(2);
        auto* pattern = dialog->findChild<QLineEdit*>("namesPattern");
        QTest::keyClicks(pattern, "{nothing}");
        EXPECT_EQ(note->text(), "A pattern needs {title} or {date}");
        EXPECT_FALSE(ok->isEnabled());
        pattern->clear();
        QTest::keyClicks(pattern, "{date} {title}.{ext}");
        EXPECT_EQ(note->text(), "Example: 2009-01-28 New _ Best.mp3");
        combo("paused")->setCurrentIndex(2);
        combo("keep")->setCurrentIndex(2);
        dialog->findChild<QSpinBox*>("keepCount")->setValue(3);
        auto* url = dialog->findChild<QLineEdit*>("feedUrl");
        EXPECT_EQ(url->text().toStdString(), server.Url("/a.xml"));
        url->setText(QString::fromStdString(server.Url("/b.xml")));
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_TRUE(dialog->isVisible()); // refused: the dialog stays
        url->setText(QString::fromStdString("feed:" + moved));
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    w.OnCommand(ID_PODCAST_SETTINGS);
    EXPECT_EQ(harness.Told(), QStringList{QString::fromStdString(
                                  FormatResString(IDS_DUPLICATE_URL, server.Url("/b.xml")))});
    EXPECT_EQ(ModelUrls(), (std::vector<std::string>{moved, server.Url("/b.xml")}));
    EXPECT_EQ(StoredUrls(base), ModelUrls());

    window.reset();
    library.reset();
    QProcess cli;
    cli.start(TESSARINE_CLI_BINARY,
              {"--base", QString::fromStdString(base), "get", QString::fromStdString(moved)});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(cli.readAllStandardOutput().toStdString(),
              "paused\tyes\t\nrefetch-deleted\tyes\tinherited\n"
              "on-subscribe\tall\tinherited\nkeep\t3\t\n"
              "keep-days\tall\tinherited\nnames\t{date} {title}.{ext}\t\n");
}

TEST_F(MainWindowTest, SettingsDialogsShowEveryTextWholeInBothLanguages) {
    auto& w = Window();
    w.SubscriptionList()->SelectRow(0);
    for (Language language : {Language::German, Language::English}) {
        SetLanguage(language);
        for (int command : {ID_SETTINGS, ID_PODCAST_SETTINGS}) {
            OnNextModal([&](QDialog* dialog) {
                for (QWidget* control :
                     dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                    const std::string name = control->objectName().toStdString();
                    EXPECT_TRUE(dialog->rect().contains(control->geometry())) << name;
                    if (qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control) ||
                        qobject_cast<QComboBox*>(control)) {
                        EXPECT_LE(control->sizeHint().width(), control->width()) << name;
                    }
                }
                dialog->reject();
            });
            w.OnCommand(command);
        }
    }
}

// Resizes keep the anchors and the dragged boundary; a shrink after a drag
// low brings the boundary back up, keeping both lists inside.
TEST_F(MainWindowTest, ResizeKeepsAnchorsTheBoundaryAndBothListsInTheWindow) {
    auto& w = Window(kEmpty);
    CSplitterBar* bar = w.SplitterBar();
    const QSize initial = w.size();
    auto resize = [&](QSize size) {
        w.resize(size);
        return WaitFor([&] { return w.size() == size.expandedTo(initial); });
    };
    auto geometry = [&](int id) { return w.FindControl(id)->geometry(); };
    const QRect upper = geometry(IDC_SUBSCRIPTION_LIST), lower = geometry(IDC_DOWNLOAD_LIST);
    const QRect label = geometry(IDC_LABEL_DOWNLOADS);
    DragBar(QPoint(40, bar->Centre() + 30)); // 30 down (and sideways)
    // A size below the first is refused; a larger one shares the new height
    // in the proportion the bar left.
    const int both = upper.height() + lower.height();
    const int extra = static_cast<int>(std::lround((upper.height() + 30) * (both + 80.0) / both)) -
                      (upper.height() + 30);
    EXPECT_TRUE(resize(initial - QSize(100, 100)));
    EXPECT_TRUE(resize(initial + QSize(120, 80)));
    EXPECT_EQ(geometry(IDC_SUBSCRIPTION_LIST), upper.adjusted(0, 0, 120, 30 + extra));
    EXPECT_EQ(geometry(IDC_DOWNLOAD_LIST), lower.adjusted(0, 30 + extra, 120, 80));
    EXPECT_EQ(geometry(IDC_LABEL_DOWNLOADS), label.translated(0, 30 + extra));
    EXPECT_TRUE(resize(initial));
    EXPECT_EQ(geometry(IDC_SUBSCRIPTION_LIST), upper.adjusted(0, 0, 0, 30));
    EXPECT_EQ(geometry(IDC_DOWNLOAD_LIST), lower.adjusted(0, 30, 0, 0));

    const int top = w.ClientRect().top();
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(resize(initial + QSize(0, 300)));
        DragBar(QPoint(bar->width() / 2, w.height() + 500)); // held at the range's end
        ASSERT_EQ(bar->Centre(), top + w.frameGeometry().height() - 100);
        ASSERT_TRUE(resize(initial));
        EXPECT_EQ(bar->Centre(), top + w.frameGeometry().height() - 100);
        const QRect shrunk = geometry(IDC_LABEL_DOWNLOADS), lowerList = geometry(IDC_DOWNLOAD_LIST);
        EXPECT_GT(shrunk.top(), bar->geometry().bottom());
        EXPECT_GT(lowerList.top(), shrunk.bottom());
        EXPECT_TRUE(w.rect().contains(lowerList) && lowerList.height() > 0);
        EXPECT_LT(w.SubscriptionList()->geometry().bottom(), bar->geometry().top());
    }
}

// Lists on and off whole device pixels show a dark frame on every side. The
// scale factor is fixed at start, so the test reruns itself for each factor.
TEST(ReportListFrame, EveryBorderShowsAtWholeAndFractionalScaleFactors) {
    if (!qEnvironmentVariableIsSet("TESSARINE_FRAME_TEST")) {
        for (const char* scale : {"1", "1.25", "1.5", "1.75", "2"}) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_SCALE_FACTOR", scale);
            env.insert("TESSARINE_FRAME_TEST", "1");
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {"--gtest_filter=ReportListFrame.*"});
            ASSERT_TRUE(child.waitForFinished(60000)) << scale;
            const std::string output = QString::fromLocal8Bit(child.readAll()).toStdString();
            EXPECT_EQ(child.exitCode(), 0) << "scale " << scale << "\n" << output;
            EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        }
        return;
    }
    DownloadTableModel model;
    QWidget window;
    window.resize(400, 300);
    ReportListView aligned(&model, &window), offPixels(&model, &window);
    aligned.setGeometry(12, 16, 320, 100);
    offPixels.setGeometry(13, 150, 321, 101);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const qreal ratio = window.devicePixelRatioF();
    const QImage shot = window.grab().toImage();
    const QRgb background = shot.pixel(2, 2);
    for (ReportListView* list : {&aligned, &offPixels}) {
        const QRectF r(QPointF(list->geometry().topLeft()) * ratio, QSizeF(list->size()) * ratio);
        const int midX = qRound(r.center().x()), midY = qRound(r.center().y() + 10 * ratio);
        // The first colour other than the background from outside the side inwards.
        auto firstOther = [&](int x, int y, int dx, int dy) {
            while (shot.pixel(x, y) == background)
                x += dx, y += dy;
            return shot.pixel(x, y);
        };
        for (const QRgb colour : {firstOther(qRound(r.left()) - 4, midY, 1, 0),
                                  firstOther(qRound(r.right()) + 4, midY, -1, 0),
                                  firstOther(midX, qRound(r.top()) - 4, 0, 1),
                                  firstOther(midX, qRound(r.bottom()) + 4, 0, -1)})
            EXPECT_LT(qGray(colour), qGray(background) - 20)
                << "left, right, top, bottom of " << list->geometry().y() << " at " << ratio << ": "
                << QColor(colour).name().toStdString();
    }
}

// Rows a worker thread reports arrive whole and in order; the desktop hears
// of the episodes downloaded (not failed, not found in place) once per check.
TEST_F(MainWindowTest, DownloadRowsFromAnotherThreadArriveWholeAndInOrder) {
    struct Recorder : Notifier {
        std::vector<QString>& texts;
        explicit Recorder(std::vector<QString>& t) : texts(t) {}
        bool Notify(const QString& summary, const QString& body) override {
            return texts.push_back(summary + " | " + body), true;
        }
    };
    auto& w = Window(kEmpty);
    std::vector<QString> texts;
    w.SetNotifier(std::make_unique<Recorder>(texts));
    const DownloadState ends[] = {DownloadState::Failed, DownloadState::Waiting,
                                  DownloadState::Done};
    const QString shown[] = {"Failed", "Waiting", "Completed"};
    QSignalSpy arrived(w.DownloadList()->Model(), &QAbstractItemModel::rowsInserted);
    std::thread worker([&] { // row r: r % 100 percent of 100 KiB, then Failed, Waiting or Done
        for (size_t r = 0; r < 3000; ++r) {
            events->DownloadQueued({r, "Podcast", "f" + std::to_string(r), "http://x/", -1});
            events->DownloadStateChanged(r, DownloadState::Downloading, {});
            events->DownloadProgress(r, int64_t(r % 100) << 10, 100 << 10);
            events->DownloadStateChanged(
                r, ends[r % 3], r % 3 ? Failure{} : Failure{FailureKind::ConnectionRefused});
        }
    });
    // Part arrives through the event loop, the rest is handed on here.
    EXPECT_TRUE(arrived.wait(60000)); // no ASSERT: the worker is joined below
    worker.join();
    events->DownloadQueued({3000, "Found", "old.mp3", "http://x/old.mp3"});
    events->DownloadStateChanged(3000, DownloadState::Done, {}); // its file was in place
    events->Deliver();
    auto* rows = static_cast<DownloadTableModel*>(w.DownloadList()->Model());
    ASSERT_EQ(rows->rowCount(), 3001);
    for (int r = 0; r < 3000; ++r) {
        const QStringList expected = {"f" + QString::number(r), "Podcast", "100KB",
                                      QString::number(r % 100) + "%", shown[r % 3]};
        for (int c = 0; c < 5; ++c)
            ASSERT_EQ(rows->Cell(r, c), expected[c]) << r << " " << c;
        ASSERT_EQ(rows->Facts(r)->reason.kind,
                  r % 3 ? FailureKind::None : FailureKind::ConnectionRefused);
    }
    for (int check = 0; check < 2; ++check) { // the second finds nothing new
        events->CycleEnded(false);
        events->Deliver();
    }
    EXPECT_EQ(texts, std::vector<QString>{"1000 new episodes | Podcast"});
}

// Progress between two deliveries arrives as its latest bytes, in one change;
// bytes that leave the cells as they are and unknown rows change nothing.
TEST_F(MainWindowTest, ProgressWaitingForTheWindowIsTakenAtItsLatest) {
    auto& w = Window(kEmpty);
    auto* rows = static_cast<DownloadTableModel*>(w.DownloadList()->Model());
    QSignalSpy changes(rows, &QAbstractItemModel::dataChanged);
    auto cells = [&](int r) {
        return QStringList({rows->Cell(r, 0), rows->Cell(r, 2), rows->Cell(r, 3), rows->Cell(r, 4)})
            .join('|');
    };
    events->DownloadQueued({0, "P", "a.mp3", "http://x/a.mp3", 1000});
    events->DownloadQueued({1, "P", "b.mp3", "http://x/b.mp3", -1});
    events->Deliver();
    EXPECT_EQ(cells(0), "a.mp3||0%|Waiting");
    events->DownloadStateChanged(0, DownloadState::Downloading, {});
    for (int64_t received = 0; received <= 3 << 20; received += 1 << 16)
        events->DownloadProgress(0, received, 4 << 20);
    events->DownloadProgress(1, 5, 0); // another row's bytes keep their own place
    changes.clear();
    events->Deliver();
    EXPECT_EQ(cells(0), "a.mp3|4.0MB|75%|Downloading");
    EXPECT_EQ(cells(1), "b.mp3|0B|0%|Waiting");
    EXPECT_EQ(changes.size(), 1);
    changes.clear();
    events->DownloadProgress(0, (3 << 20) + 1, 4 << 20);
    events->DownloadStateChanged(7, DownloadState::Done, {});
    events->DownloadProgress(7, 1, 2);
    events->Deliver();
    EXPECT_EQ(changes.size(), 0);
    EXPECT_EQ(rows->Facts(0)->received, (3 << 20) + 1);
    EXPECT_EQ(rows->rowCount(), 2);
}

TEST_F(LoadTest, RandomCommandsWhileCyclesRun) {
    constexpr int kFeeds = kSanitized ? 400 : 2000, kCommands = kSanitized ? 30 : 60;
    LoopbackServer server; // "/n": "Feed n" with ten small enclosures "/n/0".."/n/9"
    server.Server().Get(R"(/(\d+)(/\d)?)", [&](const auto& request, httplib::Response& response) {
        if (request.matches[2].matched)
            return response.set_content("episode", "audio/mpeg");
        std::vector<TestItem> items;
        for (int i = 0; i < 10; ++i)
            items.push_back({server.Url(request.path + "/" + std::to_string(i))});
        response.set_content(MakeFeed("Feed " + request.matches[1].str(), items), "text/xml");
    });
    server.Start();
    std::vector<std::string> urls;
    for (int i = 0; i < kFeeds; ++i)
        urls.push_back(server.Url("/" + std::to_string(i)));
    WriteFile(other + kSettingsFileName, SettingsFor(urls));
    std::reverse(urls.begin(), urls.end()); // the other base: the same feeds the other way round
    CTessarineDlg& w = Window(SettingsFor(urls));

    std::mt19937 random(20240607);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    std::set<std::string> subscribedHere; // since the base was loaded: maybe not saved yet
    for (int command = 0, next = kFeeds; command < kCommands; ++command) {
        if (const int rows = w.SubscriptionList()->Model()->rowCount())
            w.SubscriptionList()->SelectRow(pick(rows));
        const int roll = pick(100);
        if (roll < 40) {
            w.OnCommand(roll < 10 ? ID_CHECK_NEW_ITEMS : ID_UPDATE_THIS_PODCAST);
        } else if (roll < 60) {
            const std::string url = server.Url("/" + std::to_string(next++));
            ASSERT_TRUE(library->Subscribe(url).record);
            subscribedHere.insert(url);
        } else if (roll < 85) {
            w.OnCommand(ID_REMOVE_PODCAST);
            EXPECT_EQ(StoredUrls(library->BaseDirectory()), ModelUrls()); // the removal was saved
        } else {
            const std::string from = library->BaseDirectory(), to = from == base ? other : base;
            const auto before = ModelUrls(), waiting = StoredUrls(to);
            ChangeBaseTo(to);
            EXPECT_EQ(ModelUrls(), waiting); // nothing lost on loading
            // The old file kept every subscription except new ones no save had reached yet.
            const auto left = StoredUrls(from);
            auto kept = before;
            std::erase_if(kept, [&](const std::string& url) {
                return subscribedHere.count(url) && !std::count(left.begin(), left.end(), url);
            });
            EXPECT_EQ(left, kept);
            subscribedHere.clear();
        }
        StoredUrls(library->BaseDirectory());
        events->Deliver();
        EXPECT_EQ(w.SubscriptionList()->Model()->rowCount(), static_cast<int>(ModelUrls().size()));
        QCoreApplication::processEvents(); // the worker gets on meanwhile: no pause
    }

    // The commands asked for cycles: at least two have run or do so now.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return UpdateEngineTestAccess::CyclesRun(Engine()) >= 2; }, 120000));
    // Stop the worker as closing does (a deadlock fails here); every row shows its record.
    Engine().BeginShutdown();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Engine().IsBusy(); }, 60000)) << "deadlock";
    Engine().Shutdown();
    QCoreApplication::processEvents();
    events->SubscriptionsChanged();
    events->Deliver();
    const auto items = PodcastLibraryTestAccess::Model(*library).SnapshotSubscriptions();
    ASSERT_EQ(w.SubscriptionList()->Model()->rowCount(), static_cast<int>(items.size()));
    for (size_t i = 0; i < items.size(); ++i)
        ASSERT_EQ(Cell(w.SubscriptionList(), int(i), 0).toStdString(), items[i].values.name) << i;
    for (const QString& message : harness.messages)
        EXPECT_TRUE(message == "Select a feed first!" || message.startsWith("ATTENTION!"));
}

// A check ending while a new base directory's file loads (its duplicate's box
// is open) saves: that save once wrote the half-loaded list over the file.
TEST_F(LoadTest, ASaveDuringABaseDirectoryChangeNeverTruncatesTheNewFile) {
    Signal asked, release;
    LoopbackServer server;
    server.Server().Get("/a.xml", [&](const httplib::Request&, httplib::Response& response) {
        asked.Set();
        release.Wait(); // until the box is up
        response.set_content(MakeFeed("A", {}), "text/xml");
    });
    server.Start();
    const std::vector<std::string> urls = {"http://x/1.xml", "http://x/1.xml", "http://x/2.xml"};
    WriteFile(other + kSettingsFileName, SettingsFor(urls));
    auto& w = Window(SettingsFor({server.Url("/a.xml")}));
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(asked.Wait()); // the check of A is under way
    // The duplicate's box runs an event loop, as a real one does; the check ends and saves.
    SetShowMessageBox([&](QWidget*, QMessageBox::Icon, const QString& text, auto) {
        if (text.startsWith("ATTENTION!"))
            return QMessageBox::Yes;
        release.Set();
        EXPECT_TRUE(WaitIdle());
        return QMessageBox::Ok;
    });
    ChangeBaseTo(other);
    ASSERT_TRUE(release.IsSet());
    EXPECT_TRUE(WaitIdle());
    EXPECT_EQ(ModelUrls(), (std::vector<std::string>{urls[0], urls[2]}));
    EXPECT_EQ(StoredUrls(other), ModelUrls()); // every subscription is still in the file
}

// A worker save just after a change of base directory emptied the list, before
// the new file is read, must not replace that file with the empty list.
TEST_F(LoadTest, AWorkerSaveBetweenEmptyingTheListAndLoadingIsHeld) {
    const std::vector<std::string> urls = {"http://x/1.xml", "http://x/2.xml"};
    WriteFile(other + kSettingsFileName, SettingsFor(urls));
    auto& w = Window(SettingsFor({"http://x/a.xml"}));
    int saves = 0;
    QObject::connect(w.SubscriptionList()->Model(), &QAbstractItemModel::modelReset, [&] {
        ++saves;
        std::thread([&] { PodcastLibraryTestAccess::Model(*library).SaveSettings(); }).join();
    });
    ChangeBaseTo(other);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(ModelUrls(), urls);
    EXPECT_EQ(StoredUrls(other), urls);
}

// Every menu title and item has one letter of its own in its menu, in both
// languages; accelerators show Qt's key names; Alt with a title's letter opens it.
TEST(MainMenusTest, EveryItemHasItsOwnMnemonicInBothLanguages) {
    const auto mnemonic = [](const QString& text) -> QChar {
        QChar found;
        int count = 0;
        for (qsizetype i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != '&')
                continue;
            if (text[++i] != '&')
                ++count, found = text[i].toLower();
        }
        return count == 1 ? found : QChar();
    };
    const auto checkMenu = [&](const QList<QAction*>& actions, const QString& name) {
        std::set<QChar> letters;
        for (const QAction* action : actions) {
            const std::string text = action->text().toStdString();
            if (action->isSeparator() || text.empty())
                continue;
            const QChar letter = mnemonic(action->text());
            EXPECT_FALSE(letter.isNull()) << name.toStdString() << ": " << text;
            EXPECT_TRUE(letters.insert(letter).second) << name.toStdString() << ": " << text;
            EXPECT_FALSE(action->text().contains('\t')) << text;
        }
    };
    const struct {
        Language language;
        const char* accelerator;
    } cases[] = {{Language::English, "Ctrl+A"}, {Language::German, "Strg+A"}};
    for (const auto& c : cases) {
        SetLanguage(c.language);
        ASSERT_TRUE(InstallQtTranslations(c.language));
        QWidget window;
        MainMenus menus(&window, [](int) {});
        window.resize(400, 300);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        checkMenu(menus.MenuBar()->actions(), "menu bar");
        for (QAction* title : menus.MenuBar()->actions())
            checkMenu(title->menu()->actions(), title->text());
        checkMenu(menus.ContextMenu()->actions(), "context menu");
        // The download list's menu, the Find Podcasts window's and its key dialog's texts.
        const std::vector<std::vector<int>> groups = {
            {TXT_DOWNLOAD_OPEN, TXT_DOWNLOAD_OPEN_FOLDER, TXT_DOWNLOAD_CANCEL, TXT_DOWNLOAD_RETRY,
             TXT_DOWNLOAD_REMOVE_FINISHED},
            {TXT_FIND_DIRECTORY_LABEL, TXT_FIND_INDEX_KEY, TXT_FIND_TERM_LABEL, TXT_FIND_SEARCH,
             TXT_FIND_SUBSCRIBE, TXT_FIND_CLOSE},
            {TXT_KEY_KEY_LABEL, TXT_KEY_SECRET_LABEL}};
        for (const std::vector<int>& group : groups) {
            QMenu texts;
            for (int id : group)
                texts.addAction(QString::fromStdString(LoadResString(id)));
            checkMenu(texts.actions(), texts.actions().front()->text());
        }
        TrayIcon tray(
            &window, [] {}, [](int) {}, false);
        checkMenu(tray.Menu()->actions(), "tray menu");
        EXPECT_EQ(menus.Action(ID_SUBSCRIBE)->shortcut().toString(QKeySequence::NativeText),
                  c.accelerator);
        QAction* help = menus.MenuBar()->actions().last();
        QTest::keyClick(&window, mnemonic(help->text()).toLatin1(), Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return help->menu()->isVisible(); }));
        help->menu()->hide();
    }
    SetLanguage(Language::English);
    InstallQtTranslations(Language::English);
}

// F10 opens the first menu; the Menu key and Shift+F10 the focused list's
// context menu below its selected row; Enter double-clicks, Delete removes a
// subscription (without a selection neither does anything).
TEST_F(MainWindowTest, KeyboardOpensMenusAndActsOnTheSelectedRow) {
    auto& w = Window();
    auto* list = w.SubscriptionList();
    QMenu* first = w.findChild<QMenuBar*>()->actions().first()->menu();
    QTest::keyClick(list, Qt::Key_F10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return first->isVisible(); }));
    first->hide();
    Activate();

    QMenu* context = w.ContextMenu();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Delete}) // nothing selected: nothing happens
        QTest::keyClick(list, key);
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_FALSE(context->isVisible());
    EXPECT_TRUE(harness.opened.empty() && harness.Told().empty());
    EXPECT_EQ(ModelUrls().size(), 3u);

    list->setFocus();
    list->SelectRow(1);
    const QRect row = list->visualRect(list->Model()->index(1, 0));
    const QPoint below = list->viewport()->mapToGlobal(row.bottomLeft() + QPoint(0, 1));
    const auto opensBelowTheRow = [&](auto open) {
        open();
        const bool shown = context->isVisible();
        const QPoint at = context->pos();
        context->hide();
        Activate();
        EXPECT_TRUE(shown);
        EXPECT_EQ(at.y(), below.y());
        EXPECT_GE(at.x(), below.x());
        EXPECT_LT(at.x(), below.x() + row.width());
    };
    opensBelowTheRow([&] {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, {}, list->mapToGlobal(QPoint()));
        QApplication::sendEvent(list, &event); // as the Menu key sends it
    });
    opensBelowTheRow([&] { QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier); });
    w.DownloadList()->setFocus(); // the download list's own menu, not the podcasts'
    QTest::keyClick(w.DownloadList(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_FALSE(context->isVisible());
    EXPECT_TRUE(w.Downloads()->ContextMenu()->isVisible());
    w.Downloads()->ContextMenu()->hide();
    Activate();

    QTest::keyClick(list, Qt::Key_Return);
    QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(harness.opened.size(), 2u);
    EXPECT_EQ(harness.opened[0], harness.opened[1]);
    EXPECT_EQ(harness.opened[1].toLocalFile().toStdString(), base + "Second");
    QTest::keyClick(list, Qt::Key_Delete, Qt::ShiftModifier); // not Delete itself
    EXPECT_EQ(ModelUrls().size(), 3u);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(ModelUrls(),
              (std::vector<std::string>{"http://127.0.0.1:1/a.xml", "http://127.0.0.1:1/c.xml"}));
    EXPECT_TRUE(harness.Told().empty());

    ASSERT_TRUE(
        UpdateEngineTestAccess::QueueDownload(Engine(), "http://127.0.0.1:1/ep.mp3", "Show"));
    ASSERT_TRUE(WaitFor([&] { return w.DownloadList()->Model()->rowCount() == 1; }));
    w.DownloadList()->SelectRow(0);
    QTest::keyClick(w.DownloadList(), Qt::Key_Delete); // a download is not removed this way
    QTest::keyClick(w.DownloadList(), Qt::Key_Return);
    ASSERT_EQ(harness.opened.size(), 3u);
    EXPECT_EQ(harness.opened[2].toLocalFile().toStdString(), base + "Show/ep.mp3");
    EXPECT_EQ(w.DownloadList()->Model()->rowCount(), 1);
}

// The download list sorts (sizes by their numbers) and back to queue order,
// places new rows where they sort, and a failed row tells why it failed.
TEST_F(MainWindowTest, DownloadListPodcastsSortingAndFailedRows) {
    auto& w = Window(kEmpty);
    auto* list = w.DownloadList();
    auto* rows = static_cast<DownloadTableModel*>(list->Model());
    const struct {
        const char *podcast, *file;
        int64_t total;
    } queued[] = {{"Beta", "garden1.mp3", 2 << 20},
                  {"Alpha", "garden1.mp3", 9 << 10},
                  {"Gamma", "zebra.mp3", 100 << 10}};
    for (size_t i = 0; i < std::size(queued); ++i) {
        events->DownloadQueued({i, queued[i].podcast, queued[i].file, "http://x/", -1});
        events->DownloadProgress(i, 0, queued[i].total);
    }
    events->DownloadStateChanged(2, DownloadState::Failed, {FailureKind::ConnectionRefused});
    events->Deliver();
    const int podcast = DownloadTableModel::ColumnPodcast, size = DownloadTableModel::ColumnSize;
    EXPECT_EQ(Column(list, podcast), "Beta Alpha Gamma");
    for (const char* sorted : {"2.0MB 9KB 100KB", "9KB 100KB 2.0MB", "2.0MB 100KB 9KB"}) {
        EXPECT_EQ(Column(list, size), sorted);
        ClickHeader(list, size);
    }
    ClickHeader(list, podcast);
    EXPECT_EQ(Column(list, podcast), "Alpha Beta Gamma");
    events->DownloadQueued({3, "Ante", "new.mp3", "http://x/new.mp3", -1});
    events->Deliver();
    EXPECT_EQ(Column(list, podcast), "Alpha Ante Beta Gamma");
    ClickHeader(list, podcast);
    ClickHeader(list, podcast); // the third click: queue order again
    EXPECT_EQ(Column(list, podcast), "Beta Alpha Gamma Ante");

    // The failed row: its tip and its double-click (or Enter) say why.
    const QModelIndex failed = rows->index(rows->RowOf(2), DownloadTableModel::ColumnFile);
    EXPECT_EQ(rows->data(failed, Qt::ToolTipRole).toString(), "Failed: Connection refused");
    EXPECT_EQ(rows->data(rows->index(rows->RowOf(0), 0), Qt::ToolTipRole).toString(),
              "garden1.mp3");
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(failed).center());
    ASSERT_TRUE(WaitFor([&] { return !harness.messages.isEmpty(); }));
    EXPECT_EQ(harness.Told(), QStringList{"The download of zebra.mp3 failed: Connection refused."});
    EXPECT_TRUE(harness.opened.empty());
}

// The download list's menu offers what each row's state allows and acts on
// that row (what cancel and retry keep and ask for is the engine's tests');
// removing a podcast stops its transfer at once.
TEST_F(MainWindowTest, DownloadContextMenuCancelsRetriesAndRemovesFinishedRows) {
    const std::string body(300000, 'x');
    using Resource = LoopbackServer::Resource;
    const Resource slow{.body = body, .etag = "\"e\"", .trickleBytes = 1000, .trickleEveryMs = 20};
    LoopbackServer server;
    server.ServeResource("/a.mp3", slow);
    server.ServeResource("/b.mp3", slow);
    server.Serve("/gone.mp3", "missing", "text/plain", 404);
    server.Serve("/a.xml", MakeFeed("A", {{server.Url("/gone.mp3")}, {server.Url("/a.mp3")}}),
                 "text/xml");
    server.Serve("/b.xml", MakeFeed("B", {{server.Url("/b.mp3")}}), "text/xml");
    server.Start();
    auto& w = Window(SettingsFor({server.Url("/a.xml"), server.Url("/b.xml")}));
    auto* rows = static_cast<DownloadTableModel*>(w.DownloadList()->Model());
    DownloadCommands& commands = *w.Downloads();
    QMenu* menu = commands.ContextMenu();
    const auto rowOf = [&](const QString& file) {
        for (int r = 0; r < rows->rowCount(); ++r)
            if (rows->Cell(r, DownloadTableModel::ColumnFile) == file)
                return r;
        return -1;
    };
    const auto status = [&](const QString& file) {
        return rows->Cell(rowOf(file), DownloadTableModel::ColumnStatus);
    };
    const auto running = [&](const QString& file) {
        const DownloadFacts* facts = rows->Facts(rows->DownloadAt(rowOf(file)));
        return facts && facts->state == DownloadState::Downloading && facts->received > 0;
    };
    // The menu on `file`'s row: its enabled items (without mnemonics), `item` triggered.
    const auto menuAt = [&](const QString& file, const QString& item = {}) {
        commands.PopupAtRow(rowOf(file));
        EXPECT_TRUE(menu->isVisible());
        EXPECT_EQ(w.DownloadList()->SelectionMark(), rowOf(file));
        QStringList enabled;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->isEnabled())
                enabled << action->text().remove('&');
            if (action->text().remove('&') == item)
                action->trigger();
        }
        menu->hide();
        return enabled.join('|');
    };
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitFor([&] { return running("a.mp3"); }));
    EXPECT_EQ(status("gone.mp3"), "Failed");
    EXPECT_EQ(menuAt("gone.mp3"), "Open folder|Retry download|Remove finished rows");
    EXPECT_EQ(menuAt("a.mp3", "Cancel download"),
              "Open folder|Cancel download|Remove finished rows");
    ASSERT_TRUE(WaitFor([&] { return status("a.mp3") == "Cancelled"; }));

    // B's transfer comes next; removing B stops it where it is.
    ASSERT_TRUE(WaitFor([&] { return running("b.mp3"); }));
    w.SubscriptionList()->SelectRow(1);
    w.OnCommand(ID_REMOVE_PODCAST);
    ASSERT_TRUE(WaitFor([&] { return status("b.mp3") == "Cancelled"; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_LT(fs::file_size(PartialFile::PathFor(base + "B/b.mp3")), body.size());

    server.ServeResource("/a.mp3", Resource{.body = body, .etag = "\"e\""});
    EXPECT_EQ(menuAt("a.mp3", "Retry download"), "Open folder|Retry download|Remove finished rows");
    ASSERT_TRUE(WaitFor([&] { return status("a.mp3") == "Completed"; }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(menuAt("a.mp3", "Open folder"), "Open|Open folder|Remove finished rows");
    ASSERT_EQ(harness.opened.size(), 1u);
    EXPECT_EQ(harness.opened[0].toLocalFile().toStdString(), base + "A");

    // All finished rows come off; the engine's numbers go on for the next rows.
    menuAt("gone.mp3", "Remove finished rows");
    ASSERT_TRUE(WaitFor([&] { return rows->rowCount() == 0; }));
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitFor([&] { return rows->rowCount() == 1; }));
    EXPECT_EQ(rows->DownloadAt(0), 3);
    EXPECT_EQ(rows->Cell(0, DownloadTableModel::ColumnFile), "gone.mp3");
}

// Header clicks sort the subscriptions (dates by value) keeping the selection;
// the window's geometry, splitter, columns and sort come back next time.
TEST_F(MainWindowTest, ListsSortAndTheWindowComesBackAsItWasLeft) {
    const std::string settings =
        "<TessarineSettings><settings updatestart='0' quitcomplete='0'/>"
        "<feed url='http://127.0.0.1:1/a.xml' lastchecked='03.02.2009 10:00:00'>beta</feed>"
        "<feed url='http://127.0.0.1:1/b.xml' lastchecked='28.01.2008 10:00:00'>Alpha</feed>"
        "<feed url='http://127.0.0.1:1/c.xml' lastchecked=''></feed></TessarineSettings>";
    auto* w = &Window(settings);
    auto* list = w->SubscriptionList();
    const char* fileOrder = "beta Alpha New Podcast";
    EXPECT_EQ(Column(list, 0), fileOrder);
    list->SelectRow(0); // "beta"
    const std::vector<std::tuple<int, const char*>> clicks{
        {0, "Alpha beta New Podcast"},                 // ignoring case
        {0, "New Podcast beta Alpha"}, {0, fileOrder}, // the third click: the file's order again
        {1, "New Podcast Alpha beta"},                 // never checked first, then 2008 before 2009
        {2, "beta Alpha New Podcast"},                 // no status before "Newly added"
        {1, "New Podcast Alpha beta"}, {1, "beta Alpha New Podcast"}};
    for (const auto& [column, order] : clicks) {
        ClickHeader(list, column);
        EXPECT_EQ(Column(list, 0), order) << column;
        EXPECT_EQ(Cell(list, list->SelectionMark(), 0), "beta");
        EXPECT_EQ(list->currentIndex().row(), list->SelectionMark());
    }
    // The last column takes the rest of the width.
    QHeaderView* header = list->header();
    EXPECT_EQ(header->sectionPosition(2) + header->sectionSize(2), header->viewport()->width());

    list->setColumnWidth(0, 150);
    w->DownloadList()->setColumnWidth(1, 111);
    w->resize(w->size() + QSize(60, 90));
    w->move(30, 40);
    ASSERT_TRUE(WaitFor([&] { return w->pos() == QPoint(30, 40); }));
    DragBar(QPoint(w->SplitterBar()->width() / 2, w->SplitterBar()->Centre() + 40));
    const QRect left = w->geometry(), upper = list->geometry();
    const QRect lower = w->DownloadList()->geometry();
    w->OnCommand(ID_QUIT_COMMAND);

    auto again = [&] {
        w = &Restart();
        return WaitFor([&] { return w->isMaximized() || w->SubscriptionList()->height() > 0; });
    };
    ASSERT_TRUE(again());
    EXPECT_EQ(w->geometry(), left);
    EXPECT_EQ(w->SubscriptionList()->geometry(), upper);
    EXPECT_EQ(w->DownloadList()->geometry(), lower);
    EXPECT_EQ(w->SubscriptionList()->columnWidth(0), 150);
    EXPECT_EQ(w->DownloadList()->columnWidth(1), 111);
    EXPECT_EQ(Column(w->SubscriptionList(), 0), "beta Alpha New Podcast");
    EXPECT_EQ(w->SubscriptionList()->header()->sortIndicatorSection(), 1);
    EXPECT_EQ(w->SubscriptionList()->header()->sortIndicatorOrder(), Qt::DescendingOrder);

    // Maximised: it starts so, sharing the height as the bar did.
    const double share = double(upper.height()) / (upper.height() + lower.height());
    w->showMaximized();
    ASSERT_TRUE(WaitFor([&] { return w->isMaximized(); }));
    w->OnCommand(ID_QUIT_COMMAND);
    ASSERT_TRUE(again());
    ASSERT_TRUE(WaitFor([&] { return w->isMaximized(); }));
    ASSERT_TRUE(WaitFor([&] { return w->size() != left.size(); }));
    const int up = w->SubscriptionList()->height(), down = w->DownloadList()->height();
    EXPECT_GT(down, lower.height());
    EXPECT_NEAR(up, share * (up + down), 1.0);
    EXPECT_EQ(w->normalGeometry().size(), left.size());

    // Left on a screen that is gone: it comes back whole on this one.
    w->OnCommand(ID_QUIT_COMMAND);
    {
        QSettings profile("Orvendale", "Tessarine");
        profile.setValue("Window/Geometry", QRect(5000, 4000, 3000, 2500));
        profile.setValue("Window/Maximized", false);
    }
    ASSERT_TRUE(again());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(w->frameGeometry())) << w->frameGeometry().x();
    EXPECT_EQ(w->frameGeometry().size(), screen.size());
    EXPECT_EQ(w->minimumSize(), left.size() - QSize(60, 90));
    EXPECT_EQ(harness.ProfileBaseDirectory(), QString::fromStdString(base));
}

// Podcasts whose first check failed are told apart by their address; the tip
// masks a password and says why; a new start shows how each check ended.
TEST_F(MainWindowTest, FailedPlaceholderPodcastsAreToldApartAndKeepTheirStatus) {
    LoopbackServer server;
    server.Serve("/one/feed.xml", "gone", "text/plain", 404);
    server.Serve("/two/feed.xml", "gone", "text/plain", 404);
    server.Serve("/ok.xml", MakeFeed("Working", {}), "text/xml");
    server.Start();
    const std::string secret = "http://ann:secret@" + server.Url("/two/feed.xml").substr(7);
    auto* w =
        &Window(SettingsFor({server.Url("/one/feed.xml"), secret, server.Url("/ok.xml")}, false));
    auto* list = w->SubscriptionList();
    auto tip = [&](int row) {
        return list->Model()->data(list->Model()->index(row, 1), Qt::ToolTipRole).toString();
    };
    const QString host = QString("127.0.0.1:%1").arg(server.Port());
    EXPECT_EQ(tip(0),
              "URL: " + QString::fromStdString(server.Url("/one/feed.xml")) + "\nNot checked yet");
    w->OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitFor([&] { return server.Hits("/ok.xml") == 1 && !Engine().IsBusy(); }));
    ASSERT_TRUE(WaitFor([&] { return Cell(list, 2, 0) == "Working"; }));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(Column(list, 0), "New Podcast (" + host + "/one/feed.xml) New Podcast (" + host +
                                       "/two/feed.xml) Working");
        EXPECT_EQ(Column(list, 2), "Error Error No new items");
        EXPECT_TRUE(tip(1).startsWith("URL: http://ann:***@" + host +
                                      "/two/feed.xml\n"
                                      "Last check failed: HTTP status 404"))
            << tip(1).toStdString();
        EXPECT_FALSE(tip(1).contains("secret"));
        EXPECT_EQ(tip(2), "URL: " + QString::fromStdString(server.Url("/ok.xml")) +
                              "\nLast check: No new items");
        // The settings file keeps the placeholder as the name.
        const auto stored = ReadSettingsFile(base + kSettingsFileName);
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(stored->feeds[0].name, "New Podcast");
        // The next start: the status and the reason come from the episode store.
        w->OnCommand(ID_QUIT_COMMAND);
        w = &Restart();
        list = w->SubscriptionList();
    }
    harness.Told();
}

// Five dead feeds at a start: one window (no box) with a row each, in order;
// the next check adds below; a check after Clear and closing opens it again.
TEST_F(MainWindowTest, MessagesWindowFiveDeadFeedsAtAStartGiveOneWindowWithFiveReasons) {
    std::vector<std::string> urls; // the reasons' texts are the engine's: here, their order
    QStringList told;
    for (int i = 1; i <= 5; ++i) {
        urls.push_back("http://127.0.0.1:1/" + std::to_string(i) + ".xml");
        told << QString("Could not open http://127.0.0.1:1/%1.xml (Connection refused)").arg(i);
    }
    auto& w = Window(SettingsFor(urls, false, true));
    MessagesWindow* messages = w.Messages();
    ASSERT_TRUE(WaitFor([&] { return messages->RowCount() == 5 && !Engine().IsBusy(); }));
    const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d$");
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(messages->TextAt(row), told[row]);
        EXPECT_TRUE(time.match(messages->TimeAt(row)).hasMatch())
            << messages->TimeAt(row).toStdString();
    }
    EXPECT_TRUE(harness.Told().empty());
    EXPECT_EQ(std::ranges::count_if(QApplication::topLevelWidgets(), &QWidget::isVisible), 2);
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == messages; }));

    // Ctrl+C copies the rows chosen, all of them when none is.
    QTest::keyClick(messages, Qt::Key_C, Qt::ControlModifier);
    const QStringList copied = QApplication::clipboard()->text().split('\n');
    ASSERT_EQ(copied.size(), 5);
    EXPECT_EQ(copied[4], messages->TimeAt(4) + "\t" + told[4]);

    const QString firstTime = messages->TimeAt(0);
    Activate();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &w; }));
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitFor([&] { return messages->RowCount() == 10 && !Engine().IsBusy(); }));
    EXPECT_EQ(messages->TextAt(0), told[0]);
    EXPECT_EQ(messages->TimeAt(0), firstTime);
    EXPECT_EQ(messages->TextAt(9), told[4]);
    EXPECT_EQ(QApplication::activeWindow(), &w); // open already: it gathered, and left the focus
    QTest::mouseClick(messages->findChild<QPushButton*>("clearButton"), Qt::LeftButton);
    EXPECT_EQ(messages->RowCount(), 0);
    QTest::keyClick(messages, Qt::Key_Escape);
    EXPECT_FALSE(messages->isVisible());
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitFor([&] { return messages->RowCount() == 5 && messages->isVisible(); }));
}

// Messages that come while a dialog is open (an import's counts) gather
// behind it: the dialog keeps the focus and stays in front.
TEST_F(MainWindowTest, MessagesWindowAnImportsCountsStayInFrontOfItsFeedsMessages) {
    SetShowMessageBox({}); // the real box for the counts
    auto& w = Window(kEmpty);
    const std::string opml = harness.root / "in.opml";
    WriteFile(opml, "<opml version='2.0'><body><outline xmlUrl='http://127.0.0.1:1/e.xml'/>"
                    "<outline xmlUrl='http://127.0.0.1:1/f.xml'/></body></opml>");
    harness.chosenFiles = {QString::fromStdString(opml)};
    bool checked = false;
    OnNextModal([&](QDialog* counts) {
        EXPECT_TRUE(static_cast<QMessageBox*>(counts)->text().startsWith(
            "Subscriptions imported: 2 added"));
        EXPECT_TRUE(WaitFor([&] { return w.Messages()->RowCount() == 2; }));
        EXPECT_TRUE(w.Messages()->isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), counts);
        // The offscreen platform activates what it shows, later: the focus comes back.
        EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == counts; }));
        checked = true;
        counts->accept();
    });
    w.Action(ID_IMPORT_SUBSCRIPTIONS)->trigger();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(w.Messages()->isVisible());
    EXPECT_EQ(w.Messages()->TextAt(1),
              "Could not open http://127.0.0.1:1/f.xml (Connection refused)");
}

// Links from a second start of the real program (saved feed files relative
// to where it started): it ends with 0 while the first dialog is still open;
// each link in turn fills the subscribe dialog or is told in a box. A
// subscribe dialog already open holds the next link back.
TEST_F(MainWindowTest, LinksFromASecondStartFillTheSubscribeDialogInTurn) {
    auto& w = Window(kEmpty);
    SingleInstance instance; // as the program serves its base directory
    instance.Listen(base);
    w.SetSingleInstance(&instance);
    const std::string saved = harness.root.Base() + "saved/";
    fs::create_directories(saved);
    WriteFile(saved + "copy.xml", "<rss xmlns:atom='http://www.w3.org/2005/Atom'><channel>"
                                  "<atom:link rel='self' href='https://127.0.0.1:1/copy.xml'/>"
                                  "</channel></rss>");
    WriteFile(saved + "none.xml", "<rss><channel><title>No address</title></channel></rss>");

    // Each subscribe dialog's field recorded, then the next action (or cancel).
    QStringList shown;
    std::deque<std::function<void(QDialog*)>> actions;
    const ModalWatch watch([&](QDialog* dialog) {
        shown << dialog->findChild<QLineEdit*>("feedUrl")->text();
        if (actions.empty())
            return dialog->reject();
        const auto action = actions.front();
        actions.pop_front();
        action(dialog);
    });

    QProcess second;
    second.setWorkingDirectory(QString::fromStdString(saved));
    bool endedWhileOpen = false;
    actions.push_back([&](QDialog* dialog) {
        endedWhileOpen = WaitFor([&] { return second.state() == QProcess::NotRunning; });
        dialog->accept();
    });
    second.start(TESSARINE_BINARY,
                 {"feed://127.0.0.1:1/f.xml", "copy.xml", "none.xml", "mailto:x@example.org"});
    ASSERT_TRUE(WaitFor([&] { return harness.messages.size() == 2; }));
    EXPECT_TRUE(endedWhileOpen);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(shown, QStringList({"http://127.0.0.1:1/f.xml", "https://127.0.0.1:1/copy.xml"}));
    EXPECT_EQ(harness.Told(),
              QStringList({QString::fromStdString(
                               "The saved feed " + saved +
                               "none.xml does not name its own web address, so Tessarine cannot "
                               "subscribe to it. Press Ctrl+A to subscribe to the podcast by its "
                               "feed address instead."),
                           "Tessarine cannot subscribe to mailto:x@example.org: it is neither a "
                           "podcast link (feed:, itpc:, podcast:, http or https) nor a saved "
                           "feed file."}));
    EXPECT_EQ(ModelUrls(), std::vector<std::string>{"http://127.0.0.1:1/f.xml"});

    // The user's own subscribe dialog first; the link waits for it.
    shown.clear();
    actions.push_back([&](QDialog* dialog) {
        w.OpenLinks({"itpc://127.0.0.1:1/g.xml"});
        QCoreApplication::processEvents(); // the posted look at the links
        EXPECT_EQ(QApplication::activeModalWidget(), dialog);
        dialog->reject();
    });
    w.OnCommand(ID_SUBSCRIBE);
    ASSERT_TRUE(
        WaitFor([&] { return shown.size() == 2 && QApplication::activeModalWidget() == nullptr; }));
    EXPECT_EQ(shown, QStringList({"", "http://127.0.0.1:1/g.xml"}));
    EXPECT_EQ(ModelUrls(), std::vector<std::string>{"http://127.0.0.1:1/f.xml"});
}

// ---- The Episodes window ----

namespace {

// A feed of four episodes, newest first: three served, the oldest gone.
std::string EpisodesFeed(const LoopbackServer& server) {
    const char* items[][4] = {
        {"Gamma three", "Wed, 03 Jan 2024 10:00:00 +0000", "1:02:03", "/3.mp3"},
        {"Beta two", "Tue, 02 Jan 2024 10:00:00 +0000", "45:10", "/2.mp3"},
        {"Alpha one", "Mon, 01 Jan 2024 10:00:00 +0000", "90", "/1.mp3"},
        {"", "Sun, 31 Dec 2023 10:00:00 +0000", "", "/gone.mp3"}, // untitled
    };
    std::string text = "<?xml version=\"1.0\"?><rss version=\"2.0\" "
                       "xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"><channel>"
                       "<title>A</title>";
    for (const auto& item : items)
        text += std::string("<item><title>") + item[0] + "</title><guid>" + item[3] +
                "</guid><pubDate>" + item[1] + "</pubDate><itunes:duration>" + item[2] +
                "</itunes:duration><enclosure url=\"" + server.Url(item[3]) +
                "\" length=\"2000000\" type=\"audio/mpeg\"/></item>";
    return text + "</channel></rss>";
}

} // namespace

// One window per podcast (Ctrl+Enter, the context menu): episodes newest
// first, filtered by state and title; Play, Show in folder, Delete file (then
// not fetched again), Download and Not wanted on the picked episodes.
TEST_F(MainWindowTest, EpisodesWindowListsFiltersAndActsOnPickedEpisodes) {
    LoopbackServer server;
    for (const char* path : {"/1.mp3", "/2.mp3", "/3.mp3"})
        server.Serve(path, std::string("audio") + path, "audio/mpeg");
    server.Serve("/gone.mp3", "missing", "text/plain", 404);
    server.Serve("/a.xml", EpisodesFeed(server), "text/xml");
    server.Start();
    auto& w = Window(SettingsFor({server.Url("/a.xml")}));
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitIdle());
    const SubscriptionPtr record = library->FindPodcast("A");
    ASSERT_TRUE(record);
    std::string problem;
    ASSERT_EQ(library->ChangeSettings(record, {{"refetch-deleted", "no"}}, problem),
              PodcastLibrary::SettingsResult::Done);

    EXPECT_TRUE(std::ranges::any_of(w.ContextMenu()->actions(), [](QAction* action) {
        return action->text().toStdString() == LoadResString(TXT_EPISODES_MENU);
    }));
    w.SubscriptionList()->SelectRow(0);
    w.SubscriptionList()->setFocus();
    QTest::keyClick(w.SubscriptionList(), Qt::Key_Return, Qt::ControlModifier);
    EpisodesWindow* episodes = w.EpisodesWindowOf(record);
    ASSERT_NE(episodes, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(episodes));
    EXPECT_EQ(w.ShowEpisodes(server.Url("/a.xml")), episodes);
    EXPECT_EQ(episodes->windowTitle(), "Episodes of A");
    EXPECT_TRUE(harness.opened.empty()) << "Ctrl+Enter does not open the folder";

    const auto column = [&](int col) {
        QStringList cells;
        for (int r = 0; r < episodes->Filter()->rowCount(); ++r)
            cells << episodes->Filter()->index(r, col).data().toString();
        return cells.join('|').toStdString();
    };
    using M = EpisodeTableModel;
    // An episode without a title goes by its file's name.
    EXPECT_EQ(column(M::ColumnTitle), "Gamma three|Beta two|Alpha one|gone.mp3");
    EXPECT_EQ(column(M::ColumnDuration), "1:02:03|45:10|1:30|");
    EXPECT_EQ(column(M::ColumnSize),
              SizeText(11) + "|" + SizeText(11) + "|" + SizeText(11) + "|" + SizeText(2000000));
    EXPECT_EQ(column(M::ColumnState), "Downloaded|Downloaded|Downloaded|Failed: HTTP status 404");
    // Dates as the main window's lists show them, in local time.
    EXPECT_TRUE(column(M::ColumnDate).starts_with("0")) << column(M::ColumnDate);
    EXPECT_NE(column(M::ColumnDate).find(".01.2024 "), std::string::npos);

    // The state filter and the search narrow the list together.
    episodes->StateChoice()->setCurrentIndex(7); // Failed
    EXPECT_EQ(column(M::ColumnTitle), "gone.mp3");
    episodes->StateChoice()->setCurrentIndex(0);
    QTest::keyClicks(episodes->Search(), "TWO  be"); // any case, words in any order
    EXPECT_EQ(column(M::ColumnTitle), "Beta two");
    EXPECT_EQ(episodes->Summary()->text(), "1 of 4 episodes");
    episodes->Search()->clear();
    QTest::keyClicks(episodes->Search(), "GONE"); // the untitled one by its file's name
    EXPECT_EQ(column(M::ColumnTitle), "gone.mp3");
    episodes->Search()->clear();

    // Enter plays, Delete deletes the file once agreed, Ctrl+D downloads again.
    episodes->View()->setFocus();
    episodes->Pick({"Alpha one"});
    QTest::keyClick(episodes->View(), Qt::Key_Return);
    ASSERT_EQ(harness.opened.size(), 1u);
    EXPECT_EQ(harness.opened[0].toLocalFile().toStdString(), base + "A/1.mp3");
    episodes->Run(EpisodesWindow::Command::ShowInFolder);
    ASSERT_EQ(harness.opened.size(), 2u);
    EXPECT_EQ(harness.opened[1].toLocalFile().toStdString(), base + "A");

    episodes->Pick({"Beta two", "gone.mp3"});
    QTest::keyClick(episodes->View(), Qt::Key_Delete); // answered No
    EXPECT_TRUE(fs::exists(base + "A/2.mp3"));
    harness.answers = {QMessageBox::Yes};
    QTest::keyClick(episodes->View(), Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(base + "A/2.mp3"));
    ASSERT_TRUE(WaitFor([&] { return column(M::ColumnState).starts_with("Downloaded|Deleted|"); }));
    EXPECT_EQ(episodes->PickedRows(), (std::vector<int>{1, 3})) << "the pick stays";
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(server.Hits("/2.mp3"), 1);

    episodes->Pick({"Beta two"});
    QTest::keyClick(episodes->View(), Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(
        WaitFor([&] { return column(M::ColumnState).starts_with("Downloaded|Downloaded|"); }));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(server.Hits("/2.mp3"), 2);
    EXPECT_TRUE(fs::exists(base + "A/2.mp3"));

    // Not wanted: only for what is not downloaded.
    episodes->Pick({"Gamma three"});
    EXPECT_FALSE(episodes->Action(EpisodesWindow::Command::NotWanted)->isEnabled());
    episodes->Pick({"gone.mp3"});
    episodes->ContextMenu()->popup(episodes->View()->mapToGlobal(QPoint(5, 5)));
    episodes->Action(EpisodesWindow::Command::NotWanted)->trigger();
    episodes->ContextMenu()->hide();
    ASSERT_TRUE(WaitFor([&] { return column(M::ColumnState).ends_with("|Not wanted"); }));
    const int goneHits = server.Hits("/gone.mp3");
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(server.Hits("/gone.mp3"), goneHits) << "not asked for again";

    // Removing the podcast closes its window.
    QPointer<EpisodesWindow> open = episodes;
    w.OnCommand(ID_REMOVE_PODCAST);
    EXPECT_TRUE(WaitFor([&] { return open.isNull(); }));
}

// A running download's progress and end show in the open window.
TEST_F(MainWindowTest, EpisodesWindowFollowsARunningDownload) {
    std::string body(200000, 'x');
    LoopbackServer server;
    server.ServeResource("/1.mp3", {.body = body, .trickleBytes = 2000, .trickleEveryMs = 10});
    server.Serve("/a.xml", MakeFeed("A", {{server.Url("/1.mp3"), "One"}}), "text/xml");
    server.Start();
    auto& w = Window(SettingsFor({server.Url("/a.xml")}));
    EpisodesWindow* episodes = w.ShowEpisodes(server.Url("/a.xml"));
    ASSERT_NE(episodes, nullptr);
    EXPECT_EQ(episodes->Rows()->rowCount(), 0); // never checked
    const auto state = [&] { return episodes->Rows()->Cell(0, EpisodeTableModel::ColumnState); };
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitFor([&] { return state().startsWith("Downloading "); }));
    EXPECT_EQ(episodes->Rows()->Cell(0, EpisodeTableModel::ColumnTitle), "One");
    ASSERT_TRUE(WaitFor([&] { return state() == "Downloaded"; }));
    EXPECT_EQ(episodes->Rows()->Cell(0, EpisodeTableModel::ColumnSize),
              QString::fromStdString(SizeText(200000)));
}

// ---- Keeping watch: the periodic check, the tray, the news's click ----

// Hours pass by either of the clock's times: a suspended machine's monotonic
// time stands still, a calendar set back gives no negative time. The next
// check is counted from the last one, whoever asked for it.
TEST(PeriodicCheckTest, DueByEitherTimeCountsFromTheLastCheck) {
    struct SplitClock final : Clock {
        TimePoint steady{};
        std::time_t calendar = 1700000000;
        TimePoint Now() const override { return steady; }
        std::time_t CalendarNow() const override { return calendar; }
        bool WaitUntil(std::condition_variable&, std::unique_lock<std::mutex>&, TimePoint,
                       const std::function<bool()>& done) const override {
            return done();
        }
    } clock;
    using std::chrono::hours, std::chrono::minutes;
    const auto pass = [&](std::chrono::seconds steady, std::chrono::seconds calendar) {
        clock.steady += steady;
        clock.calendar += calendar.count();
    };
    int checks = 0;
    PeriodicCheck periodic(
        clock, [] { return false; }, [&] { ++checks; });
    auto* timer = periodic.findChild<QTimer*>("periodicCheck");
    pass(hours(9), hours(9));
    EXPECT_FALSE(periodic.RunIfDue()); // off
    EXPECT_FALSE(timer->isActive());
    periodic.SetEveryHours(2); // counted from the start: due at once
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(periodic.RunIfDue());
    pass(hours(2) - minutes(1), hours(2) - minutes(1));
    EXPECT_FALSE(periodic.RunIfDue());
    pass(minutes(1), minutes(1));
    EXPECT_TRUE(periodic.RunIfDue());
    pass(hours(1), hours(1));
    periodic.CheckBegan(); // the user's check
    pass(hours(1) + minutes(30), hours(1) + minutes(30));
    EXPECT_FALSE(periodic.RunIfDue());
    pass(minutes(30), minutes(30));
    EXPECT_TRUE(periodic.RunIfDue());
    pass({}, hours(2)); // the machine slept
    EXPECT_TRUE(periodic.RunIfDue());
    pass(hours(2) - minutes(1), -hours(24)); // the calendar set back a day
    EXPECT_FALSE(periodic.RunIfDue());
    pass(minutes(1), minutes(1));
    EXPECT_TRUE(periodic.RunIfDue());
    EXPECT_EQ(checks, 5);
}

// The tooltip names three downloads under way (by size without a total),
// counts the rest and those waiting; finished and failed ones are not told.
// GCC's optimiser takes the unused Failure of a moved event variant for read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
TEST(TrayToolTipTest, LastCheckDownloadsUnderWayAndWaiting) {
    DownloadTableModel rows;
    std::vector<DownloadEvent> events;
    const std::vector<std::pair<DownloadState, int64_t>> downloads = {
        {DownloadState::Downloading, 100}, {DownloadState::Waiting, 0},
        {DownloadState::Done, 100},        {DownloadState::Downloading, 0},
        {DownloadState::Failed, 0},        {DownloadState::Waiting, 0},
        {DownloadState::Downloading, -1},  {DownloadState::Downloading, 100},
        {DownloadState::Downloading, 100}};
    for (size_t i = 0; i < downloads.size(); ++i) {
        events.push_back(QueuedDownload{i, "Show", "f" + std::to_string(i) + ".mp3", "http://x/"});
        events.push_back(DownloadStateChange{i, downloads[i].first});
        if (downloads[i].second > 0)
            events.push_back(DownloadBytes{i, 45 << 10, downloads[i].second << 10});
        else if (downloads[i].second < 0) // no length announced
            events.push_back(DownloadBytes{i, 2 << 20, 0});
    }
    rows.Apply(events);
    EXPECT_EQ(TrayToolTipText("08.12.2026 17:50", rows).toStdString(),
              "Tessarine\nLast check: 08.12.2026 17:50\nDownloading: f0.mp3 (45%)\n"
              "Downloading: f3.mp3 (0%)\nDownloading: f6.mp3 (2.0MB)\n"
              "and 2 more downloading\n2 waiting");
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

class WatchTest : public MainWindowTest {};

// The check every N hours runs on the library's clock, also minimised, and
// waits for a running cycle; the tooltip tells its time; a change turns it off.
TEST_F(WatchTest, PeriodicCheckRunsOnTheLibrarysClockAndWaitsForTheCycle) {
    LoopbackServer server, stall;
    stall.ServePartial("/big.mp3", 10000000, 100000, true);
    stall.Start();
    server.Serve("/f.xml", MakeFeed("Show", {{stall.Url("/big.mp3")}}), "text/xml");
    server.Start();
    WriteWatchOptionsToProfile({2, false});
    onTestClock = true;
    auto& w = Window(SettingsFor({server.Url("/f.xml")}));
    PeriodicCheck* periodic = w.PeriodicChecks();
    testClock.Advance(std::chrono::hours(2) - std::chrono::seconds(1));
    EXPECT_FALSE(periodic->RunIfDue());
    testClock.Advance(std::chrono::seconds(1));
    w.SubscriptionList()->SelectRow(0);
    w.OnCommand(ID_UPDATE_THIS_PODCAST);
    ASSERT_TRUE(WaitFor([&] {
        return w.Tray()->ToolTip() == "Tessarine\nNot checked yet\nDownloading: big.mp3 (1%)";
    }));
    EXPECT_FALSE(periodic->RunIfDue()); // due, but the cycle runs
    stall.Stop();                       // the transfer fails, the cycle ends
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(server.Hits("/f.xml"), 1);
    w.showMinimized();
    EXPECT_TRUE(periodic->RunIfDue());
    const std::string checked = OleDateTime::FromTime(testClock.CalendarNow()).FormatShown();
    ASSERT_TRUE(WaitFor([&] { return server.Hits("/f.xml") == 2 && !Engine().IsBusy(); }));
    events->Deliver();
    EXPECT_EQ(w.Tray()->ToolTip().toStdString(), "Tessarine\nLast check: " + checked);
    EXPECT_TRUE(w.isMinimized());
    WriteWatchOptionsToProfile({0, false});
    w.WatchOptionsChanged();
    testClock.Advance(std::chrono::hours(24));
    EXPECT_FALSE(periodic->RunIfDue());
}

// Closing hides into the tray only with the option and a tray; else it ends.
// The tray's menu shows and hides the window, checks and quits.
TEST_F(WatchTest, TrayMenuShowsHidesChecksAndQuitsClosingKeepsItOnlyWithATray) {
    for (const auto& [keep, tray] : {std::pair{true, false}, {false, true}, {true, true}}) {
        SCOPED_TRACE(std::to_string(keep) + " " + std::to_string(tray));
        harness.systemTray = tray;
        WriteWatchOptionsToProfile({0, keep});
        auto& w = window ? Restart() : Window(SettingsFor({"http://127.0.0.1:1/r.xml"}));
        EXPECT_EQ(w.Tray()->Icon() != nullptr, tray);
        w.close();
        EXPECT_EQ(w.HasEnded(), !(keep && tray));
    }
    CTessarineDlg& w = *window;
    QAction* showHide = w.Tray()->Menu()->actions().value(0);
    const auto items = [&] {
        QStringList texts;
        for (QAction* action : w.Tray()->Menu()->actions())
            texts << (action->isSeparator() ? "-" : action->text());
        return texts;
    };
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(items(), QStringList({"&Show window", "-", "&Check for new items", "-", "&Quit"}));
    showHide->trigger();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(showHide->text(), "&Hide window");
    showHide->trigger();
    EXPECT_FALSE(w.isVisible());
    w.showMinimized(); // shown, but not in view
    EXPECT_EQ(showHide->text(), "&Show window");
    showHide->trigger();
    EXPECT_FALSE(w.isMinimized());
    EXPECT_TRUE(w.isVisible());
    // While a dialog waits for an answer the window stays, and so does the program.
    bool waited = false;
    OnNextModal([&](QDialog* dialog) {
        emit w.Tray()->Menu()->aboutToShow();
        EXPECT_FALSE(w.Tray()->Menu()->actions().value(4)->isEnabled());
        showHide->trigger();
        EXPECT_TRUE(w.isVisible());
        waited = true;
        dialog->reject();
    });
    w.OnCommand(ID_ABOUT);
    EXPECT_TRUE(waited);
    emit w.Tray()->Menu()->aboutToShow();
    EXPECT_TRUE(w.Tray()->Menu()->actions().value(4)->isEnabled());
    const uint64_t cycles = UpdateEngineTestAccess::CyclesRun(Engine());
    w.Tray()->Menu()->actions().value(2)->trigger();
    EXPECT_TRUE(WaitFor([&] { return UpdateEngineTestAccess::CyclesRun(Engine()) > cycles; }));
    w.Tray()->Menu()->actions().value(4)->trigger();
    EXPECT_TRUE(w.HasEnded());
}

// A click on the news of one podcast shows its episodes; of several, or of a
// podcast no longer listed, it brings the window back as it is.
TEST_F(WatchTest, TheNewsOfOnePodcastOpensItsEpisodesOfSeveralRaisesTheWindow) {
    struct Recorder : Notifier {
        bool Notify(const QString&, const QString&) override { return true; }
        void Choose() const { Activated(); }
    };
    auto& w = Window();
    auto recorder = std::make_unique<Recorder>();
    const Recorder* notification = recorder.get();
    w.SetNotifier(std::move(recorder));
    size_t next = 0;
    const auto downloaded = [&](const std::vector<std::string>& podcasts) {
        for (const std::string& podcast : podcasts) {
            events->DownloadQueued({next, podcast, "f" + std::to_string(next), "http://x/", -1});
            events->DownloadStateChanged(next, DownloadState::Downloading, {});
            events->DownloadStateChanged(next++, DownloadState::Done, {});
        }
        events->CycleEnded(false);
        events->Deliver();
    };
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"Second", "Second"}, 1}, {{"Second", "Tom & Jerry"}, 2}, {{"Gone"}, 2}};
    for (const auto& [podcasts, selected] : cases) {
        w.SubscriptionList()->SelectRow(2);
        downloaded(podcasts);
        w.showMinimized();
        notification->Choose();
        EXPECT_FALSE(w.isMinimized());
        EXPECT_EQ(w.SubscriptionList()->SelectionMark(), selected) << podcasts.back();
        // One podcast named: its Episodes window opens too.
        const SubscriptionPtr second = w.Library().FindPodcast("Second");
        EXPECT_EQ(w.EpisodesWindowOf(second) != nullptr, selected == 1) << podcasts.back();
        if (EpisodesWindow* episodes = w.EpisodesWindowOf(second))
            delete episodes;
    }
}
