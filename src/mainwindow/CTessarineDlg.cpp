#include "mainwindow/CTessarineDlg.h"

#include "controls/CSplitterBar.h"
#include "core/net/UrlReference.h"
#include "core/util/Strings.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/TessarineAddFeedDlg.h"
#include "dialogs/TessarineInfo.h"
#include "dialogs/TessarineOptions.h"
#include "display/DisplayText.h"
#include "mainwindow/DownloadCommands.h"
#include "mainwindow/DownloadTableModel.h"
#include "mainwindow/FindPodcastsWindow.h"
#include "mainwindow/MainMenus.h"
#include "mainwindow/MainWindowLayout.h"
#include "mainwindow/MessageQueue.h"
#include "mainwindow/MessagesWindow.h"
#include "mainwindow/QueuedEngineView.h"
#include "mainwindow/ReportListView.h"
#include "mainwindow/SubscriptionFiles.h"
#include "mainwindow/SubscriptionTableModel.h"
#include "platform/Autostart.h"
#include "platform/CacheFolder.h"
#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "platform/Profile.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>

#include <algorithm>


// The icon is compiled into the dialogs' library; a static library's
// resources must be registered by name.
static void InitResources() { Q_INIT_RESOURCE(tessarine); }

namespace tessarine {
namespace {

QString Text(int id) { return QString::fromStdString(LoadResString(id)); }
QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// `outer` moved and made smaller as far as needed to lie wholly on the
// available area of the screen it is mostly on (the primary screen when on
// none, as when its screen is gone).
QRect OnScreen(QRect outer) {
    QScreen* screen = QGuiApplication::primaryScreen();
    int covered = 0;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect common = s->availableGeometry().intersected(outer);
        if (common.width() * common.height() > covered) {
            covered = common.width() * common.height();
            screen = s;
        }
    }
    if (screen == nullptr)
        return outer;
    const QRect area = screen->availableGeometry();
    outer.setSize(outer.size().boundedTo(area.size()));
    outer.moveLeft(std::clamp(outer.left(), area.left(), area.left() + area.width() - outer.width()));
    outer.moveTop(std::clamp(outer.top(), area.top(), area.top() + area.height() - outer.height()));
    return outer;
}

ListState ListStateOf(const ReportListView* list) {
    ListState state;
    for (int i = 0; i < list->header()->count(); ++i)
        state.widths.append(list->header()->sectionSize(i));
    if (list->isSortingEnabled()) {
        state.sortColumn = list->header()->sortIndicatorSection();
        state.descending = list->header()->sortIndicatorOrder() == Qt::DescendingOrder;
    }
    return state;
}

void ApplyListState(ReportListView* list, const ListState& state) {
    const int count = std::min(static_cast<int>(state.widths.size()), list->header()->count());
    for (int i = 0; i < count; ++i)
        list->setColumnWidth(i, state.widths[i]);
    if (list->isSortingEnabled() && state.sortColumn < list->header()->count())
        list->sortByColumn(state.sortColumn,
                           state.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

// Opens a folder or file of the library; the empty path is the current folder.
void OpenPath(const std::string& path) {
    const QString local = path.empty() ? QDir::currentPath() : FromUtf8(path);
    OpenWithDesktop(QUrl::fromLocalFile(QFileInfo(local).absoluteFilePath()));
}

} // namespace

CTessarineDlg::CTessarineDlg(PodcastLibrary& library, QueuedEngineView& events, QWidget* parent)
    : CAnchoredDialog(parent), library_(library), autostart_(std::make_unique<Autostart>()),
      news_(Notifier::Create()) {
    InitResources();
    setWindowTitle(Text(TXT_CAPTION));
    setWindowIcon(QIcon(":/tessarine.png"));
    menus_ = new MainMenus(this, [this](int id) { OnCommand(id); });
    messages_ = new MessageQueue(this);
    connect(messages_, &MessageQueue::idle, this, &CTessarineDlg::QuitWhenMessagesRead);
    messagesWindow_ = new MessagesWindow(this);
    connect(messagesWindow_, &MessagesWindow::closed, this, &CTessarineDlg::QuitWhenMessagesRead);
    CreateControls();

    connect(&events, &QueuedEngineView::subscriptionsChanged, subscriptionRows_,
            &SubscriptionTableModel::Sync);
    connect(&events, &QueuedEngineView::subscriptionsChanged, this, [this] {
        if (findWindow_ != nullptr)
            findWindow_->RefreshMarks();
    });
    connect(&events, &QueuedEngineView::downloadsChanged, this,
            &CTessarineDlg::OnDownloadsChanged);
    connect(&events, &QueuedEngineView::messagePosted, this, &CTessarineDlg::OnMessage);
    connect(&events, &QueuedEngineView::cyclesEnded, this, &CTessarineDlg::OnCyclesEnded);
    // A click on the news of new episodes brings the window to the front.
    news_.SetActivation([this] {
        if (HasEnded())
            return;
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        show();
        raise();
        activateWindow();
    });
}

// The library outlives the window and ends its worker itself.
CTessarineDlg::~CTessarineDlg() = default;

void CTessarineDlg::SetNotifier(std::unique_ptr<Notifier> notifier) {
    news_.SetNotifier(std::move(notifier));
}

CSplitterBar* CTessarineDlg::SplitterBar() const { return layout_->Bar(); }

void CTessarineDlg::CreateControls() {
    subscriptionRows_ = new SubscriptionTableModel(library_, this);
    downloadRows_ = new DownloadTableModel(this);
    layout_ = std::make_unique<MainWindowLayout>(*this, menus_->MenuBar(), subscriptionRows_,
                                                 downloadRows_);
    templateSize_ = size();
    subscriptionList_ = layout_->SubscriptionList();
    downloadList_ = layout_->DownloadList();
    downloads_ = new DownloadCommands(this, library_, downloadList_, downloadRows_);
    menus_->SetDownloadContextMenu([this](QPoint globalPos, bool fromKeyboard) {
        if (fromKeyboard)
            downloads_->PopupAtRow(downloads_->CurrentRow());
        else
            downloads_->PopupAt(globalPos);
    });
    menus_->AttachLists(subscriptionList_, downloadList_);
    for (ReportListView* list : {subscriptionList_, downloadList_}) {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
    }
}

void CTessarineDlg::OnInitDialog() {
    // The base directory start-up claimed (see CTessarineApp::RunWindow).
    const LoadResult loaded = library_.Open();
    subscriptionRows_->Sync();
    ReportLoad(loaded);
    if (library_.StartupCheckWanted())
        PostCommand(ID_CHECK_NEW_ITEMS);

    programPath_ = QCoreApplication::applicationFilePath();
    OptionSet options = library_.Options();
    ReadAutostartState(options, *autostart_);
    library_.SetAutostartState(options.autostart, options.runKeyOpen);
    layout_->CreateBar();
    RestoreWindowState();
}

void CTessarineDlg::ShowAsStarted() {
    if (library_.Switches().checkAndQuit)
        showMinimized();
    else if (startMaximized_)
        showMaximized();
    else
        show();
}

void CTessarineDlg::RestoreWindowState() {
    const WindowState state = ReadWindowStateFromProfile();
    ApplyListState(subscriptionList_, state.subscriptions);
    ApplyListState(downloadList_, state.downloads);
    if (state.geometry) {
        // Never smaller than the layout's size, and wholly on a screen there
        // is now: the window may have been left on a larger or a removed one.
        const QSize inner = state.geometry->size().expandedTo(templateSize_);
        const QRect outer = OnScreen(QRect(state.geometry->topLeft(), inner + state.frame));
        resize((outer.size() - state.frame).expandedTo(QSize(1, 1)));
        move(outer.topLeft());
        // Laid out for that size now: the splitter below re-anchors the
        // controls where they are.
        ApplyLayout();
        layout_->WindowGeometryChanged();
    }
    if (state.splitterShare)
        layout_->SetSplitterShare(*state.splitterShare);
    startMaximized_ = state.maximized;
}

void CTessarineDlg::SaveWindowState() const {
    WindowState state;
    // What the frame adds, and where it lies when not maximised.
    const QPoint frameOffset = geometry().topLeft() - pos();
    state.frame = frameGeometry().size() - size();
    if (isMaximized())
        state.geometry = QRect(normalGeometry().topLeft() - frameOffset, normalGeometry().size());
    else
        state.geometry = QRect(pos(), size());
    if (!state.geometry->isValid())
        state.geometry.reset();
    state.maximized = isMaximized();
    state.splitterShare = layout_->SplitterShare();
    state.subscriptions = ListStateOf(subscriptionList_);
    state.downloads = ListStateOf(downloadList_);
    WriteWindowStateToProfile(state);
}

QMenu* CTessarineDlg::ContextMenu() const { return menus_->ContextMenu(); }

QAction* CTessarineDlg::Action(int commandId) const { return menus_->Action(commandId); }

void CTessarineDlg::OnCommand(int id) {
    if (closing_)
        return;
    switch (id) {
    case ID_SUBSCRIBE: OnSubscribe(); break;
    case ID_FIND_PODCASTS: OnFindPodcasts(); break;
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
    case ID_IMPORT_SUBSCRIPTIONS: OnImportSubscriptions(); break;
    case ID_EXPORT_SUBSCRIPTIONS: OnExportSubscriptions(); break;
    default: break;
    }
}

void CTessarineDlg::PostCommand(int commandId) {
    QMetaObject::invokeMethod(
        this, [this, commandId] { OnCommand(commandId); }, Qt::QueuedConnection);
}

// ---- The engine's events ----

void CTessarineDlg::OnDownloadsChanged(const std::vector<DownloadEvent>& events) {
    if (closing_)
        return;
    downloadRows_->Apply(events);
    news_.Apply(events);
}

void CTessarineDlg::OnMessage(const Message& message) {
    // A notice (what the program did for the user) goes into the same list
    // as the errors do, each with its reason.
    if (!closing_)
        messagesWindow_->Add(message);
}

void CTessarineDlg::OnCyclesEnded(bool quit) {
    if (closing_)
        return;
    news_.Report(*downloadRows_);
    if (!quit)
        return;
    quitDue_ = true;
    QuitWhenMessagesRead();
}

void CTessarineDlg::QuitWhenMessagesRead() {
    // A user at the desk still reads every message before the program ends.
    if (quitDue_ && messages_->IsIdle() && !messagesWindow_->isVisible())
        OnQuit();
}

// ---- Commands ----

SubscriptionPtr CTessarineDlg::GetSelectedSubscription() const {
    return subscriptionRows_->RecordAt(subscriptionList_->SelectionMark());
}

void CTessarineDlg::ReportLoad(const LoadResult& loaded) {
    ShowDuplicates(this, loaded);
    const QString text = UnreadableSettingsText(loaded, library_.BaseDirectory());
    if (text.isEmpty())
        return;
    // An unattended run that started from a damaged file ends with a failure.
    if (library_.Switches().checkAndQuit)
        exitStatus_ = 1;
    // Posted: at start-up the window is shown first. A box that waits for
    // no one, so that an unattended run's check goes on meanwhile and the
    // program ends only once the user has read it.
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (!closing_)
                messages_->Show(text);
        },
        Qt::QueuedConnection);
}

void CTessarineDlg::OnCheckForNewItems() {
    // An unattended run with nothing to check has nothing to wait for: it
    // ends as it would after a cycle (once the messages are read).
    if (!library_.CheckForNewItems() && library_.Switches().checkAndQuit &&
        !library_.IsBusy()) {
        quitDue_ = true;
        QuitWhenMessagesRead();
    }
}

void CTessarineDlg::OnUpdateThisPodcast() { library_.UpdateNow(GetSelectedSubscription()); }

void CTessarineDlg::OnSubscribe() {
    TessarineAddFeedDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        SubscribeTo(dialog.feedUrl.toStdString(), this);
}

bool CTessarineDlg::SubscribeTo(const std::string& typed, QWidget* owner) {
    using Outcome = PodcastLibrary::Subscribed::Outcome;
    const PodcastLibrary::Subscribed added = library_.Subscribe(typed);
    if (added.outcome == Outcome::Added) {
        subscriptionRows_->Sync();
        return true;
    }
    ShowMessageBox(owner, QMessageBox::Critical,
                   FromUtf8(FormatResString(added.outcome == Outcome::NotAFeedAddress
                                                ? IDS_NOT_A_FEED_ADDRESS
                                                : IDS_DUPLICATE_URL,
                                            added.url)));
    return false;
}

void CTessarineDlg::OnFindPodcasts() {
    if (findWindow_ == nullptr) {
        FindPodcastsWindow::Options options;
        // Thumbnails of the artwork can be thrown away: they go with the cache.
        const std::string cache = ProgramCacheFolder();
        if (!cache.empty())
            options.artworkFolder = cache + "/artwork";
        findWindow_ = new FindPodcastsWindow(this, library_, std::move(options),
                                             [this](const std::string& feedUrl) {
                                                 return SubscribeTo(feedUrl, findWindow_);
                                             });
    }
    findWindow_->Open();
}

void CTessarineDlg::OnRemovePodcast() {
    const SubscriptionPtr record = GetSelectedSubscription();
    if (!record) {
        ShowMessageBox(this, QMessageBox::Critical, Text(IDS_SELECT_FEED_FIRST));
        return;
    }
    library_.Remove(record);
    subscriptionRows_->Sync();
}

void CTessarineDlg::OnImportSubscriptions() {
    if (const std::optional<OpmlImportCounts> counts = ImportSubscriptions(this, library_)) {
        subscriptionRows_->Sync();
        ShowImportCounts(this, *counts);
    }
}

void CTessarineDlg::OnExportSubscriptions() { ExportSubscriptions(this, library_); }

void CTessarineDlg::OnSettings() {
    OptionSet options = library_.Options();
    TessarineOptions dialog(this);
    if (dialog.EditOptions(options) != QDialog::Accepted)
        return;
    library_.SetBehaviourOptions(options.updateStart, options.quitComplete);
    ApplyAutostartChoice(options, *autostart_, programPath_);
    library_.SetAutostartState(options.autostart, options.runKeyOpen);
}

void CTessarineDlg::OnSetBaseDirectory() {
    const std::optional<LoadResult> loaded = ChangeBaseDirectory(
        this, library_, subscriptionRows_->rowCount() > 0, singleInstance_);
    if (!loaded)
        return;
    subscriptionRows_->Sync();
    ReportLoad(*loaded);
}

void CTessarineDlg::OnOpenBaseDirectory() { OpenPath(library_.BaseDirectory()); }

void CTessarineDlg::OnOpenPodcastFolder() {
    if (const SubscriptionPtr record = GetSelectedSubscription())
        OpenPath(library_.FolderOf(record));
}

void CTessarineDlg::OnDownloadDoubleClick() {
    downloads_->OpenRow(downloads_->CurrentRow());
}

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
    // A window left minimised (an unattended run) keeps what was stored.
    if (!isMinimized())
        SaveWindowState();
    // The worker never waits for this thread, so it ends as soon as the
    // transfer under way has stopped; events still on their way are dropped.
    messages_->CloseAll();
    messagesWindow_->close();
    if (findWindow_ != nullptr)
        findWindow_->close();
    library_.Shutdown();
    ended_ = true;
    hide();
    emit ended();
}

void CTessarineDlg::OnContextMenu(QPoint globalPos, bool fromKeyboard) {
    menus_->PopupContextMenu(globalPos, fromKeyboard);
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
    if (event->type() == QEvent::KeyPress &&
        (watched == subscriptionList_ || watched == downloadList_) &&
        OnListKey(static_cast<ReportListView*>(watched), *static_cast<QKeyEvent*>(event)))
        return true;
    if (event->type() == QEvent::MouseButtonDblClick) {
        // Handled once the list has taken the click, like a notification:
        // the handlers act on the selection mark the click leaves.
        if (watched == subscriptionList_->viewport())
            QMetaObject::invokeMethod(this, [this] { OnOpenPodcastFolder(); },
                                      Qt::QueuedConnection);
        else if (watched == downloadList_->viewport())
            QMetaObject::invokeMethod(this, [this] { OnDownloadDoubleClick(); },
                                      Qt::QueuedConnection);
    }
    return CAnchoredDialog::eventFilter(watched, event);
}

bool CTessarineDlg::OnListKey(ReportListView* list, const QKeyEvent& key) {
    // Keys without modifiers on a selected row: Enter does what a
    // double-click does, Delete removes a subscription as the context
    // menu's "Remove" does. Everything else is the list's.
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || list->SelectionMark() < 0)
        return false;
    const bool subscriptions = list == subscriptionList_;
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (subscriptions)
            OnOpenPodcastFolder();
        else
            OnDownloadDoubleClick();
        return true;
    case Qt::Key_Delete:
        if (!subscriptions)
            return false;
        OnCommand(ID_REMOVE_PODCAST);
        return true;
    default: return false;
    }
}

void CTessarineDlg::moveEvent(QMoveEvent* event) {
    CAnchoredDialog::moveEvent(event);
    if (layout_ != nullptr)
        layout_->WindowGeometryChanged();
}

void CTessarineDlg::showEvent(QShowEvent* event) {
    CAnchoredDialog::showEvent(event);
    // A window shown larger (as it was left, or maximised) can still be made
    // as small as the layout's size.
    setMinimumSize(templateSize_);
}

void CTessarineDlg::resizeEvent(QResizeEvent* event) {
    CAnchoredDialog::resizeEvent(event);
    if (layout_ != nullptr)
        layout_->WindowGeometryChanged();
}

} // namespace tessarine
