#pragma once
// The main window's menu bar, its accelerators and the subscription list's
// context menu. Every item runs its command through one callback.

#include <QObject>

#include <functional>
#include <map>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace tessarine {

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

private:
    QAction* AddCommand(QMenu* menu, int id, int textId, const QKeySequence& shortcut);
    void AddContextCommand(int id, int textId);

    QWidget* window_;
    CommandFn onCommand_;
    QMenuBar* menuBar_;
    QMenu* contextMenu_;
    std::map<int, QAction*> actions_;
};

} // namespace tessarine
