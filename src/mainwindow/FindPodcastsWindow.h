#pragma once
// The Find Podcasts window: a podcast looked up by its name in a public
// directory (the Apple directory, or the Podcast Index with the user's key),
// the podcasts found listed with their artwork, those subscribed to already
// marked, and a subscription to a result made as the subscribe dialog makes
// one. The search runs on a worker, so the window stays usable meanwhile; a
// new search or closing the window ends the one under way. Nothing is sent
// anywhere until the user searches, and then only to the directory chosen.

#include "core/library/PodcastLibrary.h"
#include "core/net/HttpMessage.h"
#include "core/search/PodcastDirectory.h"

#include <QDialog>
#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessarine {

class ArtworkThumbnails;
class ReportListView;
class SearchResultModel;

class FindPodcastsWindow : public QDialog {
    Q_OBJECT
public:
    struct Options {
        HttpOptions http = DirectoryHttpOptions(); // for the searches and the artwork
        std::string artworkFolder{};               // where thumbnails are kept; none when empty
    };
    // Subscribes to a result's feed address as the subscribe command does,
    // telling the user of a refusal; true when it was added.
    using SubscribeFn = std::function<bool(const std::string& feedUrl)>;

    // A window of `owner`, showing which results `library` lists already.
    FindPodcastsWindow(QWidget* owner, const PodcastLibrary& library, Options options,
                       SubscribeFn subscribe);
    // Ends the search under way and waits for the workers.
    ~FindPodcastsWindow() override;

    // Shows the window in front with the focus in the search field.
    void Open();
    // Searches the chosen directory for the field's term.
    void Search();
    // Subscribes to the selected result.
    void SubscribeSelected();
    // Marks the results again after the subscription list changed.
    void RefreshMarks();

    bool IsSearching() const { return searching_; }
    ReportListView* Results() const { return list_; }
    SearchResultModel* Model() const { return model_; }
    ArtworkThumbnails& Thumbnails() const { return *thumbnails_; }
    QString StatusText() const;

    // The directory the window searches as chosen now.
    std::unique_ptr<PodcastDirectory> ChosenDirectory() const;

signals:
    // A search's answer is shown (results, or why there are none).
    void searchEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    // Shows the answers the workers handed over (see Search).
    void TakeAnswers();

private:
    void CreateControls();
    void OnDirectoryChosen(int index);
    // Asks for the Podcast Index's key; false when none was given.
    bool EditIndexKey();
    void ShowDirectoryAnswer(const QString& directory, const QString& term,
                             DirectorySearch answer);
    // Ends the search under way: its answer, should it come, is dropped.
    void CancelSearch();
    void SetStatus(const QString& text);
    void UpdateButtons();
    // Asks for the artwork of the rows in view.
    void RequestVisibleArtwork();

    const PodcastLibrary& library_;
    Options options_;
    SubscribeFn subscribe_;
    std::unique_ptr<ArtworkThumbnails> thumbnails_;
    SearchResultModel* model_ = nullptr;

    QComboBox* directory_ = nullptr;
    QPushButton* keyButton_ = nullptr;
    QLineEdit* term_ = nullptr;
    QPushButton* search_ = nullptr;
    ReportListView* list_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* subscribeButton_ = nullptr;
    QPushButton* close_ = nullptr;

    // Answers handed from a search's worker to the window: through a lock of
    // our own, as the event queue's lock is hidden from the race checker.
    struct Answer {
        int generation = 0;
        QString name, term;
        DirectorySearch search;
    };
    std::mutex answersMutex_;
    std::vector<Answer> answers_; // guarded by answersMutex_

    // The searches' threads by generation: each joined once its answer is
    // taken (it has handed it over and only returns then), the rest when
    // the window goes.
    std::map<int, std::thread> searches_;
    std::shared_ptr<std::atomic<bool>> cancel_; // of the search under way
    int generation_ = 0; // counts searches: only the latest one's answer shows
    bool searching_ = false;
};

} // namespace tessarine
