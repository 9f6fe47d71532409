#pragma once
// The program's icon in the desktop's tray: a click shows or hides the
// window, its menu shows or hides the window, checks for new items and quits,
// and its tooltip tells when the last check was and what is downloading.
// The icon is only made where the desktop has a tray; the menu and the
// tooltip's text are there in any case.

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace tessarine {

class DownloadTableModel;

// The tooltip: the program's name, when the last check was (`lastCheck` as
// the lists show a date; empty when there was none), the downloads under way
// with how far each got, and how many wait.
QString TrayToolTipText(const std::string& lastCheck, const DownloadTableModel& downloads);

class TrayIcon : public QObject {
    Q_OBJECT
public:
    // `toggleWindow` shows a hidden or minimised window, hides a shown one;
    // `onCommand` runs the menu's other items as the window's menu does.
    TrayIcon(QWidget* window, std::function<void()> toggleWindow,
             std::function<void(int commandId)> onCommand, bool withIcon);

    QMenu* Menu() const { return menu_; }
    // The icon the desktop shows; none without a tray.
    QSystemTrayIcon* Icon() const { return icon_; }
    // The menu's first item names what it does to the window as it is now.
    void WindowShownOrHidden();
    void SetToolTip(const QString& text);
    const QString& ToolTip() const { return toolTip_; }

private:
    QWidget* window_;
    QMenu* menu_;
    QAction* showHide_;
    QAction* commands_[2] = {}; // check for new items, quit
    QSystemTrayIcon* icon_ = nullptr;
    QString toolTip_;
};

} // namespace tessarine
