#include "mainwindow/MainMenus.h"

#include "core/util/Strings.h"
#include "mainwindow/Commands.h"
#include "mainwindow/ReportListView.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace tessarine {
namespace {

QString Text(int id) {
    return QString::fromStdString(LoadResString(id));
}

} // namespace

MainMenus::MainMenus(QWidget* window, CommandFn onCommand)
    : QObject(window), window_(window), onCommand_(std::move(onCommand)),
      menuBar_(new QMenuBar(window)), contextMenu_(new QMenu(window)) {
    QMenu* file = menuBar_->addMenu(Text(TXT_MENU_FILE));
    AddCommand(file, ID_SUBSCRIBE, TXT_MENU_SUBSCRIBE, QKeySequence(Qt::CTRL | Qt::Key_A));
    AddCommand(file, ID_FIND_PODCASTS, TXT_MENU_FIND_PODCASTS, {});
    AddCommand(file, ID_REMOVE_PODCAST, TXT_MENU_REMOVE, {});
    AddCommand(file, ID_IMPORT_SUBSCRIPTIONS, TXT_MENU_IMPORT, {});
    AddCommand(file, ID_EXPORT_SUBSCRIPTIONS, TXT_MENU_EXPORT, {});
    file->addSeparator();
    AddCommand(file, ID_CHECK_NEW_ITEMS, TXT_MENU_CHECK, QKeySequence(Qt::CTRL | Qt::Key_U));
    AddCommand(file, ID_OPEN_BASE_DIRECTORY, TXT_MENU_OPEN_BASEDIR, {});
    file->addSeparator();
    AddCommand(file, ID_QUIT_COMMAND, TXT_MENU_QUIT, QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* options = menuBar_->addMenu(Text(TXT_MENU_OPTIONS));
    AddCommand(options, ID_SET_BASE_DIRECTORY, TXT_MENU_SET_BASEDIR, {});
    options->addSeparator();
    AddCommand(options, ID_SETTINGS, TXT_MENU_SETTINGS, {});

    QMenu* help = menuBar_->addMenu(Text(TXT_MENU_HELP));
    AddCommand(help, ID_INFORMATION, TXT_MENU_INFORMATION, {});
    help->addSeparator();
    AddCommand(help, ID_ABOUT, TXT_MENU_ABOUT, {});

    contextMenu_->setObjectName("FeedContext");
    AddContextCommand(ID_OPEN_PODCAST_FOLDER, TXT_CONTEXT_OPEN_PODCAST_DIR);
    AddContextCommand(ID_OPEN_BASE_DIRECTORY, TXT_MENU_OPEN_BASEDIR);
    contextMenu_->addSeparator();
    AddContextCommand(ID_UPDATE_THIS_PODCAST, TXT_CONTEXT_UPDATE);
    AddContextCommand(ID_SHOW_EPISODES, TXT_EPISODES_MENU);
    AddContextCommand(ID_PODCAST_SETTINGS, TXT_CONTEXT_PODCAST_SETTINGS);
    contextMenu_->addSeparator();
    AddContextCommand(ID_REMOVE_PODCAST, TXT_MENU_REMOVE);

    // Shift+F10 asks for the context menu as the Menu key does.
    auto* contextKey = new QAction(window);
    contextKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    contextKey->setShortcutContext(Qt::WindowShortcut);
    window->addAction(contextKey);
    connect(contextKey, &QAction::triggered, this, [this] { PopupContextMenu({}, true); });

    // F10 takes the keyboard into the menu bar, as in other desktop programs.
    auto* menuKey = new QAction(window);
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WindowShortcut);
    window->addAction(menuKey);
    connect(menuKey, &QAction::triggered, this, &MainMenus::OpenMenuBar);
}

void MainMenus::OpenMenuBar() {
    if (!menuBar_->actions().isEmpty())
        menuBar_->setActiveAction(menuBar_->actions().first());
}

void MainMenus::AttachLists(ReportListView* subscriptions, ReportListView* downloads) {
    contextList_ = subscriptions;
    downloadList_ = downloads;
    subscriptions->installEventFilter(this);
    downloads->installEventFilter(this);
}

void MainMenus::PopupContextMenu(QPoint globalPos, bool fromKeyboard) {
    if (contextList_ == nullptr)
        return;
    const auto covers = [globalPos](const ReportListView* list) {
        return QRect(list->mapToGlobal(QPoint(0, 0)), list->size()).contains(globalPos);
    };
    const bool downloads = downloadList_ != nullptr &&
                           (fromKeyboard ? downloadList_->hasFocus() : covers(downloadList_));
    if (downloads) {
        if (openDownloadMenu_)
            openDownloadMenu_(globalPos, fromKeyboard);
        return;
    }
    if (contextList_->SelectionMark() == -1 || (!fromKeyboard && !covers(contextList_)))
        return;
    contextMenu_->popup(fromKeyboard ? contextList_->KeyboardMenuPoint() : globalPos);
}

bool MainMenus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_A || key->key() == Qt::Key_U || key->key() == Qt::Key_Q)) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QAction* MainMenus::Action(int commandId) const {
    const auto found = actions_.find(commandId);
    return found == actions_.end() ? nullptr : found->second;
}

QAction* MainMenus::AddCommand(QMenu* menu, int id, int textId, const QKeySequence& shortcut) {
    QAction* action = menu->addAction(Text(textId));
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        window_->addAction(action); // the accelerator works wherever the focus is
    }
    connect(action, &QAction::triggered, this, [this, id] { onCommand_(id); });
    actions_[id] = action;
    return action;
}

void MainMenus::AddContextCommand(int id, int textId) {
    QAction* action = contextMenu_->addAction(Text(textId));
    connect(action, &QAction::triggered, this, [this, id] { onCommand_(id); });
}

} // namespace tessarine
