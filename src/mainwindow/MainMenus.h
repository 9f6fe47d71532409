#pragma once
// The main window's menu bar, its accelerators and the subscription list's
// context menu with where it opens. Every item runs its command through one
// callback.

#include <QObject>
#include <QPoint>

#include <functional>
#include <map>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace tessarine {

class ReportListView;

class MainMenus : public QObject {
    Q_OBJECT
public:
    using CommandFn = std::function<void(int commandId)>;
    // Builds the menus as children of `window`; the accelerators work
    // wherever the focus is inside it.
    MainMenus(QWidget* window, CommandFn onCommand);

    QMenuBar* MenuBar() const { return menuBar_; }
    QMenu* ContextMenu() const { return contextMenu_; }
    // The menu bar's item for a command; none for other commands.
    QAction* Action(int commandId) const;

    // The lists of the window: the accelerators win over their own keys
    // (Ctrl+A would select all), and the context menu belongs to the first.
    void AttachLists(ReportListView* subscriptions, ReportListView* downloads);
    // Opens the download list's own context menu: at a point in global
    // coordinates, or (fromKeyboard) below its selected row.
    using DownloadMenuFn = std::function<void(QPoint globalPos, bool fromKeyboard)>;
    void SetDownloadContextMenu(DownloadMenuFn open) { openDownloadMenu_ = std::move(open); }
    // Opens a context menu at a point in global coordinates: the
    // subscriptions' when it lies on that list and a subscription is
    // selected, the downloads' when it lies on theirs. fromKeyboard (the
    // Menu key, Shift+F10) takes the list that has the focus instead (the
    // subscription list when neither has it) and opens its menu below the
    // selected row.
    void PopupContextMenu(QPoint globalPos, bool fromKeyboard);
    // Opens the first menu of the menu bar, as F10 does.
    void OpenMenuBar();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* AddCommand(QMenu* menu, int id, int textId, const QKeySequence& shortcut);
    void AddContextCommand(int id, int textId);

    QWidget* window_;
    CommandFn onCommand_;
    QMenuBar* menuBar_;
    QMenu* contextMenu_;
    ReportListView* contextList_ = nullptr;
    ReportListView* downloadList_ = nullptr;
    DownloadMenuFn openDownloadMenu_;
    std::map<int, QAction*> actions_;
};

} // namespace tessarine
