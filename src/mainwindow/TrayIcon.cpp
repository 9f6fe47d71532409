#include "mainwindow/TrayIcon.h"

#include "core/util/Strings.h"
#include "display/DisplayText.h"
#include "mainwindow/Commands.h"
#include "mainwindow/DownloadTableModel.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace tessarine {
namespace {

QString Text(int id) { return QString::fromStdString(LoadResString(id)); }

// Downloads under way named one by one; more are counted.
constexpr int kNamedDownloads = 3;

bool WindowInView(const QWidget* window) { return window->isVisible() && !window->isMinimized(); }

} // namespace

QString TrayToolTipText(const std::string& lastCheck, const DownloadTableModel& downloads) {
    QStringList lines{Text(TXT_CAPTION)};
    lines << (lastCheck.empty() ? Text(TXT_TIP_NEVER_CHECKED)
                                : QString::fromStdString(FormatResString(TXT_TRAY_LAST_CHECK,
                                                                         lastCheck)));
    int downloading = 0, waiting = 0;
    for (int download = 0; const DownloadFacts* facts = downloads.Facts(download); ++download) {
        if (facts->state == DownloadState::Waiting) {
            ++waiting;
        } else if (facts->state == DownloadState::Downloading && ++downloading <= kNamedDownloads) {
            // Before its transfer begins nothing is known of its size; without
            // an announced total what arrived so far tells more than "0%".
            const std::string progress = !facts->progressed ? PercentText(0, 0)
                                         : facts->total > 0
                                             ? PercentText(facts->received, facts->total)
                                             : SizeText(facts->received);
            lines << QString::fromStdString(
                FormatText(LoadResString(TXT_TRAY_DOWNLOADING), {facts->file, progress}));
        }
    }
    if (downloading > kNamedDownloads)
        lines << QString::fromStdString(FormatResString(
            TXT_TRAY_MORE_DOWNLOADING, std::to_string(downloading - kNamedDownloads)));
    if (waiting > 0)
        lines << QString::fromStdString(FormatResString(TXT_TRAY_WAITING, std::to_string(waiting)));
    return lines.join(QLatin1Char('\n'));
}

TrayIcon::TrayIcon(QWidget* window, std::function<void()> toggleWindow,
                   std::function<void(int commandId)> onCommand, bool withIcon)
    : QObject(window), window_(window), menu_(new QMenu(window)) {
    menu_->setObjectName(QStringLiteral("TrayMenu"));
    showHide_ = menu_->addAction(QString());
    connect(showHide_, &QAction::triggered, this, [toggleWindow] { toggleWindow(); });
    const auto addCommand = [this, onCommand](int id, int textId) {
        QAction* action = menu_->addAction(Text(textId));
        connect(action, &QAction::triggered, this, [onCommand, id] { onCommand(id); });
        return action;
    };
    menu_->addSeparator();
    commands_[0] = addCommand(ID_CHECK_NEW_ITEMS, TXT_MENU_CHECK);
    menu_->addSeparator();
    commands_[1] = addCommand(ID_QUIT_COMMAND, TXT_MENU_QUIT);
    // The menu is the desktop's to open, also while a dialog of the window
    // waits for an answer: then the window's commands wait too. The first
    // item's text is looked at again as well: a window manager may have
    // minimised or restored the window without telling in time.
    connect(menu_, &QMenu::aboutToShow, this, [this] {
        for (QAction* command : commands_)
            command->setEnabled(QApplication::activeModalWidget() == nullptr);
        WindowShownOrHidden();
    });
    WindowShownOrHidden();
    if (!withIcon)
        return;
    icon_ = new QSystemTrayIcon(window->windowIcon(), this);
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [toggleWindow](QSystemTrayIcon::ActivationReason reason) {
                // A double click also comes as a click first: only that one toggles.
                if (reason == QSystemTrayIcon::Trigger)
                    toggleWindow();
            });
    icon_->show();
}

void TrayIcon::WindowShownOrHidden() {
    showHide_->setText(Text(WindowInView(window_) ? TXT_TRAY_HIDE_WINDOW : TXT_TRAY_SHOW_WINDOW));
}

void TrayIcon::SetToolTip(const QString& text) {
    if (text == toolTip_)
        return;
    toolTip_ = text;
    if (icon_ != nullptr)
        icon_->setToolTip(text);
}

} // namespace tessarine
