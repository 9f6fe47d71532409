#pragma once
// The main window: "Subscribed Podcasts" above, "Download Queue" below, a
// splitter bar between them, the menu, the context menu and every command.
// It owns the shared model and the update engine, and serves the engine's
// calls on the GUI thread.

#include "controls/CAnchoredDialog.h"
#include "mainwindow/Commands.h"
#include "subscriptions/Strings.h"
#include "update/EngineView.h"
#include "update/SharedModel.h"
#include "update/UpdateEngine.h"

#include <QPointer>
#include <QStringList>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QLabel;
class QMenu;
class QMenuBar;
class QAction;
class QFrame;
#include <QFrame>

namespace tessarine {

class CSplitterBar;
class ReportListView;
class Autostart;
class SingleInstance;
struct SplitterNotify;

// The two switches of the command line.
struct StartupSwitches {
    bool checkAndQuit = false;
    bool doNotCheck = false;
};

class CTessarineDlg : public CAnchoredDialog, public EngineView {
    Q_OBJECT
public:
    explicit CTessarineDlg(StartupSwitches switches = {}, EngineOptions engineOptions = {},
                           QWidget* parent = nullptr);
    ~CTessarineDlg() override;

    // The start-up sequence: options, base directory, settings file, the
    // start-up check, the autostart state and the splitter bar. Call once
    // before showing the window.
    void OnInitDialog();
    // Shows the window, minimized when started with "/checkandquit".
    void ShowAsStarted();

    // The holder of the base directory's lock, which a change of base
    // directory moves (none: the change takes no lock).
    void SetSingleInstance(SingleInstance* instance) { singleInstance_ = instance; }

    // Whether start-up posts "Check for new items".
    static bool StartupCheckWanted(const StartupSwitches& switches, int32_t updateStart);

    // Runs a command as a menu item, an accelerator or a post does.
    void OnCommand(int id);
    void PostCommand(int commandId) override;

    // The subscription list.
    SubscriptionPtr AddSubscription(const std::string& url, const std::string& name);
    void RefreshSubscriptionRows() override;
    SubscriptionPtr GetSelectedSubscription() const;
    void OnRemovePodcast();

    // The download list.
    void InsertDownloadRow(size_t row, const DownloadRow& cells) override;
    void SetDownloadCell(size_t row, DownloadColumn column, const std::string& text) override;
    void ShowError(const std::string& message) override;
    bool GetSelectedDownload(DownloadEntry& out) const;
    void OnDownloadDoubleClick();

    // Commands.
    void OnCheckForNewItems();
    void OnUpdateThisPodcast();
    void OnSubscribe();
    void OnSettings();
    void OnSetBaseDirectory();
    void OnOpenBaseDirectory();
    void OnOpenPodcastFolder();
    void OnSubscriptionDoubleClick();
    void OnInformation();
    void OnAbout();
    void OnQuit();
    // The context menu for a point in global coordinates; fromKeyboard puts
    // it at the subscription list's top-left corner.
    void OnContextMenu(QPoint globalPos, bool fromKeyboard);
    void OnSplitterMoved(const SplitterNotify& notify);
    void ShiftListBoundary(int delta);

    // Access for the application and tests.
    SharedModel& Model() { return model_; }
    UpdateEngine& Engine() { return *engine_; }
    ReportListView* SubscriptionList() const { return subscriptionList_; }
    // The download list with every change made so far: on the GUI thread,
    // changes from the worker that are still on their way are applied first.
    ReportListView* DownloadList() const;
    CSplitterBar* SplitterBar() const { return splitter_; }
    QWidget* Placeholder() const { return placeholder_; }
    QMenuBar* MenuBar() const { return menuBar_; }
    QMenu* ContextMenu() const { return contextMenu_; }
    QAction* Action(int commandId) const;
    bool HasEnded() const { return ended_; }
    const StartupSwitches& Switches() const { return switches_; }

signals:
    // The window has ended: the program should quit.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void PlaceSplitterBar();
    void UpdateSplitterRange();
    void AnchorControls();
    void FinishQuit();
    // Tells the user, once the window is up, that the settings file just
    // loaded could not be read and where its bytes were kept.
    void ReportUnreadableSettings();
    // Runs `call` on the GUI thread and waits for it (directly when already there).
    template <typename F> void OnGuiThread(F&& call);

    // A change of the download list: a new row (column -1, its four cells)
    // or one cell's new text.
    struct DownloadListChange {
        int row;
        int column;
        QStringList cells;
    };
    // Changes from another thread are applied in order on the GUI thread
    // without making the caller wait; on the GUI thread at once.
    void ChangeDownloadList(DownloadListChange change);
    void ApplyDownloadListChanges() const;

    StartupSwitches switches_;
    SharedModel model_;
    std::unique_ptr<UpdateEngine> engine_;
    std::unique_ptr<Autostart> autostart_;
    QString programPath_;
    SingleInstance* singleInstance_ = nullptr;

    QMenuBar* menuBar_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    std::map<int, QAction*> actions_;
    QLabel* subscribedLabel_ = nullptr;
    QLabel* downloadsLabel_ = nullptr;
    ReportListView* subscriptionList_ = nullptr;
    ReportListView* downloadList_ = nullptr;
    QFrame* placeholder_ = nullptr;
    CSplitterBar* splitter_ = nullptr;

    int servingWorker_ = 0; // calls of the worker being served on this thread
    bool closing_ = false;
    bool ended_ = false;

    // The cells each subscription row was last given, with the values they
    // were formatted from: a refresh formats again only the rows whose
    // values (or the language) changed. GUI thread only.
    struct ShownSubscription {
        std::string name;
        OleDateTime lastChecked;
        int32_t status = 0;
        Language language = Language::English;
        QStringList cells;
    };
    std::vector<ShownSubscription> shownSubscriptions_;

    mutable std::mutex downloadChangesMutex_;
    mutable std::vector<DownloadListChange> downloadChanges_; // not yet applied, in order
};

} // namespace tessarine
