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
    // Opens the context menu at a point in global coordinates, when it lies
    // on the subscription list and a subscription is selected; fromKeyboard
    // (the Menu key, Shift+F10) puts it at the list's top-left corner.
    void PopupContextMenu(QPoint globalPos, bool fromKeyboard);

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
    std::map<int, QAction*> actions_;
};

} // namespace tessarine
