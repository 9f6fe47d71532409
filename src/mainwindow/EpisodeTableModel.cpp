#include "mainwindow/EpisodeTableModel.h"

#include "core/feeds/EnclosureNames.h"
#include "core/store/LedgerText.h"
#include "core/util/Strings.h"
#include "display/DisplayText.h"

#include <QDateTime>


namespace tessarine {
namespace {

QString Text(int id) { return QString::fromStdString(LoadResString(id)); }

QString StoredStateText(EpisodeState state) {
    switch (state) {
    case EpisodeState::New: return Text(TXT_EPISODE_NEW);
    case EpisodeState::Queued: return Text(TXT_EPISODE_QUEUED);
    case EpisodeState::Downloaded: return Text(TXT_EPISODE_DOWNLOADED);
    case EpisodeState::Deleted: return Text(TXT_EPISODE_DELETED);
    case EpisodeState::Removed: return Text(TXT_EPISODE_REMOVED);
    case EpisodeState::Skipped: return Text(TXT_EPISODE_SKIPPED);
    case EpisodeState::Failed: return Text(TXT_EPISODE_FAILED);
    }
    return {};
}

// Why a download failed, as the store keeps it ("HttpStatus 404", "TimedOut:
// the system's text"), in the words the download list uses; a record of
// another form as it is.
QString FailureCell(const std::string& reason) {
    const Failure failure = FailureFromRecord(reason);
    return QString::fromStdString(failure ? FailureText(failure) : reason);
}

QDateTime StoredMoment(const std::string& date) {
    return QDateTime::fromString(QString::fromStdString(date), Qt::ISODate);
}

} // namespace

QString EpisodeTableModel::DurationText(int64_t seconds) {
    if (seconds <= 0)
        return {};
    const int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const QString mmss =
        QStringLiteral("%1:%2").arg(m, h > 0 ? 2 : 1, 10, QChar('0')).arg(s, 2, 10, QChar('0'));
    return h > 0 ? QStringLiteral("%1:%2").arg(h).arg(mmss) : mmss;
}

void EpisodeTableModel::SetEpisodes(std::vector<StoredEpisode> episodes) {
    const bool sameRows =
        episodes.size() == episodes_.size() &&
        std::equal(episodes.begin(), episodes.end(), episodes_.begin(),
                   [](const StoredEpisode& a, const StoredEpisode& b) { return a.key == b.key; });
    if (sameRows) {
        episodes_ = std::move(episodes);
        if (!episodes_.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        return;
    }
    beginResetModel();
    episodes_ = std::move(episodes);
    rowOfKey_.clear();
    for (size_t i = 0; i < episodes_.size(); ++i)
        rowOfKey_.emplace(episodes_[i].key, static_cast<int>(i));
    endResetModel();
}

void EpisodeTableModel::ApplyDownloads(const std::vector<DownloadEvent>& events,
                                       const DownloadKeyFn& keyOf) {
    int first = rowCount(), last = -1;
    const auto changed = [&](const std::string& key) {
        const int row = RowOfKey(key);
        if (row >= 0) {
            first = std::min(first, row);
            last = std::max(last, row);
        }
    };
    for (const DownloadEvent& event : events) {
        if (const auto* queued = std::get_if<QueuedDownload>(&event)) {
            const std::optional<std::string> key = keyOf(queued->index);
            if (!key)
                continue;
            keyOfDownload_[queued->index] = *key;
            downloads_[*key] = Download{DownloadState::Waiting, 0, 0};
            changed(*key);
            continue;
        }
        const size_t number = std::visit([](const auto& e) { return e.index; }, event);
        const auto found = keyOfDownload_.find(number);
        if (found == keyOfDownload_.end())
            continue;
        Download& download = downloads_[found->second];
        if (const auto* state = std::get_if<DownloadStateChange>(&event))
            download.state = state->state;
        else if (const auto* bytes = std::get_if<DownloadBytes>(&event)) {
            download.received = bytes->received;
            download.total = bytes->total;
        }
        changed(found->second);
    }
    if (last >= 0)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
}

int EpisodeTableModel::RowOfKey(const std::string& key) const {
    const auto found = rowOfKey_.find(key);
    return found == rowOfKey_.end() ? -1 : found->second;
}

const StoredEpisode* EpisodeTableModel::At(int row) const {
    return row >= 0 && row < rowCount() ? &episodes_[static_cast<size_t>(row)] : nullptr;
}

EpisodeState EpisodeTableModel::StateAt(int row) const {
    const StoredEpisode* e = At(row);
    return e != nullptr ? e->state : EpisodeState::New;
}

const EpisodeTableModel::Download* EpisodeTableModel::DownloadOf(int row) const {
    const StoredEpisode* e = At(row);
    if (e == nullptr)
        return nullptr;
    const auto found = downloads_.find(e->key);
    return found == downloads_.end() ? nullptr : &found->second;
}

bool EpisodeTableModel::Downloading(int row) const {
    const Download* d = DownloadOf(row);
    return d != nullptr &&
           (d->state == DownloadState::Waiting || d->state == DownloadState::Downloading);
}

QString EpisodeTableModel::StateCell(int row) const {
    const StoredEpisode& e = *At(row);
    // A download under way says more than the store: how far it got.
    if (const Download* d = DownloadOf(row)) {
        if (d->state == DownloadState::Waiting)
            return Text(TXT_EPISODE_WAITING);
        if (d->state == DownloadState::Downloading)
            return QString::fromStdString(
                FormatResString(TXT_EPISODE_DOWNLOADING, PercentText(d->received, d->total)));
    }
    // A failure says why even when the next check tries again.
    if (e.state == EpisodeState::Failed && !e.reason.empty())
        return QString::fromStdString(
            FormatResString(TXT_EPISODE_FAILED_BECAUSE, FailureCell(e.reason).toStdString()));
    if (e.again && e.state != EpisodeState::Queued && e.state != EpisodeState::Failed)
        return Text(TXT_EPISODE_AGAIN);
    return StoredStateText(e.state);
}

QString EpisodeTableModel::TitleOf(const StoredEpisode& episode) {
    if (!episode.title.empty())
        return QString::fromStdString(episode.title);
    // The list would show an empty row: the file the episode has, or gets,
    // tells it apart as the download list does.
    if (!episode.file.empty())
        return QString::fromStdString(StoredName(episode.file));
    return QString::fromStdString(FileNameFromUrl(episode.url));
}

QString EpisodeTableModel::Cell(int row, int column) const {
    const StoredEpisode* e = At(row);
    if (e == nullptr)
        return {};
    switch (column) {
    case ColumnTitle: return TitleOf(*e);
    case ColumnDate: {
        const QDateTime at = StoredMoment(e->date);
        return at.isValid() ? at.toLocalTime().toString(Text(TXT_EPISODES_DATE_FORMAT))
                            : QString::fromStdString(e->date);
    }
    case ColumnDuration: return DurationText(e->duration);
    case ColumnSize: return e->size >= 0 ? QString::fromStdString(SizeText(e->size)) : QString();
    case ColumnState: return StateCell(row);
    default: return {};
    }
}

int EpisodeTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(episodes_.size());
}

int EpisodeTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EpisodeTableModel::data(const QModelIndex& index, int role) const {
    const StoredEpisode* e = At(index.row());
    if (e == nullptr)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return Cell(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return index.column() == ColumnDuration || index.column() == ColumnSize
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case SortRole:
        switch (index.column()) {
        case ColumnDate: return QString::fromStdString(e->date); // ISO 8601 sorts as text
        case ColumnDuration: return static_cast<qlonglong>(e->duration);
        case ColumnSize: return static_cast<qlonglong>(e->size);
        default: return Cell(index.row(), index.column());
        }
    default: return {};
    }
}

QVariant EpisodeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const int kHeaders[] = {TXT_EPISODES_COLUMN_TITLE, TXT_EPISODES_COLUMN_DATE,
                                   TXT_EPISODES_COLUMN_DURATION, TXT_EPISODES_COLUMN_SIZE,
                                   TXT_EPISODES_COLUMN_STATE};
    return section >= 0 && section < ColumnCount ? Text(kHeaders[section]) : QVariant();
}

// ---- The filter ----

EpisodeFilter::EpisodeFilter(EpisodeTableModel* rows, QObject* parent)
    : QSortFilterProxyModel(parent), rows_(rows) {
    setSourceModel(rows);
    setSortRole(EpisodeTableModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

void EpisodeFilter::SetState(std::optional<EpisodeState> state) {
    state_ = state;
    invalidateRowsFilter();
}

void EpisodeFilter::SetSearch(const QString& text) {
    words_ = text.split(QChar(' '), Qt::SkipEmptyParts);
    invalidateRowsFilter();
}

bool EpisodeFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const StoredEpisode* e = rows_->At(sourceRow);
    if (e == nullptr || (state_ && e->state != *state_))
        return false;
    if (words_.isEmpty())
        return true;
    const QString title = EpisodeTableModel::TitleOf(*e);
    for (const QString& word : words_)
        if (!title.contains(word, Qt::CaseInsensitive))
            return false;
    return true;
}

} // namespace tessarine
