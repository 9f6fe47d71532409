#pragma once
// The Find Podcasts window's result list: what a directory found, one row per
// podcast with its artwork, title, author, number of episodes, genre and
// latest episode, and whether it is in the subscription list already. The
// artwork shows once the thumbnails have it; the window asks for the rows in
// view only.

#include "core/search/PodcastDirectory.h"
#include "mainwindow/ReportTableModel.h"

#include <QIcon>

#include <set>
#include <string>
#include <vector>

namespace tessarine {

class ArtworkThumbnails;

class SearchResultModel : public ReportTableModel {
    Q_OBJECT
public:
    enum Column { ColumnTitle, ColumnAuthor, ColumnEpisodes, ColumnGenre, ColumnLatest, ColumnStatus };

    SearchResultModel(ArtworkThumbnails& thumbnails, QObject* parent);

    // The artwork's place in a row, also while it loads or where there is none.
    void SetArtworkSize(QSize size);
    // Shows `results` in their order (the directory's best first).
    void SetResults(std::vector<DirectoryResult> results);
    const DirectoryResult* ResultAt(int row) const;
    bool IsSubscribed(int row) const;
    // The subscription list's feeds, as FeedAddressKey gives them: results
    // of these feeds, in any spelling, are marked as subscribed to.
    void SetSubscribed(std::set<std::string> feedKeys);
    // Asks the thumbnails for the artwork of rows first..last.
    void RequestArtwork(int first, int last);

    QString Cell(int row, int column) const override;
    QString ToolTip(int row, int column) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    int rowCount(const QModelIndex& parent = {}) const override;

private:
    void OnThumbnail(const QString& url);
    // Whether `result`'s feed is among the subscribed ones.
    bool Listed(const DirectoryResult& result) const;

    ArtworkThumbnails& thumbnails_;
    std::set<std::string> subscribed_;
    std::vector<DirectoryResult> results_;
    std::vector<bool> marked_; // per row, Listed as last announced
    QIcon blank_; // the artwork's place while it loads, or where there is none
};

} // namespace tessarine
