#include "mainwindow/CTessarineDlg.h"

#include "controls/CSplitterBar.h"
#include "core/feeds/FeedLink.h"
#include "core/net/UrlReference.h"
#include "core/util/OleDateTime.h"
#include "core/util/Strings.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/PodcastSettingsDlg.h"
#include "dialogs/TessarineAddFeedDlg.h"
#include "dialogs/TessarineInfo.h"
#include "dialogs/TessarineOptions.h"
#include "display/DisplayText.h"
#include "mainwindow/DownloadCommands.h"
#include "mainwindow/DownloadTableModel.h"
#include "mainwindow/EpisodesWindow.h"
#include "mainwindow/FindPodcastsWindow.h"
#include "mainwindow/MainMenus.h"
#include "mainwindow/MainWindowLayout.h"
#include "mainwindow/MessageQueue.h"
#include "mainwindow/MessagesWindow.h"
#include "mainwindow/PeriodicCheck.h"
#include "mainwindow/QueuedEngineView.h"
#include "mainwindow/ReportListView.h"
#include "mainwindow/SubscriptionFiles.h"
#include "mainwindow/SubscriptionTableModel.h"
#include "mainwindow/TrayIcon.h"
#include "platform/Autostart.h"
#include "platform/CacheFolder.h"
#include "platform/Desktop.h"
#include "platform/Notifier.h"
#include "platform/Profile.h"
#include "platform/SingleInstance.h"
#include "platform/SystemTray.h"

#include <QAction>
#include <QApplication>
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
    connect(&events, &QueuedEngineView::downloadsChanged, this,
            &CTessarineDlg::OnDownloadsChanged);
    connect(&events, &QueuedEngineView::messagePosted, this, &CTessarineDlg::OnMessage);
    connect(&events, &QueuedEngineView::cyclesEnded, this, &CTessarineDlg::OnCyclesEnded);
    // The Episodes windows and Find Podcasts' marks follow the library too.
    connect(&events, &QueuedEngineView::episodesChanged, this, [this](const std::string& url) {
        ForEachEpisodesWindow([&](EpisodesWindow& window) { window.OnEpisodesChanged(url); });
    });
    connect(&events, &QueuedEngineView::subscriptionsChanged, this, [this] {
        ForEachEpisodesWindow([](EpisodesWindow& window) { window.OnSubscriptionsChanged(); });
        if (findWindow_ != nullptr)
            findWindow_->RefreshMarks();
    });
    news_.SetActivation(
        [this](const std::vector<std::string>& podcasts) { OnNewsChosen(podcasts); });

    // Keeping watch is for a window at the desk: an unattended run only
    // checks once and ends, as it always did.
    periodic_ = new PeriodicCheck(
        library_.TimeSource(), [this] { return library_.IsBusy(); },
        [this] { OnCommand(ID_CHECK_NEW_ITEMS); }, this);
    tray_ = new TrayIcon(
        this, [this] { ToggleFromTray(); }, [this](int id) { OnCommand(id); },
        !library_.Switches().checkAndQuit && HasSystemTray());
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

    // Until a check runs here, the tray tells the newest date the list shows.
    OleDateTime newest;
    for (const SubscriptionSnapshot& row : library_.SubscriptionRows())
        if (row.values.lastChecked.IsValid() &&
            (!newest.IsValid() || row.values.lastChecked.Value() > newest.Value()))
            newest = row.values.lastChecked;
    lastCheckShown_ = newest.IsValid() ? newest.FormatShown() : std::string();
    RefreshTrayToolTip();
    WatchOptionsChanged();
}

void CTessarineDlg::WatchOptionsChanged() {
    const WatchOptions options = library_.Switches().checkAndQuit ? WatchOptions{}
                                                                  : ReadWatchOptionsFromProfile();
    periodic_->SetEveryHours(options.checkEveryHours);
    keepInTray_ = options.keepInTray;
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
    case ID_SHOW_EPISODES: OnShowEpisodes(); break;
    case ID_OPEN_BASE_DIRECTORY: OnOpenBaseDirectory(); break;
    case ID_INFORMATION: OnInformation(); break;
    case ID_IMPORT_SUBSCRIPTIONS: OnImportSubscriptions(); break;
    case ID_EXPORT_SUBSCRIPTIONS: OnExportSubscriptions(); break;
    case ID_PODCAST_SETTINGS: OnPodcastSettings(); break;
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
    ForEachEpisodesWindow([&](EpisodesWindow& window) { window.OnDownloadsChanged(events); });
    RefreshTrayToolTip();
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

// ---- Keeping watch ----

void CTessarineDlg::ShowInFront() {
    if (HasEnded())
        return;
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void CTessarineDlg::ToggleFromTray() {
    if (closing_)
        return;
    // A dialog that waits for an answer keeps the window in view.
    if (!isVisible() || isMinimized() || QApplication::activeModalWidget() != nullptr)
        ShowInFront();
    else
        HideIntoTray();
}

void CTessarineDlg::HideIntoTray() {
    // Kept as it is now: the window comes back there, and a quit from the
    // tray finds it hidden.
    if (!isMinimized())
        SaveWindowState();
    hide();
}

void CTessarineDlg::OnNewsChosen(const std::vector<std::string>& podcasts) {
    // The news names podcasts as their downloads do, by their names.
    if (podcasts.size() == 1)
        if (const SubscriptionPtr record = library_.FindPodcast(podcasts.front())) {
            ShowPodcastEpisodes(record);
            return;
        }
    ShowInFront();
}

void CTessarineDlg::ShowPodcastEpisodes(const SubscriptionPtr& record) {
    ShowInFront();
    for (int row = 0; row < subscriptionRows_->rowCount(); ++row)
        if (subscriptionRows_->RecordAt(row) == record) {
            subscriptionList_->SelectRow(row);
            subscriptionList_->scrollTo(subscriptionRows_->index(row, 0));
            break;
        }
    ShowEpisodesOf(record);
}

void CTessarineDlg::ForEachEpisodesWindow(
    const std::function<void(EpisodesWindow&)>& act) const {
    for (const auto& [record, window] : episodeWindows_)
        if (window)
            act(*window);
}

void CTessarineDlg::RefreshTrayToolTip() {
    tray_->SetToolTip(TrayToolTipText(lastCheckShown_, *downloadRows_));
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
    // Whoever asked for it, the next periodic check is counted from now.
    periodic_->CheckBegan();
    lastCheckShown_ = OleDateTime::FromTime(library_.TimeSource().CalendarNow()).FormatShown();
    RefreshTrayToolTip();
    // An unattended run with nothing to check has nothing to wait for: it
    // ends as it would after a cycle (once the messages are read).
    if (!library_.CheckForNewItems() && library_.Switches().checkAndQuit &&
        !library_.IsBusy()) {
        quitDue_ = true;
        QuitWhenMessagesRead();
    }
}

void CTessarineDlg::OnUpdateThisPodcast() { library_.UpdateNow(GetSelectedSubscription()); }

void CTessarineDlg::SetSingleInstance(SingleInstance* instance) {
    if (singleInstance_ != nullptr)
        disconnect(singleInstance_, &SingleInstance::linksReceived, this,
                   &CTessarineDlg::OpenLinks);
    singleInstance_ = instance;
    if (instance != nullptr)
        connect(instance, &SingleInstance::linksReceived, this, &CTessarineDlg::OpenLinks);
}

void CTessarineDlg::OpenLinks(const QStringList& links) {
    if (closing_ || HasEnded())
        return;
    pendingLinks_ += links;
    PostOpenNextLink();
}

void CTessarineDlg::PostOpenNextLink() {
    if (!pendingLinks_.isEmpty())
        QMetaObject::invokeMethod(this, &CTessarineDlg::OpenNextLink, Qt::QueuedConnection);
}

void CTessarineDlg::OpenNextLink() {
    if (closing_ || HasEnded())
        pendingLinks_.clear();
    if (subscribing_ || pendingLinks_.isEmpty())
        return; // the end of the dialog in the way looks again
    const QString link = pendingLinks_.takeFirst();
    const FeedLink feed = FeedOfLink(link.toStdString());
    if (feed.kind == FeedLink::Kind::Address) {
        OnSubscribe(FromUtf8(feed.address));
        return;
    }
    std::string text;
    switch (feed.kind) {
    case FeedLink::Kind::Unreadable:
        text = FormatResString(TXT_CLI_READ_FAILED, feed.path);
        break;
    case FeedLink::Kind::NotAFeed:
        text = FormatResString(TXT_LINK_FILE_NOT_A_FEED, feed.path);
        break;
    case FeedLink::Kind::NamesNoAddress:
        text = FormatResString(TXT_LINK_FILE_NAMES_NO_ADDRESS, feed.path);
        break;
    default:
        text = FormatResString(TXT_LINK_NOT_A_PODCAST_LINK, link.toStdString());
        break;
    }
    subscribing_ = true;
    ShowMessageBox(this, QMessageBox::Warning, FromUtf8(text));
    subscribing_ = false;
    PostOpenNextLink();
}

void CTessarineDlg::OnSubscribe(const QString& address) {
    // One subscribe dialog at a time: links that come meanwhile wait for it.
    if (subscribing_)
        return;
    TessarineAddFeedDlg dialog(this);
    dialog.feedUrl = address;
    subscribing_ = true;
    const int result = dialog.exec();
    subscribing_ = false;
    PostOpenNextLink();
    if (result == QDialog::Accepted)
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
    // Without the episode library the defaults are the built-in ones, shown
    // but not to be changed.
    std::vector<SettingRow> defaults;
    const bool stored =
        library_.SettingsOf(nullptr, defaults) == PodcastLibrary::EpisodeQuery::Done;
    dialog.SetPodcastDefaults(stored ? defaults : ListSettings({}, {}, true), stored);
    const WatchOptions watch = ReadWatchOptionsFromProfile();
    dialog.SetWatchOptions(watch.checkEveryHours, watch.keepInTray);
    if (dialog.EditOptions(options) != QDialog::Accepted)
        return;
    library_.SetBehaviourOptions(options.updateStart, options.quitComplete);
    ApplyAutostartChoice(options, *autostart_, programPath_);
    library_.SetAutostartState(options.autostart, options.runKeyOpen);
    const std::vector<PodcastLibrary::SettingChange> changes = dialog.PodcastDefaultChanges();
    std::string problem;
    if (stored && !changes.empty() &&
        library_.ChangeSettings(nullptr, changes, problem) != PodcastLibrary::SettingsResult::Done)
        ShowMessageBox(this, QMessageBox::Critical, Text(IDS_SETTINGS_NOT_STORED));
    WriteWatchOptionsToProfile({dialog.CheckEveryHours(), dialog.KeepInTray()});
    WatchOptionsChanged();
}

void CTessarineDlg::OnPodcastSettings() {
    const SubscriptionPtr record = GetSelectedSubscription();
    if (!record)
        return;
    PodcastSettingsDlg dialog(library_, record, this);
    dialog.exec();
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

void CTessarineDlg::OnShowEpisodes() {
    if (const SubscriptionPtr record = GetSelectedSubscription())
        ShowEpisodesOf(record);
}

EpisodesWindow* CTessarineDlg::ShowEpisodes(const std::string& url) {
    const SubscriptionPtr record = library_.FindPodcast(url);
    return record ? ShowEpisodesOf(record) : nullptr;
}

EpisodesWindow* CTessarineDlg::EpisodesWindowOf(const SubscriptionPtr& record) const {
    const auto found = episodeWindows_.find(record.get());
    return found == episodeWindows_.end() ? nullptr : found->second.data();
}

EpisodesWindow* CTessarineDlg::ShowEpisodesOf(const SubscriptionPtr& record) {
    if (closing_ || !record)
        return nullptr;
    // Windows closed since are forgotten.
    std::erase_if(episodeWindows_, [](const auto& open) { return open.second.isNull(); });
    EpisodesWindow* window = EpisodesWindowOf(record);
    if (window == nullptr) {
        window = new EpisodesWindow(library_, record, this);
        episodeWindows_[record.get()] = window;
    }
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
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
    // A window left minimised (an unattended run) keeps what was stored,
    // one hidden in the tray what it stored when it went there.
    if (!isMinimized() && isVisible())
        SaveWindowState();
    // The worker never waits for this thread, so it ends as soon as the
    // transfer under way has stopped; events still on their way are dropped.
    messages_->CloseAll();
    messagesWindow_->close();
    ForEachEpisodesWindow([](EpisodesWindow& window) { window.close(); });
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
    // With the tray to come back from, closing may only hide the window.
    if (keepInTray_ && tray_->Icon() != nullptr && !closing_) {
        HideIntoTray();
        return;
    }
    OnQuit();
}

void CTessarineDlg::changeEvent(QEvent* event) {
    CAnchoredDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && tray_ != nullptr)
        tray_->WindowShownOrHidden();
}

void CTessarineDlg::hideEvent(QHideEvent* event) {
    CAnchoredDialog::hideEvent(event);
    if (tray_ != nullptr)
        tray_->WindowShownOrHidden();
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
    // menu's "Remove" does; Ctrl+Enter on a podcast opens its episodes.
    // Everything else is the list's.
    const bool subscriptions = list == subscriptionList_;
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (subscriptions && modifiers == Qt::ControlModifier && list->SelectionMark() >= 0 &&
        (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)) {
        OnShowEpisodes();
        return true;
    }
    if (modifiers != Qt::NoModifier || list->SelectionMark() < 0)
        return false;
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
    if (tray_ != nullptr)
        tray_->WindowShownOrHidden();
}

void CTessarineDlg::resizeEvent(QResizeEvent* event) {
    CAnchoredDialog::resizeEvent(event);
    if (layout_ != nullptr)
        layout_->WindowGeometryChanged();
}

} // namespace tessarine
