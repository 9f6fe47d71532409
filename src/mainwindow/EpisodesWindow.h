#pragma once
// A podcast's Episodes window: every episode the store knows of it, newest
// first, with its date, running time, size and state; a choice of state and
// a search over the titles narrow the list. On the episodes picked: play
// (the desktop's program for the file), show in folder, delete the file,
// download (again) and mark as not wanted, from the buttons, the context
// menu and keys (Enter plays, Delete deletes the file, Ctrl+D downloads).
//
// It follows the library's events while open: the store's record of the
// podcast's episodes changing reads the list again, and a download of one of
// them shows its state and progress in the State column.

#include "core/library/PodcastLibrary.h"
#include "mainwindow/QueuedEngineView.h"

#include <QWidget>

#include <string>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeView;

namespace tessarine {

class EpisodeFilter;
class EpisodeTableModel;

class EpisodesWindow : public QWidget {
    Q_OBJECT
public:
    // A top-level window over `parent` for the podcast `record`; the library
    // outlives it.
    EpisodesWindow(PodcastLibrary& library, SubscriptionPtr record, QWidget* parent);
    ~EpisodesWindow() override;

    const SubscriptionPtr& Record() const { return record_; }
    // Reads the podcast's episodes from the store again.
    void Reload();

    // The library's events, as the main window hands them on.
    void OnEpisodesChanged(const std::string& url);
    void OnDownloadsChanged(const std::vector<DownloadEvent>& events);
    // The subscription list changed: a new name shows in the title; a
    // podcast no longer listed closes its window.
    void OnSubscriptionsChanged();

    // The actions on the episodes picked (with their buttons and the context
    // menu's items).
    enum class Command { Play, ShowInFolder, DeleteFile, Download, NotWanted };
    QAction* Action(Command command) const;
    void Run(Command command);

    // For tests and the benchmark.
    EpisodeTableModel* Rows() const { return rows_; }
    EpisodeFilter* Filter() const { return filter_; }
    QTreeView* View() const { return view_; }
    QComboBox* StateChoice() const { return stateChoice_; }
    QLineEdit* Search() const { return search_; }
    QMenu* ContextMenu() const { return menu_; }
    QLabel* Summary() const { return summary_; }
    // The rows of the model (not the filter) picked now, in list order.
    std::vector<int> PickedRows() const;
    // Selects the episodes with these titles as the list shows them (in the
    // filtered list).
    void Pick(const std::vector<std::string>& titles);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void UpdateTitle();
    void UpdateActions();
    // Whether the episode in `row` can be marked as not wanted: neither
    // downloaded nor skipped, nor under download now.
    bool CanMarkNotWanted(int row) const;
    void UpdateSummary();
    std::vector<std::string> PickedKeys() const;
    // The keys of the picked episodes `take` accepts.
    template <typename Take>
    std::vector<std::string> PickedKeysWhere(Take take) const;

    PodcastLibrary& library_;
    SubscriptionPtr record_;
    std::string url_;  // the record's address as last seen
    std::string name_; // its name as last seen
    EpisodeTableModel* rows_;
    EpisodeFilter* filter_;
    QComboBox* stateChoice_;
    QLineEdit* search_;
    QTreeView* view_;
    QLabel* summary_;
    QLabel* noStore_;
    QMenu* menu_;
    std::vector<QAction*> actions_; // by Command
};

} // namespace tessarine
