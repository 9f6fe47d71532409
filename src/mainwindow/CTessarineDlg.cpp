#include "mainwindow/CTessarineDlg.h"

#include "controls/CSplitterBar.h"
#include "controls/DialogUnits.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/TessarineAddFeedDlg.h"
#include "dialogs/TessarineInfo.h"
#include "dialogs/TessarineOptions.h"
#include "mainwindow/ReportList.h"
#include "platform/Autostart.h"
#include "platform/Desktop.h"
#include "platform/Profile.h"
#include "platform/SingleInstance.h"
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/Strings.h"
#include "update/DownloadQueue.h"
#include "update/FeedReader.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QThread>
#include <QTimer>

// The icon is compiled into the GUI library; a static library's resources
// must be registered by name.
static void InitResources() { Q_INIT_RESOURCE(tessarine); }

namespace tessarine {
namespace {

QString Text(int id) { return QString::fromStdString(LoadResString(id)); }
QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }
std::string ToUtf8(const QString& text) { return text.toStdString(); }

// Size of the window's client area in dialog units.
constexpr int kClientWidthDu = 362;
constexpr int kClientHeightDu = 233;

} // namespace

CTessarineDlg::CTessarineDlg(StartupSwitches switches, EngineOptions engineOptions,
                             QWidget* parent)
    : CAnchoredDialog(parent), switches_(switches), autostart_(std::make_unique<Autostart>()) {
    engine_ = std::make_unique<UpdateEngine>(model_, *this, switches.checkAndQuit,
                                             std::move(engineOptions));
    InitResources();
    setWindowTitle(Text(TXT_CAPTION));
    setWindowIcon(QIcon(":/tessarine.png"));
    CreateMenus();
    CreateControls();
    AnchorControls();
}

CTessarineDlg::~CTessarineDlg() {
    // The worker must be gone before the window it reports to.
    if (!closing_) {
        closing_ = true;
        engine_->BeginShutdown();
        while (!engine_->WaitForIdle(std::chrono::milliseconds(10)))
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    engine_->Shutdown();
}

void CTessarineDlg::CreateMenus() {
    menuBar_ = new QMenuBar(this);
    auto addCommand = [this](QMenu* menu, int id, int textId, QKeySequence shortcut = {}) {
        QAction* action = menu->addAction(Text(textId));
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
            addAction(action); // the accelerator works wherever the focus is
        }
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        actions_[id] = action;
        return action;
    };

    QMenu* file = menuBar_->addMenu(Text(TXT_MENU_FILE));
    addCommand(file, ID_SUBSCRIBE, TXT_MENU_SUBSCRIBE, QKeySequence(Qt::CTRL | Qt::Key_A));
    addCommand(file, ID_REMOVE_PODCAST, TXT_MENU_REMOVE);
    file->addSeparator();
    addCommand(file, ID_CHECK_NEW_ITEMS, TXT_MENU_CHECK, QKeySequence(Qt::CTRL | Qt::Key_U));
    addCommand(file, ID_OPEN_BASE_DIRECTORY, TXT_MENU_OPEN_BASEDIR);
    file->addSeparator();
    addCommand(file, ID_QUIT_COMMAND, TXT_MENU_QUIT, QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* options = menuBar_->addMenu(Text(TXT_MENU_OPTIONS));
    addCommand(options, ID_SET_BASE_DIRECTORY, TXT_MENU_SET_BASEDIR);
    options->addSeparator();
    addCommand(options, ID_SETTINGS, TXT_MENU_SETTINGS);

    QMenu* help = menuBar_->addMenu(Text(TXT_MENU_HELP));
    addCommand(help, ID_INFORMATION, TXT_MENU_INFORMATION);
    help->addSeparator();
    addCommand(help, ID_ABOUT, TXT_MENU_ABOUT);

    // The subscription list's context menu.
    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName("FeedContext");
    auto addContext = [this](int id, int textId) {
        QAction* action = contextMenu_->addAction(Text(textId));
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    };
    addContext(ID_OPEN_PODCAST_FOLDER, TXT_CONTEXT_OPEN_PODCAST_DIR);
    addContext(ID_OPEN_BASE_DIRECTORY, TXT_MENU_OPEN_BASEDIR);
    contextMenu_->addSeparator();
    addContext(ID_UPDATE_THIS_PODCAST, TXT_CONTEXT_UPDATE);
    contextMenu_->addSeparator();
    addContext(ID_REMOVE_PODCAST, TXT_MENU_REMOVE);
}

void CTessarineDlg::CreateControls() {
    const DialogUnits du(this);
    const int menuHeight = menuBar_->sizeHint().height();
    setContentsMargins(0, menuHeight, 0, 0);
    resize(du.X(kClientWidthDu), du.Y(kClientHeightDu) + menuHeight);
    menuBar_->setGeometry(0, 0, width(), menuHeight);

    const QPoint origin = ClientRect().topLeft();
    auto place = [&](QWidget* w, int id, int x, int y, int cx, int cy) {
        SetControlId(w, id);
        w->setGeometry(du.Rect(x, y, cx, cy).translated(origin));
    };

    // Creation order is the tab order: the subscription list first.
    subscriptionList_ = new ReportListView(this);
    subscriptionList_->setObjectName("subscriptionList");
    place(subscriptionList_, IDC_SUBSCRIPTION_LIST, 7, 17, 348, 85);
    subscriptionList_->SetColumns({{Text(IDS_COLUMN_NAME), Qt::AlignLeft, 225},
                                   {Text(IDS_COLUMN_LAST_CHECKED), Qt::AlignLeft, 100,
                                    FromUtf8(OleDateTime::FromFields({2000, 12, 28, 23, 59, 0})
                                                 .FormatShown())},
                                   {Text(IDS_COLUMN_STATUS), Qt::AlignLeft, 130,
                                    Text(IDS_STATUS_NEW_ITEMS)}});

    downloadList_ = new ReportListView(this);
    downloadList_->setObjectName("downloadList");
    place(downloadList_, IDC_DOWNLOAD_LIST, 7, 124, 348, 102);
    downloadList_->SetColumns({{Text(IDS_COLUMN_FILE), Qt::AlignLeft, 225},
                               {Text(IDS_COLUMN_SIZE), Qt::AlignLeft, 80, "1024.0MB"},
                               {Text(IDS_COLUMN_PROGRESS), Qt::AlignHCenter, 60, "100%"},
                               {Text(IDS_COLUMN_DOWNLOAD_STATUS), Qt::AlignLeft, 90,
                                Text(IDS_DOWNLOADING)}});

    subscribedLabel_ = new QLabel(Text(TXT_LABEL_SUBSCRIBED), this);
    place(subscribedLabel_, IDC_LABEL_SUBSCRIBED, 7, 7, 348, 8);
    downloadsLabel_ = new QLabel(Text(TXT_LABEL_DOWNLOADS), this);
    place(downloadsLabel_, IDC_LABEL_DOWNLOADS, 7, 113, 348, 8);
    for (QLabel* label : {subscribedLabel_, downloadsLabel_})
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The bar's placeholder: invisible, it marks where the bar belongs.
    placeholder_ = new QFrame(this);
    placeholder_->setObjectName("splitterPlaceholder");
    place(placeholder_, IDC_SPLITTER, 7, 104, 348, 8);
    placeholder_->hide();

    for (ReportListView* list : {subscriptionList_, downloadList_}) {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
    }
}

void CTessarineDlg::AnchorControls() {
    AnchorControl(downloadList_, AnchorTopLeft, AnchorBottomRight);
    AnchorControl(subscriptionList_, AnchorTopLeft, AnchorTopRight);
    AnchorControl(subscribedLabel_, AnchorTopLeft, AnchorTopLeft);
    AnchorControl(downloadsLabel_, AnchorTopLeft, AnchorTopLeft);
    AnchorControl(placeholder_, AnchorTopLeft, AnchorTopRight);
}

void CTessarineDlg::OnInitDialog() {
    {
        std::lock_guard lock(model_.mutex);
        model_.options.updateStart = 1;
        model_.options.quitComplete = 0;
        model_.checkAllRequested = false;
        // An empty value is used as it is: the files then live in the
        // current folder, and nobody is asked at start-up.
        model_.baseDirectory = ToUtf8(ReadBaseDirectoryFromProfile());
    }
    if (model_.LoadSettings([this](const std::string& url, const std::string& name) {
            return AddSubscription(url, name);
        }))
        RefreshSubscriptionRows();
    ReportUnreadableSettings();

    int32_t updateStart;
    {
        std::lock_guard lock(model_.mutex);
        updateStart = model_.options.updateStart;
    }
    if (StartupCheckWanted(switches_, updateStart))
        PostCommand(ID_CHECK_NEW_ITEMS);

    programPath_ = QCoreApplication::applicationFilePath();
    {
        OptionSet options;
        {
            std::lock_guard lock(model_.mutex);
            options = model_.options;
        }
        ReadAutostartState(options, *autostart_);
        std::lock_guard lock(model_.mutex);
        model_.options.autostart = options.autostart;
        model_.options.runKeyOpen = options.runKeyOpen;
    }

    // The splitter bar, laid over its placeholder.
    splitter_ = new CSplitterBar(this);
    splitter_->Create(placeholder_->geometry(), this, IDC_SPLITTER);
    splitter_->setObjectName("splitterBar");
    splitter_->SetOrientation(CSplitterBar::Horizontal);
    splitter_->SetRange(100, 100, -1);
    connect(splitter_, &CSplitterBar::notify, this,
            [this](const SplitterNotify& notify) { OnSplitterMoved(notify); });
    PlaceSplitterBar();
    UpdateSplitterRange();
}

void CTessarineDlg::ShowAsStarted() {
    if (switches_.checkAndQuit)
        showMinimized();
    else
        show();
}

bool CTessarineDlg::StartupCheckWanted(const StartupSwitches& switches, int32_t updateStart) {
    return switches.checkAndQuit || (!switches.doNotCheck && updateStart != 0);
}

QAction* CTessarineDlg::Action(int commandId) const {
    auto it = actions_.find(commandId);
    return it == actions_.end() ? nullptr : it->second;
}

void CTessarineDlg::OnCommand(int id) {
    if (closing_)
        return;
    switch (id) {
    case ID_SUBSCRIBE: OnSubscribe(); break;
    case ID_CHECK_NEW_ITEMS: OnCheckForNewItems(); break;
    case ID_SETTINGS: OnSettings(); break;
    case ID_SET_BASE_DIRECTORY: OnSetBaseDirectory(); break;
    case ID_ABOUT:
    case IDM_ABOUTBOX: OnAbout(); break;
    case ID_QUIT_COMMAND: OnQuit(); break;
    case ID_REMOVE_PODCAST: OnRemovePodcast(); break;
    case ID_UPDATE_THIS_PODCAST: OnUpdateThisPodcast(); break;
    case ID_OPEN_PODCAST_FOLDER: OnOpenPodcastFolder(); break;
    case ID_OPEN_BASE_DIRECTORY: OnOpenBaseDirectory(); break;
    case ID_INFORMATION: OnInformation(); break;
    default: break;
    }
}

void CTessarineDlg::PostCommand(int commandId) {
    QMetaObject::invokeMethod(
        this, [this, commandId] { OnCommand(commandId); }, Qt::QueuedConnection);
}

template <typename F> void CTessarineDlg::OnGuiThread(F&& call) {
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, &call] {
            ++servingWorker_;
            call();
            --servingWorker_;
        },
        Qt::BlockingQueuedConnection);
}

// ---- The subscription list ----

SubscriptionPtr CTessarineDlg::AddSubscription(const std::string& url, const std::string& name) {
    SubscriptionPtr record;
    size_t row = 0;
    std::string shownName;
    {
        std::lock_guard lock(model_.mutex);
        record = model_.subscriptions.Append(url, name);
        if (record) {
            row = model_.subscriptions.Size() - 1;
            shownName = record->name;
        }
    }
    if (!record) {
        ShowMessageBox(this, QMessageBox::Critical,
                       FromUtf8(FormatResString(IDS_DUPLICATE_URL, url)));
        return nullptr;
    }
    subscriptionList_->Model()->InsertRow(static_cast<int>(row), {FromUtf8(shownName)});
    return record;
}

void CTessarineDlg::RefreshSubscriptionRows() {
    OnGuiThread([this] {
        if (closing_)
            return;
        // Every row is given its three texts; the list announces only those
        // that differ from what it shows.
        const Language language = CurrentLanguage();
        std::vector<QStringList> rows;
        {
            std::lock_guard lock(model_.mutex);
            const auto& items = model_.subscriptions.Items();
            shownSubscriptions_.resize(items.size());
            rows.reserve(items.size());
            for (size_t i = 0; i < items.size(); ++i) {
                const Subscription& s = *items[i];
                ShownSubscription& shown = shownSubscriptions_[i];
                if (shown.cells.isEmpty() || shown.name != s.name ||
                    !(shown.lastChecked == s.lastChecked) || shown.status != s.status ||
                    shown.language != language)
                    shown = {s.name, s.lastChecked, s.status, language,
                             {FromUtf8(s.name), FromUtf8(s.lastChecked.FormatShown()),
                              FromUtf8(StatusText(s.status))}};
                rows.push_back(shown.cells);
            }
        }
        subscriptionList_->Model()->SetRows(rows);
    });
}

SubscriptionPtr CTessarineDlg::GetSelectedSubscription() const {
    const int mark = subscriptionList_->SelectionMark();
    if (mark < 0)
        return nullptr;
    std::lock_guard lock(model_.mutex);
    return model_.subscriptions.At(mark);
}

void CTessarineDlg::OnRemovePodcast() {
    const SubscriptionPtr record = GetSelectedSubscription();
    if (!record) {
        ShowMessageBox(this, QMessageBox::Critical, Text(IDS_SELECT_FEED_FIRST));
        return;
    }
    const int row = subscriptionList_->SelectionMark();
    {
        std::lock_guard lock(model_.mutex);
        model_.subscriptions.Remove(record);
    }
    subscriptionList_->Model()->RemoveRow(row);
    RefreshSubscriptionRows();
    model_.SaveSettings();
}

// ---- The download list ----

// The worker's changes of the download list are not waited for: a transfer
// or a check that queues thousands of enclosures would otherwise wait for a
// layout and a repaint of the list after every single row. They are applied
// in the order they were made, all that have arrived at once, and always
// before any later call that the worker waits for (a message box), since
// those are carried over to the GUI thread behind them.
void CTessarineDlg::InsertDownloadRow(size_t row, const DownloadRow& cells) {
    ChangeDownloadList({static_cast<int>(row), -1,
                        {FromUtf8(cells[0]), FromUtf8(cells[1]), FromUtf8(cells[2]),
                         FromUtf8(cells[3])}});
}

void CTessarineDlg::SetDownloadCell(size_t row, DownloadColumn column, const std::string& text) {
    ChangeDownloadList({static_cast<int>(row), static_cast<int>(column), {FromUtf8(text)}});
}

ReportListView* CTessarineDlg::DownloadList() const {
    if (QThread::currentThread() == thread())
        ApplyDownloadListChanges();
    return downloadList_;
}

void CTessarineDlg::ChangeDownloadList(DownloadListChange change) {
    bool first;
    {
        std::lock_guard lock(downloadChangesMutex_);
        first = downloadChanges_.empty();
        downloadChanges_.push_back(std::move(change));
    }
    if (QThread::currentThread() == thread())
        ApplyDownloadListChanges();
    else if (first)
        QMetaObject::invokeMethod(this, [this] { ApplyDownloadListChanges(); },
                                  Qt::QueuedConnection);
}

void CTessarineDlg::ApplyDownloadListChanges() const {
    std::vector<DownloadListChange> changes;
    {
        std::lock_guard lock(downloadChangesMutex_);
        changes.swap(downloadChanges_);
    }
    if (changes.empty() || closing_)
        return;
    ReportListModel* list = downloadList_->Model();
    for (size_t i = 0; i < changes.size();) {
        if (changes[i].column >= 0) {
            list->SetCell(changes[i].row, changes[i].column, changes[i].cells.value(0));
            ++i;
            continue;
        }
        // Rows appended one after the other go in together.
        const int first = changes[i].row;
        std::vector<QStringList> rows;
        while (i < changes.size() && changes[i].column < 0 &&
               changes[i].row == first + static_cast<int>(rows.size()))
            rows.push_back(std::move(changes[i++].cells));
        list->InsertRows(first, std::move(rows));
    }
}

void CTessarineDlg::ShowError(const std::string& message) {
    OnGuiThread([&] {
        if (closing_)
            return;
        ShowMessageBox(this, QMessageBox::Critical, FromUtf8(message));
    });
}

bool CTessarineDlg::GetSelectedDownload(DownloadEntry& out) const {
    const int mark = downloadList_->SelectionMark();
    if (mark < 0)
        return false;
    std::lock_guard lock(model_.mutex);
    const DownloadEntry* entry = model_.downloads.At(mark);
    if (entry == nullptr)
        return false;
    out = *entry;
    return true;
}

void CTessarineDlg::OnDownloadDoubleClick() {
    DownloadEntry entry;
    if (!GetSelectedDownload(entry))
        return;
    std::string base;
    {
        std::lock_guard lock(model_.mutex);
        base = model_.baseDirectory;
    }
    const std::string path = DownloadTargetPath(base, entry);
    OpenWithDesktop(QUrl::fromLocalFile(QFileInfo(FromUtf8(path)).absoluteFilePath()));
}

// ---- Commands ----

void CTessarineDlg::OnCheckForNewItems() { engine_->OnCheckForNewItems(); }

void CTessarineDlg::OnUpdateThisPodcast() { engine_->OnUpdateThisPodcast(GetSelectedSubscription()); }

void CTessarineDlg::OnSubscribe() {
    TessarineAddFeedDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Saved at once: whatever the check then does, the subscription is kept.
    if (AddSubscription(ToUtf8(dialog.feedUrl), ""))
        model_.SaveSettings();
    engine_->RequestCycle();
}

void CTessarineDlg::OnSettings() {
    OptionSet options;
    {
        std::lock_guard lock(model_.mutex);
        options = model_.options;
    }
    TessarineOptions dialog(this);
    if (dialog.EditOptions(options) != QDialog::Accepted)
        return;
    {
        std::lock_guard lock(model_.mutex);
        model_.options.updateStart = options.updateStart;
        model_.options.quitComplete = options.quitComplete;
    }
    model_.SaveSettings();
    ApplyAutostartChoice(options, *autostart_, programPath_);
    std::lock_guard lock(model_.mutex);
    model_.options.autostart = options.autostart;
}

void CTessarineDlg::OnSetBaseDirectory() {
    if (subscriptionList_->Model()->rowCount() > 0 &&
        ShowMessageBox(this, QMessageBox::Question, Text(IDS_BASEDIR_WARNING),
                       QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    const QString chosen = ChooseFolder(this, Text(IDS_BROWSE_PROMPT));
    if (chosen.isEmpty())
        return;
    const std::string base = WithTrailingSeparator(ToUtf8(QDir::toNativeSeparators(chosen)));
    // The new folder's lock first: a folder another program uses is refused.
    if (singleInstance_ != nullptr && !singleInstance_->MoveTo(base)) {
        ShowMessageBox(this, QMessageBox::Critical,
                       FromUtf8(FormatResString(IDS_BASEDIR_IN_USE, base)));
        return;
    }
    WriteBaseDirectoryToProfile(FromUtf8(base));
    // No save from the emptied list until the new base's file is loaded: it
    // would overwrite that file with a partial list (or none at all).
    const SharedModel::SaveHold hold(model_);
    {
        // Records the worker still holds stay alive until it lets go.
        std::lock_guard lock(model_.mutex);
        model_.baseDirectory = base;
        model_.subscriptions.Clear();
    }
    subscriptionList_->Model()->Clear();
    if (model_.LoadSettings([this](const std::string& url, const std::string& name) {
            return AddSubscription(url, name);
        }))
        RefreshSubscriptionRows();
    ReportUnreadableSettings();
}

void CTessarineDlg::OnOpenBaseDirectory() {
    std::string base;
    {
        std::lock_guard lock(model_.mutex);
        base = model_.baseDirectory;
    }
    const QString path = base.empty() ? QDir::currentPath() : FromUtf8(base);
    OpenWithDesktop(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

void CTessarineDlg::OnOpenPodcastFolder() {
    const SubscriptionPtr record = GetSelectedSubscription();
    if (!record)
        return;
    std::string path;
    {
        std::lock_guard lock(model_.mutex);
        path = FeedFolderPath(model_.baseDirectory, record->name);
    }
    const QString folder = path.empty() ? QDir::currentPath() : FromUtf8(path);
    OpenWithDesktop(QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath()));
}

void CTessarineDlg::OnSubscriptionDoubleClick() { OnOpenPodcastFolder(); }

void CTessarineDlg::OnInformation() {
    TessarineInfo dialog(this);
    dialog.exec();
}

void CTessarineDlg::OnAbout() {
    CAboutDlg dialog(this);
    dialog.exec();
}

void CTessarineDlg::OnQuit() {
    if (closing_)
        return;
    closing_ = true;
    // Cancel the transfer under way, close the message boxes, and wait for
    // the worker, serving the calls it may be waiting in (they return at once
    // while closing).
    engine_->BeginShutdown();
    CloseOpenMessageBoxes();
    FinishQuit();
}

void CTessarineDlg::FinishQuit() {
    if (servingWorker_ > 0) {
        // Quit came from inside a call the worker waits on (a message box it
        // showed): that call must return first, so wait from the event loop.
        QTimer::singleShot(10, this, [this] { FinishQuit(); });
        return;
    }
    while (!engine_->WaitForIdle(std::chrono::milliseconds(10)))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    engine_->Shutdown();
    if (ended_)
        return;
    ended_ = true;
    hide();
    emit ended();
}

void CTessarineDlg::ReportUnreadableSettings() {
    std::optional<std::string> copy;
    std::string base;
    {
        std::lock_guard lock(model_.mutex);
        copy = model_.unreadableSettingsCopy;
        base = model_.baseDirectory;
    }
    if (!copy)
        return;
    const QString text =
        FromUtf8(copy->empty() ? FormatResString(IDS_SETTINGS_NOT_KEPT, SettingsFilePath(base))
                               : FormatResString(IDS_SETTINGS_KEPT, *copy));
    // Posted: at start-up the window is shown first, and an unattended run's
    // check is not held up by the box (ending the program closes it).
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (!closing_)
                ShowMessageBox(this, QMessageBox::Critical, text);
        },
        Qt::QueuedConnection);
}

void CTessarineDlg::OnContextMenu(QPoint globalPos, bool fromKeyboard) {
    const QRect area(subscriptionList_->mapToGlobal(QPoint(0, 0)), subscriptionList_->size());
    if (fromKeyboard)
        globalPos = area.topLeft();
    if (!area.contains(globalPos))
        return;
    if (subscriptionList_->SelectionMark() == -1)
        return;
    contextMenu_->popup(globalPos);
}

// ---- The splitter bar ----

void CTessarineDlg::OnSplitterMoved(const SplitterNotify& notify) { ShiftListBoundary(notify.delta); }

void CTessarineDlg::ShiftListBoundary(int delta) {
    CSplitterBar::AdjustHeight(subscriptionList_, delta, CSplitterBar::AdjustBottom);
    CSplitterBar::AdjustHeight(downloadList_, -delta, CSplitterBar::AdjustTop);
    CSplitterBar::OffsetWindow(downloadsLabel_, delta);
    CSplitterBar::OffsetWindow(placeholder_, delta);
    for (int id : {IDC_DOWNLOAD_LIST, IDC_SUBSCRIPTION_LIST, IDC_LABEL_SUBSCRIBED,
                   IDC_LABEL_DOWNLOADS, IDC_SPLITTER})
        UnanchorControl(id);
    AnchorControls();
    PlaceSplitterBar();
    update();
}

void CTessarineDlg::PlaceSplitterBar() {
    if (splitter_ == nullptr)
        return;
    // The bar lies over the placeholder, 4 pixels inside its top and bottom.
    const QRect area = placeholder_->geometry();
    splitter_->setGeometry(area.adjusted(0, 4, 0, -4));
}

void CTessarineDlg::UpdateSplitterRange() {
    if (splitter_ == nullptr)
        return;
    // The bar's centre may go from 100 pixels below the top of the client
    // area down to the window's height less 100, in client terms.
    const int height = frameGeometry().height();
    if (height > 0) {
        const int top = ClientRect().top();
        splitter_->SetRange(top + 100, top + height - 100);
        splitter_->update();
    }
}

// ---- Events ----

void CTessarineDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    OnQuit();
}

void CTessarineDlg::contextMenuEvent(QContextMenuEvent* event) {
    OnContextMenu(event->globalPos(), event->reason() == QContextMenuEvent::Keyboard);
    event->accept();
}

bool CTessarineDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // The lists would take Ctrl+A for selecting all; the window's
        // accelerators win wherever the focus is.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_A || key->key() == Qt::Key_U || key->key() == Qt::Key_Q)) {
            event->ignore();
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        // Handled once the list has taken the click, like a notification:
        // the handlers act on the selection mark the click leaves.
        if (watched == subscriptionList_->viewport())
            QMetaObject::invokeMethod(this, [this] { OnSubscriptionDoubleClick(); },
                                      Qt::QueuedConnection);
        else if (watched == downloadList_->viewport())
            QMetaObject::invokeMethod(this, [this] { OnDownloadDoubleClick(); },
                                      Qt::QueuedConnection);
    }
    return CAnchoredDialog::eventFilter(watched, event);
}

void CTessarineDlg::moveEvent(QMoveEvent* event) {
    CAnchoredDialog::moveEvent(event);
    UpdateSplitterRange();
}

void CTessarineDlg::resizeEvent(QResizeEvent* event) {
    if (menuBar_ != nullptr)
        menuBar_->setGeometry(0, 0, width(), ClientRect().top());
    CAnchoredDialog::resizeEvent(event);
    PlaceSplitterBar();
    UpdateSplitterRange();
}

} // namespace tessarine
