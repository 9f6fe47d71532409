#include "mainwindow/EpisodesWindow.h"

#include "core/util/Strings.h"
#include "display/DisplayText.h"
#include "mainwindow/EpisodeTableModel.h"
#include "platform/Desktop.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <unordered_set>

namespace tessarine {
namespace {

QString Text(int id) { return QString::fromStdString(LoadResString(id)); }

QUrl LocalUrl(const std::string& path) {
    return QUrl::fromLocalFile(QFileInfo(QString::fromStdString(path)).absoluteFilePath());
}

// The state filter's choices after "All episodes", in the order listed.
constexpr EpisodeState kChoices[] = {EpisodeState::New,     EpisodeState::Queued,
                                     EpisodeState::Downloaded, EpisodeState::Deleted,
                                     EpisodeState::Removed, EpisodeState::Skipped,
                                     EpisodeState::Failed};
constexpr int kChoiceTexts[] = {TXT_EPISODE_NEW,     TXT_EPISODE_QUEUED,  TXT_EPISODE_DOWNLOADED,
                                TXT_EPISODE_DELETED, TXT_EPISODE_REMOVED, TXT_EPISODE_SKIPPED,
                                TXT_EPISODE_FAILED};

} // namespace

EpisodesWindow::EpisodesWindow(PodcastLibrary& library, SubscriptionPtr record, QWidget* parent)
    : QWidget(parent, Qt::Window), library_(library), record_(std::move(record)),
      rows_(new EpisodeTableModel(this)), filter_(new EpisodeFilter(rows_, this)),
      stateChoice_(new QComboBox(this)), search_(new QLineEdit(this)), view_(new QTreeView(this)),
      summary_(new QLabel(this)), noStore_(new QLabel(Text(TXT_EPISODES_NO_STORE), this)),
      menu_(new QMenu(this)) {
    setObjectName("EpisodesWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    if (parent != nullptr)
        setWindowIcon(parent->windowIcon());

    // The filter row: state and search.
    auto* showLabel = new QLabel(Text(TXT_EPISODES_SHOW), this);
    showLabel->setBuddy(stateChoice_);
    stateChoice_->addItem(Text(TXT_EPISODES_ALL));
    for (int text : kChoiceTexts)
        stateChoice_->addItem(Text(text));
    auto* searchLabel = new QLabel(Text(TXT_EPISODES_SEARCH), this);
    searchLabel->setBuddy(search_);
    search_->setPlaceholderText(Text(TXT_EPISODES_SEARCH_HINT));
    search_->setClearButtonEnabled(true);
    auto* filters = new QHBoxLayout;
    filters->addWidget(showLabel);
    filters->addWidget(stateChoice_);
    filters->addSpacing(12);
    filters->addWidget(searchLabel);
    filters->addWidget(search_, 1);

    // The list: model/view only, every row the same height, so that a
    // podcast of thousands of episodes opens and scrolls at once.
    view_->setModel(filter_);
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);
    view_->setAllColumnsShowFocus(true);
    view_->setAlternatingRowColors(true);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->setSortingEnabled(true);
    // Newest first as the store lists them, until a header is clicked; a
    // third click returns to that order.
    view_->header()->setSortIndicatorClearable(true);
    view_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    filter_->sort(-1);
    view_->header()->setStretchLastSection(false);
    view_->header()->setSectionResizeMode(EpisodeTableModel::ColumnTitle, QHeaderView::Stretch);
    const QFontMetrics metrics = view_->fontMetrics();
    const auto width = [&](const QString& sample, int header) {
        return std::max(metrics.horizontalAdvance(sample), metrics.horizontalAdvance(Text(header))) +
               3 * metrics.averageCharWidth();
    };
    view_->header()->resizeSection(
        EpisodeTableModel::ColumnDate,
        width(QDateTime(QDate(2000, 12, 28), QTime(20, 58)).toString(Text(TXT_EPISODES_DATE_FORMAT)),
              TXT_EPISODES_COLUMN_DATE));
    view_->header()->resizeSection(EpisodeTableModel::ColumnDuration,
                                   width("00:00:00", TXT_EPISODES_COLUMN_DURATION));
    view_->header()->resizeSection(EpisodeTableModel::ColumnSize,
                                   width("000.0MB", TXT_EPISODES_COLUMN_SIZE));
    // Wide enough for a download's progress and the usual failure; a longer
    // reason shows in the cell's tooltip.
    Failure usual{FailureKind::HttpStatus};
    usual.httpStatus = 404;
    const QString states[] = {
        QString::fromStdString(FormatResString(TXT_EPISODE_DOWNLOADING, "100%")),
        QString::fromStdString(FormatResString(TXT_EPISODE_FAILED_BECAUSE, FailureText(usual)))};
    view_->header()->resizeSection(
        EpisodeTableModel::ColumnState,
        std::max(width(states[0], TXT_EPISODES_COLUMN_STATE),
                 width(states[1], TXT_EPISODES_COLUMN_STATE)));
    noStore_->setWordWrap(true);
    noStore_->hide();

    // The commands: each a button, an item of the context menu and a key.
    struct CommandRow {
        int text;
        QKeySequence key;
    };
    const CommandRow commandRows[] = {
        {TXT_EPISODES_PLAY, QKeySequence(Qt::Key_Return)},
        {TXT_EPISODES_SHOW_IN_FOLDER, {}},
        {TXT_EPISODES_DELETE_FILE, QKeySequence(QKeySequence::Delete)},
        {TXT_EPISODES_DOWNLOAD, QKeySequence(Qt::CTRL | Qt::Key_D)},
        {TXT_EPISODES_NOT_WANTED, {}},
    };
    auto* buttons = new QHBoxLayout;
    for (size_t i = 0; i < std::size(commandRows); ++i) {
        const auto command = static_cast<Command>(i);
        auto* action = new QAction(Text(commandRows[i].text), this);
        if (!commandRows[i].key.isEmpty()) {
            QList<QKeySequence> keys{commandRows[i].key};
            if (command == Command::Play)
                keys << QKeySequence(Qt::Key_Enter);
            action->setShortcuts(keys);
            action->setShortcutContext(Qt::WidgetShortcut);
            view_->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, command] { Run(command); });
        menu_->addAction(action);
        if (command == Command::ShowInFolder || command == Command::DeleteFile)
            menu_->addSeparator();
        actions_.push_back(action);
        auto* button = new QPushButton(action->text(), this);
        button->setObjectName(QStringLiteral("EpisodeCommand%1").arg(i));
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, button,
                [button, action] { button->setEnabled(action->isEnabled()); });
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    auto* close = new QPushButton(Text(TXT_EPISODES_CLOSE), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(close);
    auto* escape = new QAction(this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    escape->setShortcutContext(Qt::WindowShortcut);
    addAction(escape);
    connect(escape, &QAction::triggered, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(noStore_);
    layout->addWidget(view_, 1);
    layout->addWidget(summary_);
    layout->addLayout(buttons);

    connect(stateChoice_, &QComboBox::currentIndexChanged, this, [this](int choice) {
        filter_->SetState(choice > 0 ? std::optional(kChoices[choice - 1]) : std::nullopt);
        UpdateSummary();
        UpdateActions();
    });
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        filter_->SetSearch(text);
        UpdateSummary();
        UpdateActions();
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &EpisodesWindow::UpdateActions);
    connect(rows_, &QAbstractItemModel::dataChanged, this, &EpisodesWindow::UpdateActions);
    connect(view_, &QTreeView::doubleClicked, this, [this] { Run(Command::Play); });
    connect(view_, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        menu_->popup(view_->viewport()->mapToGlobal(at));
    });

    resize(820, 460);
    UpdateTitle();
    Reload();
    // The downloads listed already: those of this podcast's episodes that
    // wait or run show so from the start.
    std::vector<DownloadEvent> listed;
    for (long long i = 0; const std::optional<DownloadEntry> entry = library_.DownloadAt(i); ++i) {
        if (entry->state != DownloadState::Waiting && entry->state != DownloadState::Downloading)
            continue;
        QueuedDownload queued;
        queued.index = static_cast<size_t>(i);
        listed.emplace_back(queued);
        listed.emplace_back(DownloadStateChange{static_cast<size_t>(i), entry->state, {}});
    }
    OnDownloadsChanged(listed);
    view_->setFocus();
}

EpisodesWindow::~EpisodesWindow() = default;

QAction* EpisodesWindow::Action(Command command) const {
    return actions_[static_cast<size_t>(command)];
}

void EpisodesWindow::UpdateTitle() {
    for (const SubscriptionSnapshot& row : library_.SubscriptionRows())
        if (row.record == record_) {
            url_ = row.values.url;
            name_ = row.values.name.empty() ? row.values.url : row.values.name;
        }
    setWindowTitle(QString::fromStdString(FormatResString(TXT_EPISODES_CAPTION, name_)));
}

void EpisodesWindow::Reload() {
    std::vector<StoredEpisode> episodes;
    const PodcastLibrary::EpisodeQuery query = library_.EpisodesOf(record_, episodes);
    noStore_->setVisible(query != PodcastLibrary::EpisodeQuery::Done);
    // The picked episodes stay picked when the rows are new.
    const std::vector<std::string> picked = PickedKeys();
    const int before = rows_->rowCount();
    rows_->SetEpisodes(std::move(episodes));
    if (!picked.empty() && PickedRows().empty() && before > 0) {
        const std::unordered_set<std::string> keys(picked.begin(), picked.end());
        QItemSelection selection;
        for (int row = 0; row < rows_->rowCount(); ++row)
            if (keys.contains(rows_->At(row)->key)) {
                const QModelIndex at = filter_->mapFromSource(rows_->index(row, 0));
                if (at.isValid())
                    selection.select(at, at);
            }
        view_->selectionModel()->select(selection, QItemSelectionModel::Select |
                                                       QItemSelectionModel::Rows);
    }
    UpdateSummary();
    UpdateActions();
}

void EpisodesWindow::OnEpisodesChanged(const std::string& url) {
    if (url == url_)
        Reload();
}

void EpisodesWindow::OnDownloadsChanged(const std::vector<DownloadEvent>& events) {
    rows_->ApplyDownloads(events, [this](size_t index) -> std::optional<std::string> {
        const std::optional<DownloadEntry> entry =
            library_.DownloadAt(static_cast<long long>(index));
        if (!entry || entry->episode.key.empty() || entry->subscription.lock() != record_)
            return std::nullopt;
        return entry->episode.key;
    });
    UpdateActions();
}

void EpisodesWindow::OnSubscriptionsChanged() {
    bool listed = false;
    for (const SubscriptionSnapshot& row : library_.SubscriptionRows())
        listed = listed || row.record == record_;
    if (!listed) {
        close();
        return;
    }
    const std::string url = url_;
    UpdateTitle();
    if (url != url_) // given another address: the store lists it under that
        Reload();
}

std::vector<int> EpisodesWindow::PickedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& at : view_->selectionModel()->selectedRows())
        rows.push_back(filter_->mapToSource(at).row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void EpisodesWindow::Pick(const std::vector<std::string>& titles) {
    const std::unordered_set<std::string> wanted(titles.begin(), titles.end());
    QItemSelection selection;
    for (int row = 0; row < filter_->rowCount(); ++row) {
        const QModelIndex at = filter_->index(row, 0);
        const StoredEpisode& episode = *rows_->At(filter_->mapToSource(at).row());
        if (wanted.contains(EpisodeTableModel::TitleOf(episode).toStdString()))
            selection.select(at, at);
    }
    view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
    if (!selection.isEmpty())
        view_->selectionModel()->setCurrentIndex(selection.indexes().first(),
                                                 QItemSelectionModel::NoUpdate);
}

template <typename Take>
std::vector<std::string> EpisodesWindow::PickedKeysWhere(Take take) const {
    std::vector<std::string> keys;
    for (int row : PickedRows())
        if (take(row, *rows_->At(row)))
            keys.push_back(rows_->At(row)->key);
    return keys;
}

std::vector<std::string> EpisodesWindow::PickedKeys() const {
    return PickedKeysWhere([](int, const StoredEpisode&) { return true; });
}

bool EpisodesWindow::CanMarkNotWanted(int row) const {
    const EpisodeState state = rows_->At(row)->state;
    return state != EpisodeState::Downloaded && state != EpisodeState::Skipped &&
           !rows_->Downloading(row);
}

void EpisodesWindow::UpdateActions() {
    bool downloaded = false, wantable = false, fetchable = false;
    for (int row : PickedRows()) {
        downloaded = downloaded || rows_->At(row)->state == EpisodeState::Downloaded;
        wantable = wantable || CanMarkNotWanted(row);
        fetchable = fetchable || !rows_->Downloading(row);
    }
    const bool store = library_.HasEpisodeStore();
    Action(Command::Play)->setEnabled(downloaded);
    Action(Command::ShowInFolder)->setEnabled(downloaded);
    Action(Command::DeleteFile)->setEnabled(store && downloaded);
    Action(Command::Download)->setEnabled(store && fetchable);
    Action(Command::NotWanted)->setEnabled(store && wantable);
}

void EpisodesWindow::UpdateSummary() {
    summary_->setText(QString::fromStdString(
        FormatText(LoadResString(TXT_EPISODES_COUNT), {std::to_string(filter_->rowCount()),
                                                       std::to_string(rows_->rowCount())})));
}

void EpisodesWindow::Run(Command command) {
    if (!Action(command)->isEnabled())
        return;
    const auto downloaded = [](int, const StoredEpisode& e) {
        return e.state == EpisodeState::Downloaded;
    };
    switch (command) {
    case Command::Play:
    case Command::ShowInFolder: {
        for (const std::string& key : PickedKeysWhere(downloaded)) {
            const std::optional<std::string> path = library_.EpisodeFile(record_, key);
            if (!path)
                continue;
            if (!QFileInfo::exists(QString::fromStdString(*path))) {
                ShowMessageBox(this, QMessageBox::Warning,
                               QString::fromStdString(FormatResString(TXT_EPISODES_FILE_GONE, *path)));
                return;
            }
            if (command == Command::ShowInFolder) {
                // The folder once, whichever of its files were picked.
                OpenWithDesktop(QUrl::fromLocalFile(
                    QFileInfo(QString::fromStdString(*path)).absolutePath()));
                return;
            }
            OpenWithDesktop(LocalUrl(*path));
        }
        return;
    }
    case Command::DeleteFile: {
        const std::vector<std::string> keys = PickedKeysWhere(downloaded);
        std::string question;
        if (keys.size() == 1) {
            for (int row : PickedRows())
                if (rows_->At(row)->key == keys.front())
                    question = FormatResString(TXT_EPISODES_DELETE_ONE,
                                               EpisodeTableModel::TitleOf(*rows_->At(row))
                                                   .toStdString());
        } else {
            question = FormatResString(TXT_EPISODES_DELETE_MANY, std::to_string(keys.size()));
        }
        if (ShowMessageBox(this, QMessageBox::Question, QString::fromStdString(question),
                           QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
        library_.PickEpisodes(record_, PodcastLibrary::EpisodePick::DeleteFile, keys);
        return;
    }
    case Command::Download: {
        const std::vector<std::string> keys =
            PickedKeysWhere([this](int row, const StoredEpisode&) { return !rows_->Downloading(row); });
        size_t changed = 0;
        library_.PickEpisodes(record_, PodcastLibrary::EpisodePick::DownloadAgain, keys, &changed);
        // Fetched now, by a check of this podcast.
        if (changed > 0)
            library_.UpdateNow(record_);
        return;
    }
    case Command::NotWanted:
        library_.PickEpisodes(record_, PodcastLibrary::EpisodePick::NotWanted,
                              PickedKeysWhere([this](int row, const StoredEpisode&) {
                                  return CanMarkNotWanted(row);
                              }));
        return;
    }
}

void EpisodesWindow::closeEvent(QCloseEvent* event) {
    emit closed();
    QWidget::closeEvent(event);
}

} // namespace tessarine
