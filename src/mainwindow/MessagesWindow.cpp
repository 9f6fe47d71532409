#include "mainwindow/MessagesWindow.h"

#include "core/util/Strings.h"
#include "display/DisplayText.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessarine {
namespace {

QString Text(int id) { return QString::fromStdString(LoadResString(id)); }

enum Column { ColumnTime, ColumnText };
constexpr int kTimeRole = Qt::UserRole;

// A row is one paragraph: the line breaks of a box's text ("Error!\n\n...")
// become blanks, the words stay as they are.
QString OneParagraph(const QString& text) {
    static const QRegularExpression lineBreaks(QStringLiteral("[ \\t]*\\n[\\s]*"));
    return QString(text).replace(lineBreaks, QStringLiteral(" ")).trimmed();
}

} // namespace

MessagesWindow::MessagesWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("messagesWindow"));
    setWindowTitle(Text(TXT_MESSAGES_CAPTION));
    setModal(false);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("messageList"));
    list_->setColumnCount(2);
    list_->setHeaderLabels({Text(TXT_MESSAGES_TIME), Text(TXT_MESSAGES_TEXT)});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(false);
    list_->setWordWrap(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setTextElideMode(Qt::ElideNone);
    list_->header()->setStretchLastSection(true);
    list_->header()->setSectionResizeMode(ColumnTime, QHeaderView::ResizeToContents);
    list_->header()->setSectionsMovable(false);

    copy_ = new QPushButton(Text(TXT_MESSAGES_COPY), this);
    clear_ = new QPushButton(Text(TXT_MESSAGES_CLEAR), this);
    close_ = new QPushButton(Text(TXT_MESSAGES_CLOSE), this);
    copy_->setObjectName(QStringLiteral("copyButton"));
    clear_->setObjectName(QStringLiteral("clearButton"));
    close_->setObjectName(QStringLiteral("closeButton"));
    close_->setDefault(true);
    connect(copy_, &QPushButton::clicked, this, &MessagesWindow::Copy);
    connect(clear_, &QPushButton::clicked, this, &MessagesWindow::Clear);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    // Escape, the close button of the frame and the program's end all end here.
    connect(this, &QDialog::finished, this, &MessagesWindow::closed);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy_);
    buttons->addWidget(clear_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 90, metrics.lineSpacing() * 16);
}

void MessagesWindow::Add(const Message& message) {
    AddText(QString::fromStdString(MessageWithReason(message)),
            message.kind == Message::Kind::Error, QDateTime::currentDateTime());
}

void MessagesWindow::AddText(const QString& text, bool error, const QDateTime& time) {
    while (list_->topLevelItemCount() >= kMaxRows)
        delete list_->takeTopLevelItem(0);
    auto* row = new QTreeWidgetItem;
    row->setData(ColumnTime, kTimeRole, time);
    row->setIcon(ColumnTime, style()->standardIcon(error ? QStyle::SP_MessageBoxCritical
                                                         : QStyle::SP_MessageBoxInformation));
    row->setText(ColumnText, OneParagraph(text));
    for (int column : {ColumnTime, ColumnText})
        row->setTextAlignment(column, Qt::AlignLeft | Qt::AlignTop);
    list_->addTopLevelItem(row);
    RefreshTimes();
    list_->scrollToItem(row);
    if (list_->currentItem() == nullptr)
        list_->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
    Open();
}

int MessagesWindow::RowCount() const { return list_->topLevelItemCount(); }

QString MessagesWindow::TimeAt(int row) const {
    const QTreeWidgetItem* item = list_->topLevelItem(row);
    return item != nullptr ? item->text(ColumnTime) : QString();
}

QString MessagesWindow::TextAt(int row) const {
    const QTreeWidgetItem* item = list_->topLevelItem(row);
    return item != nullptr ? item->text(ColumnText) : QString();
}

QString MessagesWindow::CopiedText() const {
    const bool chosen = !list_->selectedItems().isEmpty();
    QStringList lines;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list_->topLevelItem(i);
        if (!chosen || item->isSelected())
            lines << item->text(ColumnTime) + QLatin1Char('\t') + item->text(ColumnText);
    }
    return lines.join(QLatin1Char('\n'));
}

void MessagesWindow::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MessagesWindow::Open() {
    if (isVisible())
        return; // it gathers: no raising over what the user is doing
    // Into the focus only from the main window itself; over a dialog (a
    // question, the subscribe dialog, an import's counts) the window shows
    // behind it, and the dialog keeps the focus and stays in front.
    QWidget* modal = QApplication::activeModalWidget();
    const bool takeFocus = modal == nullptr && QApplication::activeWindow() == parentWidget();
    setAttribute(Qt::WA_ShowWithoutActivating, !takeFocus);
    show();
    if (takeFocus) {
        raise();
        activateWindow();
        list_->setFocus();
    } else if (modal != nullptr) {
        // Where the platform activates what it shows, the focus goes back.
        modal->raise();
        modal->activateWindow();
    }
}

void MessagesWindow::Copy() {
    if (RowCount() > 0)
        QApplication::clipboard()->setText(CopiedText());
}

void MessagesWindow::Clear() { list_->clear(); }

void MessagesWindow::RefreshTimes() {
    const QDate today = QDate::currentDate();
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        const QDateTime time = item->data(ColumnTime, kTimeRole).toDateTime();
        item->setText(ColumnTime, time.toString(time.date() == today
                                                    ? QStringLiteral("HH:mm:ss")
                                                    : QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    }
}

} // namespace tessarine
