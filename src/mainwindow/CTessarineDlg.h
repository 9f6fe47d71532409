#pragma once
// The main window: "Subscribed Podcasts" above, "Download Queue" below, a
// splitter bar between them, the menu, the context menu and every command.
// It works on a PodcastLibrary that the application owns, and shows the
// engine's events that a QueuedEngineView hands it on the GUI thread.

#include "controls/CAnchoredDialog.h"
#include "core/library/PodcastLibrary.h"
#include "mainwindow/Commands.h"
#include "mainwindow/NewEpisodeNews.h"

#include <QString>

#include <memory>
#include <vector>

class QAction;
class QKeyEvent;
class QMenu;

namespace tessarine {

class Autostart;
class CSplitterBar;
class DownloadCommands;
class DownloadTableModel;
class FindPodcastsWindow;
class MainMenus;
class MainWindowLayout;
class MessageQueue;
class MessagesWindow;
class Notifier;
class QueuedEngineView;
class ReportListView;
class SingleInstance;
class SubscriptionTableModel;

class CTessarineDlg : public CAnchoredDialog {
    Q_OBJECT
public:
    CTessarineDlg(PodcastLibrary& library, QueuedEngineView& events, QWidget* parent = nullptr);
    ~CTessarineDlg() override;

    // The start-up sequence: base directory, settings file, the start-up
    // check, the autostart state and the splitter bar. Call once before
    // showing the window.
    void OnInitDialog();
    // Shows the window, minimized when started with "/checkandquit".
    void ShowAsStarted();

    // The holder of the base directory's lock, which a change of base
    // directory moves (none: the change takes no lock).
    void SetSingleInstance(SingleInstance* instance) { singleInstance_ = instance; }
    // Where the news of downloaded episodes goes after a check (the
    // desktop's notifications unless replaced; none: not told).
    void SetNotifier(std::unique_ptr<Notifier> notifier);

    // Runs a command as a menu item, an accelerator or a post does.
    void OnCommand(int id);
    void PostCommand(int commandId);

    // The context menu for a point in global coordinates; fromKeyboard (the
    // Menu key, Shift+F10) puts it below the selected row of the focused list.
    void OnContextMenu(QPoint globalPos, bool fromKeyboard);

    PodcastLibrary& Library() { return library_; }
    ReportListView* SubscriptionList() const { return subscriptionList_; }
    ReportListView* DownloadList() const { return downloadList_; }
    // The download list's commands and context menu.
    DownloadCommands* Downloads() const { return downloads_; }
    CSplitterBar* SplitterBar() const;
    QMenu* ContextMenu() const;
    QAction* Action(int commandId) const;
    // The window that gathers the messages of the checks.
    MessagesWindow* Messages() const { return messagesWindow_; }
    // The Find Podcasts window; none until "Find Podcasts..." first opens it.
    FindPodcastsWindow* FindPodcasts() const { return findWindow_; }
    bool HasEnded() const { return ended_; }
    // The program's exit status once the window has ended: 1 after an
    // unattended run whose settings file could not be read, else 0.
    int ExitStatus() const { return exitStatus_; }

signals:
    // The window has ended: the program should quit.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Commands.
    void OnCheckForNewItems();
    void OnUpdateThisPodcast();
    void OnSubscribe();
    void OnFindPodcasts();
    // Subscribes to `typed` as the subscribe dialog does, telling a refusal
    // in a box over `owner`; true when it was added.
    bool SubscribeTo(const std::string& typed, QWidget* owner);
    void OnRemovePodcast();
    void OnImportSubscriptions();
    void OnExportSubscriptions();
    void OnSettings();
    void OnSetBaseDirectory();
    void OnOpenBaseDirectory();
    void OnOpenPodcastFolder();
    void OnDownloadDoubleClick();
    void OnInformation();
    void OnAbout();
    void OnQuit();
    // A key pressed on one of the lists; true when it ran a command.
    bool OnListKey(ReportListView* list, const QKeyEvent& key);

    // The engine's events.
    void OnDownloadsChanged(const std::vector<DownloadEvent>& events);
    void OnMessage(const Message& message);
    void OnCyclesEnded(bool quit);
    // Quits when a quit is due and no message is open any more (no box, and
    // the messages window closed).
    void QuitWhenMessagesRead();

    SubscriptionPtr GetSelectedSubscription() const;
    // After a load: the records left out because their URL was listed
    // already, and (once the window is up) a settings file that could not be
    // read and where its bytes were kept.
    void ReportLoad(const LoadResult& loaded);

    void CreateControls();
    // The window's place and size, the splitter, the lists' columns and
    // sort as the profile keeps them: taken at start, stored at the end.
    void RestoreWindowState();
    void SaveWindowState() const;

    PodcastLibrary& library_;
    std::unique_ptr<Autostart> autostart_;
    QString programPath_;
    SingleInstance* singleInstance_ = nullptr;

    MainMenus* menus_ = nullptr;
    MessageQueue* messages_ = nullptr;          // boxes of the start-up
    MessagesWindow* messagesWindow_ = nullptr; // the checks' messages
    FindPodcastsWindow* findWindow_ = nullptr;
    SubscriptionTableModel* subscriptionRows_ = nullptr;
    DownloadTableModel* downloadRows_ = nullptr;
    ReportListView* subscriptionList_ = nullptr;
    ReportListView* downloadList_ = nullptr;
    DownloadCommands* downloads_ = nullptr;
    std::unique_ptr<MainWindowLayout> layout_;
    NewEpisodeNews news_; // tells the desktop of new episodes after a check
    QSize templateSize_;  // the size the layout gives: never made smaller than that
    bool startMaximized_ = false;

    bool quitDue_ = false; // the quit rule said to end once the messages are read
    bool closing_ = false;
    int exitStatus_ = 0;
    bool ended_ = false;
};

} // namespace tessarine
