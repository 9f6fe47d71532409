#pragma once
// The download list's commands and its context menu: open a download's file
// or folder, cancel, retry, take the finished rows off the list, and the
// double-click (or Enter) on a row, which opens its file or, for a download
// that failed or was cancelled, tells why there is none. The commands act
// through the library; the list follows its events.

#include <QObject>
#include <QPoint>

class QAction;
class QMenu;
class QWidget;

namespace tessarine {

class DownloadTableModel;
class PodcastLibrary;
class ReportListView;

class DownloadCommands : public QObject {
    Q_OBJECT
public:
    // Commands on `list`, which shows `rows`, as a child of `window`; the
    // list's header sorts it by any column.
    DownloadCommands(QWidget* window, PodcastLibrary& library, ReportListView* list,
                     DownloadTableModel* rows);

    QMenu* ContextMenu() const { return menu_; }
    // Selects `row` and opens the context menu beside it (the Menu key,
    // Shift+F10); with no row (-1) at the list's top-left corner, where only
    // the commands for the whole list are offered.
    void PopupAtRow(int row);
    // The context menu at `globalPos` for the row there, if any.
    void PopupAt(QPoint globalPos);
    // The double-click or Enter on `row`.
    void OpenRow(int row);
    // The row the commands act on: the selected one, -1 when none is.
    int CurrentRow() const;

    // The commands on a row; nothing outside the list.
    void Open(int row);
    void OpenFolder(int row);
    void Cancel(int row);
    void Retry(int row);
    void RemoveFinished();

private:
    // Offers what fits the state of `row` (-1: no row).
    void Prepare(int row);
    // The library's number for the download in `row`; -1 for none.
    long long Download(int row) const;

    QWidget* window_;
    PodcastLibrary& library_;
    ReportListView* list_;
    DownloadTableModel* rows_;
    QMenu* menu_;
    QAction* open_;
    QAction* openFolder_;
    QAction* cancel_;
    QAction* retry_;
    QAction* removeFinished_;
    // The download the open menu is for (-1: none): its row may move meanwhile.
    int menuDownload_ = -1;
};

} // namespace tessarine
