#include "mainwindow/FindPodcastsWindow.h"

#include "core/net/FeedAddress.h"
#include "core/util/Strings.h"
#include "dialogs/PodcastIndexKeyDlg.h"
#include "display/DisplayText.h"
#include "mainwindow/ArtworkThumbnails.h"
#include "mainwindow/ReportListView.h"
#include "mainwindow/SearchResultModel.h"
#include "platform/Profile.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <set>
#include <utility>

namespace tessarine {
namespace {

QString Text(int id) { return QString::fromStdString(LoadResString(id)); }
QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

QString Format(int id, const QString& first, const QString& second = {}) {
    return FromUtf8(FormatText(LoadResString(id), {first.toStdString(), second.toStdString()}));
}

// The entries of the directory box, in this order.
enum DirectoryChoice { ChoiceApple, ChoicePodcastIndex };
const QString kPodcastIndexChoice = QStringLiteral("podcastindex");
const QString kAppleChoice = QStringLiteral("apple");

} // namespace

FindPodcastsWindow::FindPodcastsWindow(QWidget* owner, const PodcastLibrary& library,
                                       Options options, SubscribeFn subscribe)
    : QDialog(owner), library_(library), options_(std::move(options)),
      subscribe_(std::move(subscribe)),
      thumbnails_(std::make_unique<ArtworkThumbnails>(options_.artworkFolder, options_.http)) {
    setObjectName(QStringLiteral("findPodcastsWindow"));
    setWindowTitle(Text(TXT_FIND_CAPTION));
    setModal(false);
    CreateControls();
    RefreshMarks();
    UpdateButtons();
}

FindPodcastsWindow::~FindPodcastsWindow() {
    CancelSearch();
    for (auto& [generation, search] : searches_)
        search.join();
    // The list and its model read the thumbnails, which end before the
    // dialog's children would: they go first, without this window watching
    // their events any more.
    list_->viewport()->removeEventFilter(this);
    list_->removeEventFilter(this);
    term_->removeEventFilter(this);
    delete list_;
    list_ = nullptr;
    delete model_;
    model_ = nullptr;
}

void FindPodcastsWindow::CreateControls() {
    model_ = new SearchResultModel(*thumbnails_, this);

    auto* directoryLabel = new QLabel(Text(TXT_FIND_DIRECTORY_LABEL), this);
    directory_ = new QComboBox(this);
    directory_->setObjectName(QStringLiteral("directory"));
    directory_->addItem(FromUtf8(MakeAppleDirectory()->Name()));
    directory_->addItem(FromUtf8(MakePodcastIndexDirectory({}, {})->Name()));
    directoryLabel->setBuddy(directory_);
    keyButton_ = new QPushButton(Text(TXT_FIND_INDEX_KEY), this);
    keyButton_->setObjectName(QStringLiteral("indexKeyButton"));

    auto* termLabel = new QLabel(Text(TXT_FIND_TERM_LABEL), this);
    term_ = new QLineEdit(this);
    term_->setObjectName(QStringLiteral("searchTerm"));
    term_->setClearButtonEnabled(true);
    termLabel->setBuddy(term_);
    search_ = new QPushButton(Text(TXT_FIND_SEARCH), this);
    search_->setObjectName(QStringLiteral("searchButton"));

    list_ = new ReportListView(model_, this);
    list_->setObjectName(QStringLiteral("resultList"));
    const QFontMetrics metrics = fontMetrics();
    // The artwork as high as two lines of text, and never tiny.
    const int side = std::max(32, metrics.height() * 2 + 4);
    list_->setIconSize(QSize(side, side));
    model_->SetArtworkSize(QSize(side, side));
    list_->SetColumns({{Text(TXT_FIND_COLUMN_TITLE), Qt::AlignLeft, 230},
                       {Text(TXT_FIND_COLUMN_AUTHOR), Qt::AlignLeft, 140},
                       {Text(TXT_FIND_COLUMN_EPISODES), Qt::AlignRight, 50, QStringLiteral("99999")},
                       {Text(TXT_FIND_COLUMN_GENRE), Qt::AlignLeft, 90},
                       {Text(TXT_FIND_COLUMN_LATEST), Qt::AlignLeft, 70,
                        QStringLiteral("28.12.2000")},
                       {Text(TXT_FIND_COLUMN_STATUS), Qt::AlignLeft, 70, Text(TXT_FIND_SUBSCRIBED)}});
    list_->setColumnWidth(SearchResultModel::ColumnTitle,
                          list_->columnWidth(SearchResultModel::ColumnTitle) + side);
    list_->SetEmptyHint(Text(TXT_FIND_HINT));

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("findStatus"));
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    subscribeButton_ = new QPushButton(Text(TXT_FIND_SUBSCRIBE), this);
    subscribeButton_->setObjectName(QStringLiteral("subscribeButton"));
    close_ = new QPushButton(Text(TXT_FIND_CLOSE), this);
    close_->setObjectName(QStringLiteral("closeButton"));
    // No default button: Enter searches in the field and subscribes in the list.
    for (QPushButton* button : {keyButton_, search_, subscribeButton_, close_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    auto* top = new QGridLayout;
    top->addWidget(directoryLabel, 0, 0);
    top->addWidget(directory_, 0, 1, Qt::AlignLeft);
    top->addWidget(keyButton_, 0, 2);
    top->addWidget(termLabel, 1, 0);
    top->addWidget(term_, 1, 1);
    top->addWidget(search_, 1, 2);
    top->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(subscribeButton_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    // The tab order follows the way down the window.
    setTabOrder(directory_, keyButton_);
    setTabOrder(keyButton_, term_);
    setTabOrder(term_, search_);
    setTabOrder(search_, list_);
    setTabOrder(list_, subscribeButton_);
    setTabOrder(subscribeButton_, close_);

    int width = 0;
    for (int column = 0; column < model_->columnCount(); ++column)
        width += list_->columnWidth(column);
    resize(std::max(width + 40, metrics.averageCharWidth() * 90), metrics.lineSpacing() * 32);

    const bool indexChosen = ReadSearchDirectoryFromProfile() == kPodcastIndexChoice &&
                             ReadPodcastIndexKeysFromProfile().IsSet();
    directory_->setCurrentIndex(indexChosen ? ChoicePodcastIndex : ChoiceApple);
    connect(directory_, &QComboBox::currentIndexChanged, this,
            &FindPodcastsWindow::OnDirectoryChosen);
    connect(keyButton_, &QPushButton::clicked, this, [this] {
        if (!EditIndexKey() && directory_->currentIndex() == ChoicePodcastIndex)
            directory_->setCurrentIndex(ChoiceApple); // the key is gone
    });
    connect(term_, &QLineEdit::textChanged, this, &FindPodcastsWindow::UpdateButtons);
    connect(term_, &QLineEdit::returnPressed, this, &FindPodcastsWindow::Search);
    connect(search_, &QPushButton::clicked, this, &FindPodcastsWindow::Search);
    connect(subscribeButton_, &QPushButton::clicked, this,
            &FindPodcastsWindow::SubscribeSelected);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    // Escape, the frame's close button and the owner's end all end here.
    connect(this, &QDialog::finished, this, &FindPodcastsWindow::CancelSearch);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FindPodcastsWindow::UpdateButtons);
    connect(model_, &QAbstractItemModel::dataChanged, this, &FindPodcastsWindow::UpdateButtons);
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &FindPodcastsWindow::RequestVisibleArtwork);
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    term_->installEventFilter(this);
}

void FindPodcastsWindow::Open() {
    show();
    raise();
    activateWindow();
    term_->setFocus();
    term_->selectAll();
}

QString FindPodcastsWindow::StatusText() const { return status_->text(); }

std::unique_ptr<PodcastDirectory> FindPodcastsWindow::ChosenDirectory() const {
    if (directory_->currentIndex() != ChoicePodcastIndex)
        return MakeAppleDirectory(options_.http);
    const PodcastIndexKeys keys = ReadPodcastIndexKeysFromProfile();
    if (!keys.IsSet())
        return nullptr;
    return MakePodcastIndexDirectory(keys.key.toStdString(), keys.secret.toStdString(),
                                     options_.http);
}

void FindPodcastsWindow::OnDirectoryChosen(int index) {
    // The Podcast Index only with a key: asked for when there is none.
    if (index == ChoicePodcastIndex && !ChosenDirectory() && !EditIndexKey()) {
        directory_->setCurrentIndex(ChoiceApple);
        return;
    }
    WriteSearchDirectoryToProfile(index == ChoicePodcastIndex ? kPodcastIndexChoice
                                                              : kAppleChoice);
    // What was found elsewhere stays until the next search.
    if (!term_->text().trimmed().isEmpty() && model_->rowCount() == 0 && !searching_)
        SetStatus({});
}

bool FindPodcastsWindow::EditIndexKey() {
    PodcastIndexKeys keys = ReadPodcastIndexKeysFromProfile();
    PodcastIndexKeyDlg dialog(this);
    dialog.key = keys.key;
    dialog.secret = keys.secret;
    if (dialog.exec() == QDialog::Accepted) {
        keys = {dialog.key, dialog.secret};
        WritePodcastIndexKeysToProfile(keys);
    }
    return keys.IsSet();
}

void FindPodcastsWindow::Search() {
    const QString term = term_->text().trimmed();
    if (term.isEmpty())
        return;
    std::unique_ptr<PodcastDirectory> directory = ChosenDirectory();
    if (!directory) {
        SetStatus(Text(TXT_FIND_NEEDS_KEY));
        return;
    }
    CancelSearch();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancel_ = cancel;
    const int generation = ++generation_;
    searching_ = true;
    const QString name = FromUtf8(directory->Name());
    SetStatus(Format(TXT_FIND_SEARCHING, name, term));
    UpdateButtons();
    std::shared_ptr<PodcastDirectory> shared(std::move(directory));
    // A thread of its own per search (a cancelled one ends while the next
    // runs); all are joined when the window goes.
    searches_[generation] = std::thread([this, shared, cancel, generation, name, term] {
        DirectorySearch answer = shared->Search(term.toStdString(), cancel.get());
        {
            std::lock_guard lock(answersMutex_);
            answers_.push_back({generation, name, term, std::move(answer)});
        }
        // The window waits for this worker before it goes.
        QMetaObject::invokeMethod(this, "TakeAnswers", Qt::QueuedConnection);
    });
}

void FindPodcastsWindow::TakeAnswers() {
    std::vector<Answer> answers;
    {
        std::lock_guard lock(answersMutex_);
        answers.swap(answers_);
    }
    for (Answer& answer : answers) {
        if (const auto done = searches_.find(answer.generation); done != searches_.end()) {
            done->second.join();
            searches_.erase(done);
        }
        if (answer.generation != generation_)
            continue; // a later search, or the window closed meanwhile
        searching_ = false;
        ShowDirectoryAnswer(answer.name, answer.term, std::move(answer.search));
        UpdateButtons();
        emit searchEnded();
    }
}

void FindPodcastsWindow::ShowDirectoryAnswer(const QString& directory, const QString& term,
                                             DirectorySearch answer) {
    using Outcome = DirectorySearch::Outcome;
    const size_t found = answer.outcome == Outcome::Found ? answer.results.size() : 0;
    model_->SetResults(answer.outcome == Outcome::Found ? std::move(answer.results)
                                                        : std::vector<DirectoryResult>{});
    QString why = FromUtf8(FailureText(answer.failure));
    switch (answer.outcome) {
    case Outcome::Found:
        SetStatus(found == 0 ? Format(TXT_SEARCH_NOTHING_FOUND, directory, term)
                             : Format(TXT_FIND_FOUND, directory, QString::number(found)));
        break;
    case Outcome::NoNetwork: SetStatus(Format(TXT_FIND_NO_NETWORK, directory, why)); break;
    case Outcome::Refused:
        if (why.isEmpty())
            why = QStringLiteral("HTTP %1").arg(answer.httpStatus);
        SetStatus(Format(TXT_FIND_REFUSED, directory, why));
        break;
    case Outcome::OddAnswer: SetStatus(Format(TXT_FIND_ODD_ANSWER, directory)); break;
    }
    // Laid out first: then the rows in view are known.
    QMetaObject::invokeMethod(this, &FindPodcastsWindow::RequestVisibleArtwork,
                              Qt::QueuedConnection);
}

void FindPodcastsWindow::CancelSearch() {
    if (cancel_)
        *cancel_ = true;
    cancel_.reset();
    if (!searching_)
        return;
    ++generation_;
    searching_ = false;
    SetStatus({});
    UpdateButtons();
}

void FindPodcastsWindow::SubscribeSelected() {
    const int row = list_->SelectionMark();
    const DirectoryResult* result = model_->ResultAt(row);
    if (result == nullptr || model_->IsSubscribed(row))
        return;
    const DirectoryResult chosen = *result;
    if (subscribe_ && subscribe_(chosen.feedUrl))
        SetStatus(Format(TXT_FIND_SUBSCRIBED_TO, FromUtf8(chosen.title)));
    RefreshMarks();
}

void FindPodcastsWindow::RefreshMarks() {
    std::set<std::string> keys;
    for (const SubscriptionSnapshot& row : library_.SubscriptionRows())
        keys.insert(FeedAddressKey(row.values.url));
    model_->SetSubscribed(std::move(keys));
    UpdateButtons();
}

void FindPodcastsWindow::SetStatus(const QString& text) { status_->setText(text); }

void FindPodcastsWindow::UpdateButtons() {
    search_->setEnabled(!term_->text().trimmed().isEmpty());
    const int row = list_->SelectionMark();
    subscribeButton_->setEnabled(model_->ResultAt(row) != nullptr && !model_->IsSubscribed(row));
}

void FindPodcastsWindow::RequestVisibleArtwork() {
    if (!isVisible() || model_->rowCount() == 0)
        return;
    const QRect area = list_->viewport()->rect();
    const QModelIndex top = list_->indexAt(QPoint(1, area.top() + 1));
    const QModelIndex bottom = list_->indexAt(QPoint(1, area.bottom() - 1));
    model_->RequestArtwork(top.isValid() ? top.row() : 0,
                           bottom.isValid() ? bottom.row() : model_->rowCount() - 1);
}

void FindPodcastsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RefreshMarks();
    RequestVisibleArtwork();
}

bool FindPodcastsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport()) {
        if (event->type() == QEvent::Resize)
            QMetaObject::invokeMethod(this, &FindPodcastsWindow::RequestVisibleArtwork,
                                      Qt::QueuedConnection);
        else if (event->type() == QEvent::MouseButtonDblClick)
            // Once the list has taken the click: it selects the row first.
            QMetaObject::invokeMethod(this, &FindPodcastsWindow::SubscribeSelected,
                                      Qt::QueuedConnection);
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (watched == list_ && plain &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            SubscribeSelected();
            return true;
        }
        // Down from the search field goes into the results.
        if (watched == term_ && plain && key->key() == Qt::Key_Down && model_->rowCount() > 0) {
            list_->setFocus();
            if (list_->SelectionMark() < 0)
                list_->SelectRow(0);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tessarine
