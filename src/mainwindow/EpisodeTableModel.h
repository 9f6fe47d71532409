#pragma once
// The rows of a podcast's Episodes window: the episodes the store knows,
// newest first, with what the download list tells of those being downloaded
// now. Columns: title, date, duration, size and state. The sort role gives
// each cell's value to sort by (a date as stored, numbers as numbers).
//
// EpisodeFilter sits between the rows and the view: it shows the episodes
// of one state (or all) whose titles hold every word searched for.

#include "core/store/EpisodeStore.h"
#include "mainwindow/QueuedEngineView.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessarine {

class EpisodeTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColumnTitle, ColumnDate, ColumnDuration, ColumnSize, ColumnState, ColumnCount };
    // The role that gives a cell's value to sort by.
    static constexpr int SortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    // Takes the episodes as the store lists them now. Rows of the same
    // episodes in the same order only change their cells (the view keeps its
    // selection and place); anything else resets the rows.
    void SetEpisodes(std::vector<StoredEpisode> episodes);
    // Which episode of this podcast the download numbered `index` fetches:
    // its key, or none when it is another podcast's.
    using DownloadKeyFn = std::function<std::optional<std::string>(size_t index)>;
    // Follows the download list: an episode being downloaded shows its
    // download's state and progress until the store records how it ended.
    void ApplyDownloads(const std::vector<DownloadEvent>& events, const DownloadKeyFn& keyOf);

    const StoredEpisode* At(int row) const;
    // The state the filter sorts the row under.
    EpisodeState StateAt(int row) const;
    // Whether the episode in `row` is waiting for or under download now.
    bool Downloading(int row) const;
    QString Cell(int row, int column) const;
    // The episode's title; for an episode without one, the name of its file.
    static QString TitleOf(const StoredEpisode& episode);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // A running time as shown: "1:02:03", "45:10"; empty when unknown.
    static QString DurationText(int64_t seconds);

private:
    struct Download {
        DownloadState state = DownloadState::Waiting;
        int64_t received = 0;
        int64_t total = 0;
    };
    const Download* DownloadOf(int row) const;
    QString StateCell(int row) const;
    int RowOfKey(const std::string& key) const;

    std::vector<StoredEpisode> episodes_;
    std::unordered_map<std::string, int> rowOfKey_;
    std::unordered_map<size_t, std::string> keyOfDownload_; // this podcast's downloads
    std::unordered_map<std::string, Download> downloads_;  // by episode key
};

class EpisodeFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit EpisodeFilter(EpisodeTableModel* rows, QObject* parent = nullptr);

    // Only episodes in `state`; none: all.
    void SetState(std::optional<EpisodeState> state);
    // Only episodes whose title holds each word of `text`, ignoring case.
    void SetSearch(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    EpisodeTableModel* rows_;
    std::optional<EpisodeState> state_;
    QStringList words_;
};

} // namespace tessarine
