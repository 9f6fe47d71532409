#include "mainwindow/SearchResultModel.h"

#include "core/net/FeedAddress.h"
#include "core/util/Strings.h"
#include "mainwindow/ArtworkThumbnails.h"

#include <QDate>
#include <QIcon>

#include <algorithm>

namespace tessarine {
namespace {

QString Text(int id) { return QString::fromStdString(LoadResString(id)); }
QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// The day of an ISO 8601 date as the program shows dates; what is no such
// date stays as the directory wrote it.
QString DayOf(const std::string& iso) {
    const QString text = FromUtf8(iso);
    const QDate day = QDate::fromString(text.left(10), Qt::ISODate);
    return day.isValid() ? day.toString(QStringLiteral("dd.MM.yyyy")) : text;
}

} // namespace

SearchResultModel::SearchResultModel(ArtworkThumbnails& thumbnails, QObject* parent)
    : ReportTableModel(parent), thumbnails_(thumbnails) {
    connect(&thumbnails_, &ArtworkThumbnails::ready, this, &SearchResultModel::OnThumbnail);
}

void SearchResultModel::SetArtworkSize(QSize size) {
    QPixmap blank(size);
    blank.fill(Qt::transparent);
    blank_ = QIcon(blank);
}

void SearchResultModel::SetResults(std::vector<DirectoryResult> results) {
    beginResetModel();
    results_ = std::move(results);
    marked_.clear();
    for (const DirectoryResult& result : results_)
        marked_.push_back(Listed(result));
    endResetModel();
}

bool SearchResultModel::Listed(const DirectoryResult& result) const {
    return subscribed_.count(FeedAddressKey(result.feedUrl)) != 0;
}

const DirectoryResult* SearchResultModel::ResultAt(int row) const {
    return row >= 0 && row < rowCount() ? &results_[static_cast<size_t>(row)] : nullptr;
}

bool SearchResultModel::IsSubscribed(int row) const {
    return row >= 0 && row < rowCount() && marked_[static_cast<size_t>(row)];
}

void SearchResultModel::SetSubscribed(std::set<std::string> feedKeys) {
    subscribed_ = std::move(feedKeys);
    for (int row = 0; row < rowCount(); ++row) {
        const bool now = Listed(results_[static_cast<size_t>(row)]);
        if (now == marked_[static_cast<size_t>(row)])
            continue;
        marked_[static_cast<size_t>(row)] = now;
        AnnounceRows(row, row);
    }
}

void SearchResultModel::RequestArtwork(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, rowCount() - 1);
    for (int row = first; row <= last; ++row)
        thumbnails_.Request(results_[static_cast<size_t>(row)].artworkUrl);
}

void SearchResultModel::OnThumbnail(const QString& url) {
    const std::string address = url.toStdString();
    for (int row = 0; row < rowCount(); ++row)
        if (results_[static_cast<size_t>(row)].artworkUrl == address)
            emit dataChanged(index(row, ColumnTitle), index(row, ColumnTitle),
                             {Qt::DecorationRole});
}

int SearchResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(results_.size());
}

QString SearchResultModel::Cell(int row, int column) const {
    const DirectoryResult* result = ResultAt(row);
    if (result == nullptr)
        return {};
    switch (column) {
    case ColumnTitle: return FromUtf8(result->title);
    case ColumnAuthor: return FromUtf8(result->author);
    case ColumnEpisodes: return result->episodes >= 0 ? QString::number(result->episodes) : QString();
    case ColumnGenre: return FromUtf8(result->genre);
    case ColumnLatest: return DayOf(result->latest);
    case ColumnStatus: return IsSubscribed(row) ? Text(TXT_FIND_SUBSCRIBED) : QString();
    default: return {};
    }
}

QString SearchResultModel::ToolTip(int row, int column) const {
    const DirectoryResult* result = ResultAt(row);
    if (result == nullptr)
        return {};
    // The title tells where the podcast's feed is: the address a
    // subscription takes.
    if (column == ColumnTitle)
        return FromUtf8(result->title) + QLatin1Char('\n') + FromUtf8(result->feedUrl);
    return Cell(row, column);
}

QVariant SearchResultModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DecorationRole && index.column() == ColumnTitle) {
        // An icon, drawn at the list's icon size whatever the picture's.
        const QPixmap artwork = thumbnails_.Thumbnail(ResultAt(index.row())->artworkUrl);
        return artwork.isNull() ? blank_ : QIcon(artwork);
    }
    return ReportTableModel::data(index, role);
}

} // namespace tessarine
