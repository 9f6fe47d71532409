#include "mainwindow/DownloadCommands.h"

#include "core/library/PodcastLibrary.h"
#include "core/util/Strings.h"
#include "display/DisplayText.h"
#include "mainwindow/DownloadTableModel.h"
#include "mainwindow/ReportListView.h"
#include "platform/Desktop.h"

#include <QAction>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QUrl>

namespace tessarine {
namespace {

QString Text(int id) {
    return QString::fromStdString(LoadResString(id));
}

} // namespace

DownloadCommands::DownloadCommands(QWidget* window, PodcastLibrary& library, ReportListView* list,
                                   DownloadTableModel* rows)
    : QObject(window), window_(window), library_(library), list_(list), rows_(rows),
      menu_(new QMenu(window)) {
    menu_->setObjectName("DownloadContext");
    const auto add = [this](int textId, auto command) {
        QAction* action = menu_->addAction(Text(textId));
        connect(action, &QAction::triggered, this,
                [this, command] { (this->*command)(rows_->RowOf(menuDownload_)); });
        return action;
    };
    open_ = add(TXT_DOWNLOAD_OPEN, &DownloadCommands::Open);
    openFolder_ = add(TXT_DOWNLOAD_OPEN_FOLDER, &DownloadCommands::OpenFolder);
    menu_->addSeparator();
    cancel_ = add(TXT_DOWNLOAD_CANCEL, &DownloadCommands::Cancel);
    retry_ = add(TXT_DOWNLOAD_RETRY, &DownloadCommands::Retry);
    menu_->addSeparator();
    removeFinished_ = menu_->addAction(Text(TXT_DOWNLOAD_REMOVE_FINISHED));
    connect(removeFinished_, &QAction::triggered, this, &DownloadCommands::RemoveFinished);

    // Its header sorts it; a third click on a column returns to queue order.
    list_->header()->setSortIndicatorClearable(true);
    list_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    list_->setSortingEnabled(true);
}

int DownloadCommands::CurrentRow() const {
    const QModelIndexList selected = list_->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

long long DownloadCommands::Download(int row) const {
    return rows_->DownloadAt(row);
}

void DownloadCommands::Prepare(int row) {
    menuDownload_ = rows_->DownloadAt(row);
    const DownloadFacts* facts = rows_->Facts(rows_->DownloadAt(row));
    const DownloadState state = facts != nullptr ? facts->state : DownloadState::Removed;
    open_->setEnabled(state == DownloadState::Done);
    openFolder_->setEnabled(facts != nullptr);
    cancel_->setEnabled(state == DownloadState::Waiting || state == DownloadState::Downloading);
    retry_->setEnabled(state == DownloadState::Failed || state == DownloadState::Cancelled);
    bool anyFinished = false;
    for (int r = 0; r < rows_->rowCount() && !anyFinished; ++r) {
        const DownloadState s = rows_->Facts(rows_->DownloadAt(r))->state;
        anyFinished =
            s == DownloadState::Done || s == DownloadState::Failed || s == DownloadState::Cancelled;
    }
    removeFinished_->setEnabled(anyFinished);
}

void DownloadCommands::PopupAtRow(int row) {
    QPoint at(0, 0);
    if (rows_->DownloadAt(row) >= 0) {
        list_->SelectRow(row);
        list_->scrollTo(rows_->index(row, 0));
        at = list_->visualRect(rows_->index(row, 0)).bottomLeft();
    } else {
        row = -1;
    }
    Prepare(row);
    menu_->popup(list_->viewport()->mapToGlobal(at));
}

void DownloadCommands::PopupAt(QPoint globalPos) {
    const QModelIndex index = list_->indexAt(list_->viewport()->mapFromGlobal(globalPos));
    if (index.isValid())
        list_->SelectRow(index.row());
    Prepare(index.isValid() ? index.row() : -1);
    menu_->popup(globalPos);
}

void DownloadCommands::OpenRow(int row) {
    const DownloadFacts* facts = rows_->Facts(rows_->DownloadAt(row));
    if (facts == nullptr)
        return;
    // A download that failed or was cancelled has no file to open: the user
    // learns why instead.
    const QString file = QString::fromStdString(facts->file);
    if (facts->state == DownloadState::Failed)
        ShowMessageBox(
            window_, QMessageBox::Warning,
            QString::fromStdString(FormatText(LoadResString(TXT_DOWNLOAD_FAILED_BECAUSE),
                                              {facts->file, FailureText(facts->reason)})));
    else if (facts->state == DownloadState::Cancelled)
        ShowMessageBox(
            window_, QMessageBox::Information,
            QString::fromStdString(FormatResString(TXT_DOWNLOAD_WAS_CANCELLED, facts->file)));
    else
        Open(row);
}

void DownloadCommands::Open(int row) {
    if (const std::optional<std::string> path = library_.DownloadFileOf(Download(row)))
        OpenWithDesktop(
            QUrl::fromLocalFile(QFileInfo(QString::fromStdString(*path)).absoluteFilePath()));
}

void DownloadCommands::OpenFolder(int row) {
    if (const std::optional<std::string> path = library_.DownloadFileOf(Download(row)))
        OpenWithDesktop(
            QUrl::fromLocalFile(QFileInfo(QString::fromStdString(*path)).absolutePath()));
}

void DownloadCommands::Cancel(int row) {
    if (Download(row) >= 0)
        library_.CancelDownload(Download(row));
}

void DownloadCommands::Retry(int row) {
    if (Download(row) >= 0)
        library_.RetryDownload(Download(row));
}

void DownloadCommands::RemoveFinished() {
    library_.RemoveFinishedDownloads();
}

} // namespace tessarine
