#pragma once
// The main window: "Subscribed Podcasts" above, "Download Queue" below, a
// splitter bar between them, the menu, the context menu and every command.
// It works on a PodcastLibrary that the application owns, and shows the
// engine's events that a QueuedEngineView hands it on the GUI thread.

#include "controls/CAnchoredDialog.h"
#include "core/library/PodcastLibrary.h"
#include "mainwindow/Commands.h"
#include "mainwindow/NewEpisodeNews.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
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
class EpisodesWindow;
class FindPodcastsWindow;
class MainMenus;
class MainWindowLayout;
class MessageQueue;
class MessagesWindow;
class Notifier;
class PeriodicCheck;
class QueuedEngineView;
class ReportListView;
class SingleInstance;
class SubscriptionTableModel;
class TrayIcon;

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
    // directory moves (none: the change takes no lock). The links a second
    // start hands it are opened here (OpenLinks).
    void SetSingleInstance(SingleInstance* instance);
    // Where the news of downloaded episodes goes after a check (the
    // desktop's notifications unless replaced; none: not told).
    void SetNotifier(std::unique_ptr<Notifier> notifier);
    // The profile's periodic check and whether closing keeps the program in
    // the tray, read again (at start, and after the settings dialog). An
    // unattended run ("/checkandquit") neither checks again nor stays.
    void WatchOptionsChanged();

    // Subscribes to links handed to the program (podcast links, saved feed
    // files; see FeedOfLink): one after another, each in the subscribe
    // dialog filled with its feed's address, or a box saying why there is
    // none. Returns at once: they open from the event loop, each once no
    // other subscribe dialog or link is in the way.
    void OpenLinks(const QStringList& links);
    // Opens the Episodes window of the podcast that `url` names (see
    // PodcastLibrary::FindPodcast), or raises it when it is open already;
    // nothing for a podcast that is not listed. The window opened; null when none.
    EpisodesWindow* ShowEpisodes(const std::string& url);
    // The Episodes window open for `record`; null when none is.
    EpisodesWindow* EpisodesWindowOf(const SubscriptionPtr& record) const;

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
    // The check every N hours, and the icon in the tray with its menu.
    PeriodicCheck* PeriodicChecks() const { return periodic_; }
    TrayIcon* Tray() const { return tray_; }
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
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Commands.
    void OnCheckForNewItems();
    void OnUpdateThisPodcast();
    // The subscribe dialog, its field filled with `address`.
    void OnSubscribe(const QString& address = {});
    // The next of the links waiting, unless the window is busy with one.
    void OpenNextLink();
    void PostOpenNextLink();
    void OnFindPodcasts();
    // Subscribes to `typed` as the subscribe dialog does, telling a refusal
    // in a box over `owner`; true when it was added.
    bool SubscribeTo(const std::string& typed, QWidget* owner);
    void OnRemovePodcast();
    void OnImportSubscriptions();
    void OnExportSubscriptions();
    void OnSettings();
    void OnPodcastSettings();
    void OnSetBaseDirectory();
    void OnOpenBaseDirectory();
    void OnOpenPodcastFolder();
    void OnShowEpisodes();
    EpisodesWindow* ShowEpisodesOf(const SubscriptionPtr& record);
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

    // The window in front again: shown, not minimised, active.
    void ShowInFront();
    // The tray's click and its first item: a window in view goes into the
    // tray, any other comes to the front.
    void ToggleFromTray();
    void HideIntoTray();
    // The user chose the news of new episodes from `podcasts`.
    void OnNewsChosen(const std::vector<std::string>& podcasts);
    // Shows the episodes of `record`: the window brought to the front with
    // the podcast's row selected, and its Episodes window.
    void ShowPodcastEpisodes(const SubscriptionPtr& record);
    // Runs `act` on each Episodes window still open.
    void ForEachEpisodesWindow(const std::function<void(EpisodesWindow&)>& act) const;
    // The tray's tooltip after a change of what it tells.
    void RefreshTrayToolTip();

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
    // The Episodes windows open, one per podcast.
    std::map<const Subscription*, QPointer<EpisodesWindow>> episodeWindows_;
    PeriodicCheck* periodic_ = nullptr;
    TrayIcon* tray_ = nullptr;
    bool keepInTray_ = false; // closing hides the window into the tray (when there is one)
    std::string lastCheckShown_; // the newest date a podcast was checked, as shown; empty: none
    QSize templateSize_;  // the size the layout gives: never made smaller than that
    bool startMaximized_ = false;

    QStringList pendingLinks_; // handed to the window, not yet opened
    bool subscribing_ = false; // a subscribe dialog or a link's box is open

    bool quitDue_ = false; // the quit rule said to end once the messages are read
    bool closing_ = false;
    int exitStatus_ = 0;
    bool ended_ = false;
};

} // namespace tessarine
