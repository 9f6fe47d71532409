// The main window offscreen: start-up, lists, commands, accelerators, the
// context menu and the base directory, with real widgets and events.
#include "controls/CSplitterBar.h"
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/ReportList.h"
#include "platform/Desktop.h"
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/Strings.h"
#include "support/Feeds.h"
#include "support/GuiHarness.h"
#include "support/LoopbackServer.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

const char* kSettings =
    "<?xml version=\"1.0\" ?>\r\n<TessarineSettings>\r\n"
    "    <settings updatestart=\"0\" quitcomplete=\"0\"></settings>\r\n"
    "    <feed url=\"http://127.0.0.1:1/a.xml\" lastchecked=\"28.01.2009 13:24:41\">Tom &amp; "
    "Jerry</feed>\r\n"
    "    <feed url=\"http://127.0.0.1:1/b.xml\" lastchecked=\"Invalid DateTime\">Second</feed>\r\n"
    "    <feed url=\"http://127.0.0.1:1/c.xml\" lastchecked=\"\"></feed>\r\n"
    "</TessarineSettings>\r\n";

class MainWindowTest : public testing::Test {
protected:
    MainWindowTest() {
        fs::create_directories(harness.root.Path() / "base");
        base = (harness.root.Path() / "base").string() + "/";
        harness.SetProfileBaseDirectory(QString::fromStdString(base));
    }
    ~MainWindowTest() override { SetLanguage(Language::English); }

    CTessarineDlg& Window(StartupSwitches switches = {}) {
        if (!window) {
            EngineOptions options;
            options.http.connectTimeoutSeconds = 5;
            options.http.stallTimeoutSeconds = 5;
            window = std::make_unique<CTessarineDlg>(switches, options);
            window->OnInitDialog();
            window->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
            Activate();
        }
        return *window;
    }

    // Makes the window the active one again (a closed dialog leaves the
    // offscreen platform without an active window).
    void Activate() {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // Waits for the engine while serving its calls on this thread.
    static void WaitIdle(CTessarineDlg& w) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w.Engine().IsBusy(); }, 30000));
    }
    void WriteSettings(const std::string& text = kSettings) {
        WriteFile(base + kSettingsFileName, text);
    }
    QString Cell(ReportListView* list, int row, int column) {
        return list->Model()->Cell(row, column);
    }
    void ClickRow(ReportListView* list, int row) {
        const QRect rect = list->visualRect(list->Model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    GuiHarness harness;
    std::string base;
    std::unique_ptr<CTessarineDlg> window;
};

} // namespace

TEST_F(MainWindowTest, StartupShowsTheSettingsFileRows) {
    WriteSettings();
    auto& w = Window();
    EXPECT_EQ(w.windowTitle(), "Tessarine");
    auto* list = w.SubscriptionList();
    ASSERT_EQ(list->Model()->rowCount(), 3);
    EXPECT_EQ(Cell(list, 0, 0), "Tom & Jerry");
    EXPECT_EQ(Cell(list, 0, 1), "28.01.2009 13:24");
    EXPECT_EQ(Cell(list, 0, 2), "");
    EXPECT_EQ(Cell(list, 1, 1), "Invalid DateTime");
    EXPECT_EQ(Cell(list, 2, 0), "New Podcast");
    EXPECT_EQ(Cell(list, 2, 2), "Newly added");
    EXPECT_EQ(w.Model().options.updateStart, 0);
    EXPECT_TRUE(harness.messages.empty());
}

TEST_F(MainWindowTest, ListsHaveTheirColumns) {
    auto& w = Window();
    auto header = [](ReportListView* list, int column) {
        return list->Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    };
    auto alignment = [](ReportListView* list, int column) {
        return list->Model()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt() &
               Qt::AlignHorizontal_Mask;
    };
    const std::vector<std::pair<QString, int>> subscriptions = {
        {"Name", 225}, {"Last Checked", 100}, {"Status", 130}};
    ASSERT_EQ(w.SubscriptionList()->Model()->columnCount(), 3);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(header(w.SubscriptionList(), c), subscriptions[c].first);
        EXPECT_GE(w.SubscriptionList()->columnWidth(c), subscriptions[c].second);
        EXPECT_EQ(alignment(w.SubscriptionList(), c), Qt::AlignLeft);
    }
    const std::vector<std::pair<QString, int>> downloads = {
        {"File", 225}, {"Size", 80}, {"Progress", 60}, {"Status", 90}};
    ASSERT_EQ(w.DownloadList()->Model()->columnCount(), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(header(w.DownloadList(), c), downloads[c].first);
        EXPECT_GE(w.DownloadList()->columnWidth(c), downloads[c].second);
        EXPECT_EQ(alignment(w.DownloadList(), c), c == 2 ? Qt::AlignHCenter : Qt::AlignLeft);
    }
    EXPECT_EQ(w.DownloadList()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(w.SubscriptionList()->selectionMode(), QAbstractItemView::SingleSelection);
    // A date and the widest status are shown whole.
    const QFontMetrics metrics(w.SubscriptionList()->font());
    EXPECT_GT(w.SubscriptionList()->columnWidth(1), metrics.horizontalAdvance("28.01.2009 13:24"));
}

TEST_F(MainWindowTest, GermanTexts) {
    SetLanguage(Language::German);
    WriteSettings();
    auto& w = Window();
    const auto labels = w.findChildren<QLabel*>();
    QStringList texts;
    for (QLabel* label : labels)
        texts << label->text();
    EXPECT_TRUE(texts.contains("Abonnierte Podcasts"));
    EXPECT_TRUE(texts.contains("Download Warteschlange"));
    EXPECT_EQ(w.SubscriptionList()->Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole),
              "Zuletzt geprüft");
    EXPECT_EQ(w.DownloadList()->Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole), "Größe");
    EXPECT_EQ(Cell(w.SubscriptionList(), 2, 0), "Neuer Podcast");
    EXPECT_EQ(Cell(w.SubscriptionList(), 2, 2), "Neu");
    EXPECT_EQ(w.Action(ID_QUIT_COMMAND)->text(), "Beenden\tCtrl+Q");
    EXPECT_EQ(w.MenuBar()->actions().at(0)->text(), "Datei");
}

TEST_F(MainWindowTest, RemovePodcast) {
    WriteSettings();
    auto& w = Window();
    auto* list = w.SubscriptionList();

    // Without a selection: message 128 and nothing changes.
    w.OnCommand(ID_REMOVE_PODCAST);
    ASSERT_EQ(harness.messages.size(), 1u);
    EXPECT_EQ(harness.messages[0].text, "Select a feed first!");
    EXPECT_EQ(harness.messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(list->Model()->rowCount(), 3);

    // The middle row, chosen with the mouse.
    ClickRow(list, 1);
    EXPECT_EQ(list->SelectionMark(), 1);
    w.Action(ID_REMOVE_PODCAST)->trigger();
    ASSERT_EQ(list->Model()->rowCount(), 2);
    EXPECT_EQ(Cell(list, 0, 0), "Tom & Jerry");
    EXPECT_EQ(Cell(list, 1, 0), "New Podcast");
    const std::string saved = ReadFile(base + kSettingsFileName);
    EXPECT_EQ(saved.find("Second"), std::string::npos);
    EXPECT_NE(saved.find("Tom &amp; Jerry"), std::string::npos);

    // The last row, then the only one left.
    ClickRow(list, 1);
    w.OnCommand(ID_REMOVE_PODCAST);
    ClickRow(list, 0);
    w.OnCommand(ID_REMOVE_PODCAST);
    EXPECT_EQ(list->Model()->rowCount(), 0);
    EXPECT_TRUE(w.Model().subscriptions.Empty());
    EXPECT_EQ(ReadFile(base + kSettingsFileName).find("<feed"), std::string::npos);
}

TEST_F(MainWindowTest, SetBaseDirectory) {
    WriteSettings();
    auto& w = Window();
    const fs::path other = harness.root.Path() / "other";
    fs::create_directories(other);
    WriteFile(other / kSettingsFileName,
              "<TessarineSettings><settings updatestart='1' quitcomplete='1'/>"
              "<feed url='http://x/other.xml' lastchecked='01.02.2003 04:05:06'>Other</feed>"
              "</TessarineSettings>");

    // "No" to the question: nothing happens, the chooser is not shown.
    harness.answers = {QMessageBox::No};
    w.OnCommand(ID_SET_BASE_DIRECTORY);
    EXPECT_EQ(harness.chooserCalls, 0);
    ASSERT_EQ(harness.messages.size(), 1u);
    EXPECT_EQ(harness.messages[0].icon, QMessageBox::Question);
    EXPECT_TRUE(harness.messages[0].text.startsWith("ATTENTION!"));

    // "Yes", then the chooser is cancelled: nothing changes.
    harness.answers = {QMessageBox::Yes};
    w.OnCommand(ID_SET_BASE_DIRECTORY);
    EXPECT_EQ(harness.chooserCalls, 1);
    EXPECT_EQ(w.SubscriptionList()->Model()->rowCount(), 3);

    // "Yes" and a folder: the separator is appended, the profile written and
    // the new folder's settings replace the list.
    harness.answers = {QMessageBox::Yes};
    harness.chosenFolders = {QString::fromStdString(other.string())};
    w.OnCommand(ID_SET_BASE_DIRECTORY);
    EXPECT_EQ(harness.ProfileBaseDirectory().toStdString(), other.string() + "/");
    EXPECT_EQ(w.Model().baseDirectory, other.string() + "/");
    ASSERT_EQ(w.SubscriptionList()->Model()->rowCount(), 1);
    EXPECT_EQ(Cell(w.SubscriptionList(), 0, 0), "Other");
    EXPECT_EQ(Cell(w.SubscriptionList(), 0, 1), "01.02.2003 04:05");
    EXPECT_EQ(w.Model().options.quitComplete, 1);

    // To an empty folder: no question is asked when the list is empty
    // afterwards; here the list holds one row, so it is asked once more.
    const fs::path empty = harness.root.Path() / "empty";
    fs::create_directories(empty);
    harness.messages.clear();
    harness.answers = {QMessageBox::Yes};
    harness.chosenFolders = {QString::fromStdString(empty.string() + "/")};
    w.OnCommand(ID_SET_BASE_DIRECTORY);
    EXPECT_EQ(harness.messages.size(), 1u);
    EXPECT_EQ(w.Model().baseDirectory, empty.string() + "/"); // no second separator
    EXPECT_EQ(w.SubscriptionList()->Model()->rowCount(), 0);
    harness.messages.clear();
    harness.chosenFolders = {QString::fromStdString(other.string())};
    w.OnCommand(ID_SET_BASE_DIRECTORY);
    EXPECT_TRUE(harness.messages.empty()); // empty list: straight to the chooser
    EXPECT_EQ(w.SubscriptionList()->Model()->rowCount(), 1);
}

TEST_F(MainWindowTest, EnterAndEscapeDoNothingQuitEnds) {
    auto& w = Window();
    QSignalSpy ended(&w, &CTessarineDlg::ended);
    w.SubscriptionList()->setFocus();
    QTest::keyClick(w.SubscriptionList(), Qt::Key_Return);
    QTest::keyClick(w.SubscriptionList(), Qt::Key_Escape);
    QTest::keyClick(&w, Qt::Key_Enter);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ended.count(), 0);
    QTest::keyClick(w.DownloadList(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(MainWindowTest, CloseButtonAndQuitItemEnd) {
    {
        auto& w = Window();
        QSignalSpy ended(&w, &CTessarineDlg::ended);
        w.close();
        EXPECT_EQ(ended.count(), 1);
    }
    window.reset();
    auto& w = Window();
    QSignalSpy ended(&w, &CTessarineDlg::ended);
    w.Action(ID_QUIT_COMMAND)->trigger();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(w.HasEnded());
}

TEST_F(MainWindowTest, StartupCheckDecision) {
    struct Case {
        bool checkAndQuit, doNotCheck;
        int updateStart;
        bool expected;
    };
    const Case cases[] = {
        {false, false, 1, true},  {false, false, 0, false}, {false, true, 1, false},
        {true, false, 0, true},   {false, true, 0, false},  {true, false, 1, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CTessarineDlg::StartupCheckWanted({c.checkAndQuit, c.doNotCheck}, c.updateStart),
                  c.expected)
            << c.checkAndQuit << c.doNotCheck << c.updateStart;
}

TEST_F(MainWindowTest, StartupCheckIsPostedAndRunsAfterInitialisation) {
    LoopbackServer server;
    server.Serve("/f.xml", MakeFeed("Posted", {}), "text/xml");
    server.Start();
    WriteSettings("<TessarineSettings><settings updatestart='1' quitcomplete='0'/>"
                  "<feed url='" + server.Url("/f.xml") + "'>Before</feed></TessarineSettings>");
    auto& w = Window();
    // Posted, not run during initialisation.
    EXPECT_EQ(Cell(w.SubscriptionList(), 0, 0), "Before");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Cell(w.SubscriptionList(), 0, 0) == "Posted"; }, 30000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Cell(w.SubscriptionList(), 0, 2) == "No new items"; }, 30000));
    EXPECT_FALSE(w.HasEnded());
}

TEST_F(MainWindowTest, CheckAndQuitStartsMinimizedAndEnds) {
    LoopbackServer server;
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/ep1.mp3")}}), "text/xml");
    server.Serve("/ep1.mp3", "episode one");
    server.Start();
    WriteSettings("<TessarineSettings><settings updatestart='0' quitcomplete='0'/>"
                  "<feed url='" + server.Url("/f.xml") + "'>Show</feed></TessarineSettings>");
    EngineOptions options;
    CTessarineDlg w({true, false}, options);
    QSignalSpy ended(&w, &CTessarineDlg::ended);
    w.OnInitDialog();
    w.ShowAsStarted();
    EXPECT_TRUE(w.isMinimized());
    EXPECT_TRUE(ended.wait(30000));
    EXPECT_EQ(ReadFile(base + "Show/ep1.mp3"), "episode one");
    EXPECT_EQ(w.DownloadList()->Model()->Cell(0, 3), "Completed");
}

TEST_F(MainWindowTest, AcceleratorsWorkFromEitherList) {
    WriteSettings();
    auto& w = Window();
    for (ReportListView* list : {w.SubscriptionList(), w.DownloadList()}) {
        list->setFocus();
        bool opened = false;
        OnNextModal([&](QDialog* dialog) {
            opened = true;
            dialog->reject();
        });
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        EXPECT_TRUE(opened);
        Activate();
        EXPECT_EQ(w.SubscriptionList()->Model()->rowCount(), 3); // cancelled: nothing added
    }
    // Ctrl+U marks every named feed and starts a cycle.
    w.DownloadList()->setFocus();
    QTest::keyClick(w.DownloadList(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_TRUE(w.Model().checkAllRequested);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Cell(w.SubscriptionList(), 0, 2) == "Error"; }, 30000))
        << Cell(w.SubscriptionList(), 0, 2).toStdString() << " " << harness.messages.size();
    WaitIdle(w);
}

TEST_F(MainWindowTest, SubscribeAddsAsTypedAndStartsACheck) {
    LoopbackServer server;
    server.Serve("/f.xml", MakeFeed("Subscribed", {}), "text/xml");
    server.Start();
    auto& w = Window();
    const QString url = QString::fromStdString(" " + server.Url("/f.xml"));
    OnNextModal([&](QDialog* dialog) {
        dialog->findChild<QLineEdit*>("feedUrl")->setText(url);
        dialog->accept();
    });
    w.OnCommand(ID_SUBSCRIBE);
    ASSERT_EQ(w.Model().subscriptions.Size(), 1u);
    EXPECT_EQ(w.Model().subscriptions.At(0)->url, url.toStdString()); // the blank is kept
    // The blank makes the URL unusable: the check reports it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !harness.messages.empty(); }, 30000));
    EXPECT_EQ(harness.messages[0].text, "Could not open " + url);

    // A duplicate shows message 119 and still starts a cycle.
    harness.messages.clear();
    OnNextModal([&](QDialog* dialog) {
        dialog->findChild<QLineEdit*>("feedUrl")->setText(url);
        dialog->accept();
    });
    w.OnCommand(ID_SUBSCRIBE);
    ASSERT_GE(harness.messages.size(), 1u);
    EXPECT_TRUE(harness.messages[0].text.startsWith("Error!\n\nA feed with this url is already in the list!"));
    EXPECT_EQ(w.SubscriptionList()->Model()->rowCount(), 1);
    WaitIdle(w);
}

TEST_F(MainWindowTest, ContextMenuRules) {
    WriteSettings();
    auto& w = Window();
    auto* list = w.SubscriptionList();
    auto send = [&](QWidget* target, QPoint local, QContextMenuEvent::Reason reason) {
        QContextMenuEvent event(reason, local, target->mapToGlobal(local));
        QApplication::sendEvent(target, &event);
        const bool shown = w.ContextMenu()->isVisible();
        w.ContextMenu()->hide();
        return shown;
    };
    // No selection mark: no menu.
    EXPECT_FALSE(send(list->viewport(), {20, 20}, QContextMenuEvent::Mouse));
    ClickRow(list, 0);
    EXPECT_TRUE(send(list->viewport(), {20, 20}, QContextMenuEvent::Mouse));
    // Never over the download list, a label or the bar.
    EXPECT_FALSE(send(w.DownloadList()->viewport(), {20, 20}, QContextMenuEvent::Mouse));
    EXPECT_FALSE(send(&w, w.SplitterBar()->geometry().center(), QContextMenuEvent::Mouse));
    // From the keyboard: at the list's top-left corner.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, {0, 0}, {0, 0});
    QApplication::sendEvent(list, &key);
    EXPECT_TRUE(w.ContextMenu()->isVisible());
    EXPECT_EQ(w.ContextMenu()->pos(), list->mapToGlobal(QPoint(0, 0)));
    w.ContextMenu()->hide();

    QStringList items;
    for (QAction* action : w.ContextMenu()->actions())
        items << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(items, (QStringList{"Podcast base directory...", "Base directory...", "-",
                                  "Update this podcast now", "-", "Remove Podcast"}));
}

TEST_F(MainWindowTest, OpeningFoldersAndFiles) {
    WriteSettings();
    auto& w = Window();
    w.OnCommand(ID_OPEN_BASE_DIRECTORY);
    ASSERT_EQ(harness.opened.size(), 1u);
    EXPECT_EQ(fs::path(harness.opened[0].toLocalFile().toStdString()), fs::path(base));
    // Nothing selected: the feed folder command does nothing.
    w.OnCommand(ID_OPEN_PODCAST_FOLDER);
    EXPECT_EQ(harness.opened.size(), 1u);
    // A double-click opens the folder of the row at the selection mark,
    // through the folder-name rule.
    auto* list = w.SubscriptionList();
    const QRect rect = list->visualRect(list->Model()->index(0, 0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return harness.opened.size() == 2; }, 10000));
    EXPECT_EQ(harness.opened[1].toLocalFile().toStdString(), base + "Tom & Jerry");

    // A download row opens its file, present or not.
    {
        std::lock_guard lock(w.Model().mutex);
        w.Model().downloads.Append("http://x/y/ep.mp3?id=1", "../Show");
    }
    w.InsertDownloadRow(0, {"ep.mp3", "", "0%", "Waiting"});
    auto* downloads = w.DownloadList();
    const QRect row = downloads->visualRect(downloads->Model()->index(0, 0));
    QTest::mouseDClick(downloads->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return harness.opened.size() == 3; }, 10000));
    EXPECT_EQ(harness.opened[2].toLocalFile().toStdString(), base + ".._Show/ep.mp3");
}

TEST_F(MainWindowTest, QuitDuringATransferLeavesNoFile) {
    LoopbackServer server;
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/big.mp3")}}), "text/xml");
    server.ServePartial("/big.mp3", 10000000, 100000, true);
    server.Start();
    WriteSettings("<TessarineSettings><feed url='" + server.Url("/f.xml") +
                  "'>Show</feed></TessarineSettings>");
    auto& w = Window();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return w.DownloadList()->Model()->Cell(0, 3) == "Downloading"; }, 30000));
    QSignalSpy ended(&w, &CTessarineDlg::ended);
    w.OnCommand(ID_QUIT_COMMAND);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(w.Engine().IsBusy());
    EXPECT_FALSE(fs::exists(base + "Show/big.mp3"));
    EXPECT_FALSE(fs::exists(base + "Show/big.mp3.part"));
}

TEST_F(MainWindowTest, QuitWhileTheWorkerWaitsOnAMessageBox) {
    // The real message box this time: the worker waits on it when quit comes.
    SetShowMessageBox({});
    WriteSettings("<TessarineSettings><feed url='http://127.0.0.1:1/refused.xml'>Show</feed>"
                  "</TessarineSettings>");
    auto& w = Window();
    QSignalSpy ended(&w, &CTessarineDlg::ended);
    // Quit from inside the worker's "Could not open" box, the way a session
    // ending or a posted quit reaches the window while the box is up.
    QString boxText;
    OnNextModal([&](QDialog* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog))
            boxText = box->text();
        w.OnCommand(ID_QUIT_COMMAND);
    });
    w.OnCommand(ID_CHECK_NEW_ITEMS);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 30000));
    EXPECT_TRUE(boxText.startsWith("Could not open"));
    EXPECT_FALSE(w.Engine().IsBusy());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
