// The main window offscreen with real widgets, files and loopback servers.
#include "controls/CSplitterBar.h"
#include "core/files/BaseDirectoryLock.h"
#include "core/library/PodcastLibrary.h"
#include "core/model/SettingsFile.h"
#include "core/update/PartialFile.h"
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/DownloadTableModel.h"
#include "mainwindow/MessagesWindow.h"
#include "mainwindow/QueuedEngineView.h"
#include "mainwindow/ReportListView.h"
#include "platform/Autostart.h"
#include "platform/CacheFolder.h"
#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "platform/SingleInstance.h"
#include "support/Feeds.h"
#include "support/GuiHarness.h"
#include "support/LibraryTestAccess.h"
#include "support/LoopbackServer.h"
#include "support/Sanitized.h"
#include "support/UpdateEngineTestAccess.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

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

std::string SettingsFor(const std::vector<std::string>& urls) {
    std::string text = "<TessarineSettings><settings updatestart='0' quitcomplete='0'/>";
    for (size_t i = 0; i < urls.size(); ++i)
        text += "<feed url='" + urls[i] + "'>Feed " + std::to_string(i) + "</feed>";
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

    GuiHarness harness;
    std::string base = harness.root.Base() + "base/", other = harness.root.Base() + "other/";
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
    EXPECT_EQ(QStringList({Cell(list, 0, 0), Cell(list, 0, 1), Cell(list, 1, 1), Cell(list, 2, 0),
                           Cell(list, 2, 2)}),
              QStringList({"Tom & Jerry", "28.01.2009 13:24", "Invalid DateTime", "New Podcast",
                           "Newly added"}));
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
}

// The empty list draws how to subscribe (not as a row). Ctrl+A from either
// list subscribes to the address in its stored form; a duplicate (in any
// spelling) is refused in a box but still checked; what is no feed's address
// is refused and starts nothing. The checks' failures go into the messages
// window. Enter and Escape do nothing, Ctrl+Q ends.
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
    EXPECT_FALSE(w.isVisible());
}

// The counts, a file that cannot be read and the export's bytes are the
// command line's and the OPML tests' cases; the window adds its choosers,
// its box and the check of what was added.
TEST_F(MainWindowTest, ImportAndExportSubscriptionsFromTheFileMenu) {
    LoopbackServer server;
    server.Serve("/new.xml", MakeFeed("Imported", {}), "application/rss+xml");
    server.Start();
    auto& w = Window(SettingsFor({server.Url("/old.xml")}));
    const std::string opml = harness.root / "in.opml", exported = harness.root / "out.opml";
    const std::string missing = harness.root / "missing.opml";
    const std::string unwritable = harness.root / "no-such-folder/out.opml";
    WriteFile(opml, "<opml version='2.0'><body><outline xmlUrl='" + server.Url("/new.xml") +
                        "'/><outline xmlUrl='" + server.Url("/old.xml") + "'/></body></opml>");
    harness.chosenFiles = {QString::fromStdString(opml), QString::fromStdString(missing), "",
                           QString::fromStdString(exported), QString::fromStdString(unwritable)};
    for (int i = 0; i < 3; ++i) // the file, one that cannot be read, a cancelled chooser
        w.Action(ID_IMPORT_SUBSCRIPTIONS)->trigger();
    EXPECT_EQ(harness.Told(), QStringList({"Subscriptions imported: 1 added, 1 already in the "
                                           "list, 0 skipped (not an http or https address).",
                                           QString::fromStdString("Could not read " + missing +
                                                                  ".")}));
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
    EXPECT_FALSE(shownAt(&w, w.SplitterBar()->geometry().center(), QContextMenuEvent::Mouse));
    EXPECT_EQ(shownAt(list, {}, QContextMenuEvent::Keyboard), list->mapToGlobal(QPoint(0, 0)));
    // Shift+F10 does what the Menu key does, wherever the focus is.
    for (QWidget* focus : {static_cast<QWidget*>(list), static_cast<QWidget*>(w.DownloadList())}) {
        QTest::keyClick(focus, Qt::Key_F10, Qt::ShiftModifier);
        EXPECT_TRUE(w.ContextMenu()->isVisible());
        EXPECT_EQ(w.ContextMenu()->pos(), list->mapToGlobal(QPoint(0, 0)));
        w.ContextMenu()->hide();
        Activate();
    }
    w.ContextMenu()->actions().last()->trigger(); // "Remove Podcast"
    EXPECT_EQ(ModelUrls(),
              (std::vector<std::string>{"http://127.0.0.1:1/b.xml", "http://127.0.0.1:1/c.xml"}));
    EXPECT_EQ(Cell(list, 1, 0), "New Podcast");
}

// Quitting (by the window's close button, as the command does) while a
// failing feed's message is open and a transfer runs ends both: no message
// window stays, the enclosure has no file, and what arrived waits for the
// next check to resume.
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
        return w.Messages()->isVisible() && Cell(w.DownloadList(), 0, 3) == "Downloading" &&
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

// Unattended, the window starts minimized and the check goes on while the
// messages window gathers the failing feeds' messages, each with its reason;
// the program ends only once that window is closed. A channel titled ".."
// gets a folder of its own inside the base.
TEST_F(MainWindowTest, UnattendedTheMessagesWindowHoldsUpOnlyTheEnd) {
    LoopbackServer server;
    server.Serve("/b.xml", MakeFeed("..", {{server.Url("/b/1.mp3")}}), "text/xml");
    server.Serve("/b/1.mp3", "one");
    server.Serve("/gone.xml", "<html>Not here</html>", "text/html", 404);
    server.Start();
    auto& w = Window(SettingsFor({"http://127.0.0.1:1/refused.xml", server.Url("/gone.xml"),
                                  server.Url("/b.xml"), "http://tessarine.invalid/c.xml"}),
                     {true, false});
    EXPECT_TRUE(w.isMinimized());
    MessagesWindow* messages = w.Messages();
    ASSERT_TRUE(WaitFor([&] { return messages->RowCount() == 3 && !Engine().IsBusy(); }));
    EXPECT_EQ(ReadFile(base + "__/1.mp3"), "one");
    // The worker is idle, so the end of its cycle is posted: hand the window
    // that, and whatever it posts in turn, without waiting on the clock.
    events->Deliver();
    for (int round = 0; round < 3; ++round)
        QCoreApplication::sendPostedEvents();
    ASSERT_TRUE(messages->isVisible());
    const QStringList told = {
        "Could not open http://127.0.0.1:1/refused.xml (Connection refused)",
        "Could not open " + QString::fromStdString(server.Url("/gone.xml")) +
            " (HTTP status 404 Not Found)",
        "Could not open http://tessarine.invalid/c.xml (Server name not found)"};
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(messages->TextAt(row), told[row]);
    EXPECT_TRUE(harness.Told().empty()); // no box
    EXPECT_FALSE(w.HasEnded());          // the messages are still being read
    QTest::mouseClick(messages->findChild<QPushButton*>("closeButton"), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return w.HasEnded(); }));
}

TEST_F(MainWindowTest, SettingsOkSavesAndAppliesAutostartCancelChangesNothing) {
    const std::string entry = Autostart::EntryPath().toStdString();
    Window(kEmpty);
    for (bool ok : {false, true}) {
        OnNextModal([&](QDialog* dialog) {
            dialog->findChild<QCheckBox*>("quitComplete")->setChecked(true);
            dialog->findChild<QCheckBox*>("autostart")->setChecked(true);
            ok ? dialog->accept() : dialog->reject();
        });
        window->OnCommand(ID_SETTINGS);
        const std::string saved = ReadFile(base + kSettingsFileName);
        EXPECT_EQ(saved == kEmpty, !ok);
        EXPECT_EQ(saved.find("quitcomplete=\"1\"") != std::string::npos, ok);
        EXPECT_EQ(fs::exists(entry), ok);
    }
}

// Resizes keep the anchors and the boundary the bar was dragged to; a shrink
// after a drag low brings the boundary back up, keeping both lists inside.
TEST_F(MainWindowTest, ResizeKeepsAnchorsTheBoundaryAndBothListsInTheWindow) {
    auto& w = Window(kEmpty);
    CSplitterBar* bar = w.SplitterBar();
    const QSize initial = w.size();
    auto resize = [&](QSize size) {
        w.resize(size);
        return WaitFor([&] { return w.size() == size.expandedTo(initial); });
    };
    auto geometry = [&](int id) { return w.FindControl(id)->geometry(); };
    auto dragBar = [&](QPoint to) { // from its centre to `to` (window pixels)
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() / 2));
        QTest::mouseMove(bar, bar->mapFromParent(to));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromParent(to));
    };
    const QRect upper = geometry(IDC_SUBSCRIPTION_LIST), lower = geometry(IDC_DOWNLOAD_LIST);
    const QRect label = geometry(IDC_LABEL_DOWNLOADS);
    dragBar(QPoint(40, bar->Centre() + 30)); // 30 down (and sideways)
    // A size below the first is refused; a larger one keeps the boundary where
    // it is, the lower list taking the height.
    EXPECT_TRUE(resize(initial - QSize(100, 100)));
    EXPECT_TRUE(resize(initial + QSize(120, 80)));
    EXPECT_EQ(geometry(IDC_SUBSCRIPTION_LIST), upper.adjusted(0, 0, 120, 30));
    EXPECT_EQ(geometry(IDC_DOWNLOAD_LIST), lower.adjusted(0, 30, 120, 80));
    EXPECT_EQ(geometry(IDC_LABEL_DOWNLOADS), label.translated(0, 30));

    const int top = w.ClientRect().top();
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(resize(initial + QSize(0, 300)));
        dragBar(QPoint(bar->width() / 2, w.height() + 500)); // held at the range's end
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

// Rows a worker thread reports arrive whole and in order, part through the
// event loop and part handed on at once; the desktop then hears of the
// episodes downloaded (not failed, not found in place) once per check.
TEST_F(MainWindowTest, DownloadRowsFromAnotherThreadArriveWholeAndInOrder) {
    struct Recorder : Notifier {
        std::vector<QString>& texts;
        explicit Recorder(std::vector<QString>& t) : texts(t) {}
        bool Notify(const QString& text) override { return texts.push_back(text), true; }
    };
    auto& w = Window(kEmpty);
    std::vector<QString> texts;
    w.SetNotifier(std::make_unique<Recorder>(texts));
    const DownloadState ends[] = {DownloadState::Failed, DownloadState::Waiting,
                                  DownloadState::Done};
    const QString shown[] = {"Failed", "Waiting", "Completed"};
    std::thread worker([&] { // row r: r % 100 percent of 100 KiB, then Failed, Waiting or Done
        for (size_t r = 0; r < 3000; ++r) {
            events->DownloadQueued({r, "Podcast", "f" + std::to_string(r), "http://x/", -1});
            events->DownloadStateChanged(r, DownloadState::Downloading, {});
            events->DownloadProgress(r, int64_t(r % 100) << 10, 100 << 10);
            events->DownloadStateChanged(
                r, ends[r % 3], r % 3 ? Failure{} : Failure{FailureKind::ConnectionRefused});
        }
    });
    QTest::qWait(5); // part arrives through the event loop, the rest is handed on here
    worker.join();
    events->DownloadQueued({3000, "Found", "old.mp3", "http://x/old.mp3"});
    events->DownloadStateChanged(3000, DownloadState::Done, {}); // its file was in place
    events->Deliver();
    auto* rows = static_cast<DownloadTableModel*>(w.DownloadList()->Model());
    ASSERT_EQ(rows->rowCount(), 3001);
    for (int r = 0; r < 3000; ++r) {
        const QStringList expected = {"f" + QString::number(r), "0.1MB",
                                      QString::number(r % 100) + "%", shown[r % 3]};
        for (int c = 0; c < 4; ++c)
            ASSERT_EQ(rows->Cell(r, c), expected[c]) << r << " " << c;
        ASSERT_EQ(rows->Facts(r)->reason.kind,
                  r % 3 ? FailureKind::None : FailureKind::ConnectionRefused);
    }
    for (int check = 0; check < 2; ++check) { // the second finds nothing new
        events->CycleEnded(false);
        events->Deliver();
    }
    EXPECT_EQ(texts, std::vector<QString>{"1000 new episodes from Podcast"});
}

// A fast transfer's progress between two deliveries reaches the list as its
// latest bytes, in one change; a row shows no size until its transfer begins;
// bytes that leave the cells as they are change nothing shown; events past the
// end of the list are dropped.
TEST_F(MainWindowTest, ProgressWaitingForTheWindowIsTakenAtItsLatest) {
    auto& w = Window(kEmpty);
    auto* rows = static_cast<DownloadTableModel*>(w.DownloadList()->Model());
    QSignalSpy changes(rows, &QAbstractItemModel::dataChanged);
    auto cells = [&](int r) {
        return QStringList({rows->Cell(r, 0), rows->Cell(r, 1), rows->Cell(r, 2), rows->Cell(r, 3)})
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
    EXPECT_EQ(cells(1), "b.mp3|0.0MB|0%|Waiting");
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

    // The commands asked for cycles: however fast or loaded the machine, at
    // least two of them have run by now or do so while we wait.
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
    std::atomic<bool> asked{false}, release{false};
    LoopbackServer server;
    server.Server().Get("/a.xml", [&](const httplib::Request&, httplib::Response& response) {
        asked = true;
        Await([&] { return release.load(); }, std::chrono::seconds(30)); // until the box is up
        response.set_content(MakeFeed("A", {}), "text/xml");
    });
    server.Start();
    const std::vector<std::string> urls = {"http://x/1.xml", "http://x/1.xml", "http://x/2.xml"};
    WriteFile(other + kSettingsFileName, SettingsFor(urls));
    auto& w = Window(SettingsFor({server.Url("/a.xml")}));
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    ASSERT_TRUE(WaitFor([&] { return asked.load(); })); // the check of A is under way
    // The duplicate's box runs an event loop, as a real one does; the check ends and saves.
    SetShowMessageBox([&](QWidget*, QMessageBox::Icon, const QString& text, auto) {
        if (text.startsWith("ATTENTION!"))
            return QMessageBox::Yes;
        release = true;
        EXPECT_TRUE(WaitIdle());
        return QMessageBox::Ok;
    });
    ChangeBaseTo(other);
    ASSERT_TRUE(release.load());
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

namespace {
class MessagesWindowTest : public MainWindowTest {};
} // namespace

// Five dead feeds at a start: one window (no box) with a row each, in list
// order, each naming its reason. The next check adds its rows below the
// first ones, which keep their times; Clear empties the list; a check after
// closing opens it again.
TEST_F(MessagesWindowTest, FiveDeadFeedsAtAStartGiveOneWindowWithFiveReasons) {
    LoopbackServer server;
    server.Serve("/gone.xml", "<html>Not here</html>", "text/html", 404);
    server.Serve("/page.html", "<html><head><title>Home</title></head><body>Hi</body></html>",
                 "text/html");
    server.Serve("/list.opml", "<opml version='2.0'><body/></opml>", "text/xml");
    server.Start();
    const QString gone = QString::fromStdString(server.Url("/gone.xml"));
    const QString page = QString::fromStdString(server.Url("/page.html"));
    const QString list = QString::fromStdString(server.Url("/list.opml"));
    std::string settings = "<TessarineSettings><settings updatestart='1' quitcomplete='0'/>";
    for (const QString& url : {gone, page, list, QString("http://127.0.0.1:1/f.xml"),
                               QString("http://tessarine.invalid/f.xml")})
        settings += "<feed url='" + url.toStdString() + "'></feed>";
    auto& w = Window(settings + "</TessarineSettings>");
    MessagesWindow* messages = w.Messages();
    ASSERT_TRUE(WaitFor([&] { return messages->RowCount() == 5 && !Engine().IsBusy(); }));
    const QStringList told = {
        "Could not open " + gone + " (HTTP status 404 Not Found)",
        "Error! The web page " + page +
            " names no feed. Please give the address of the podcast's feed itself.",
        "Could not open " + list + " (Not a podcast feed)",
        "Could not open http://127.0.0.1:1/f.xml (Connection refused)",
        "Could not open http://tessarine.invalid/f.xml (Server name not found)"};
    const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d$");
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(messages->TextAt(row), told[row]);
        EXPECT_TRUE(time.match(messages->TimeAt(row)).hasMatch()) << messages->TimeAt(row).toStdString();
    }
    EXPECT_TRUE(harness.Told().empty());
    int windows = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        windows += widget->isVisible();
    EXPECT_EQ(windows, 2); // the main window and the messages
    // Opened from the main window, it took the focus.
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

// Messages that come while a dialog is open (here the counts of an import,
// whose feeds are checked at once) are gathered behind it: the dialog keeps
// the focus and stays in front, and the window is there once it is closed.
TEST_F(MessagesWindowTest, AnImportsCountsStayInFrontOfItsFeedsMessages) {
    SetShowMessageBox({}); // the real box for the counts
    LoopbackServer server;
    server.Serve("/gone.xml", "<html>Not here</html>", "text/html", 404);
    server.Start();
    auto& w = Window(kEmpty);
    const std::string opml = harness.root / "in.opml";
    WriteFile(opml, "<opml version='2.0'><body><outline xmlUrl='" + server.Url("/gone.xml") +
                        "'/><outline xmlUrl='http://127.0.0.1:1/f.xml'/></body></opml>");
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
    EXPECT_EQ(w.Messages()->TextAt(1), "Could not open http://127.0.0.1:1/f.xml (Connection refused)");
}
