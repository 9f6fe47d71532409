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
#include <QStyledItemDelegate>
#include <QTableWidget>
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

// Icons beside the first line of a row, as its texts are.
class TopAlignedDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->decorationAlignment = Qt::AlignLeft | Qt::AlignTop;
    }
};

} // namespace

MessagesWindow::MessagesWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("messagesWindow"));
    setWindowTitle(Text(TXT_MESSAGES_CAPTION));
    setModal(false);

    list_ = new QTableWidget(0, 2, this);
    list_->setObjectName(QStringLiteral("messageList"));
    list_->setHorizontalHeaderLabels({Text(TXT_MESSAGES_TIME), Text(TXT_MESSAGES_TEXT)});
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->horizontalHeader()->setSectionResizeMode(ColumnTime, QHeaderView::ResizeToContents);
    list_->horizontalHeader()->setHighlightSections(false);
    // Rows as high as their wrapped text.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list_->verticalHeader()->hide();
    list_->setShowGrid(false);
    list_->setWordWrap(true);
    list_->setTextElideMode(Qt::ElideNone);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setItemDelegate(new TopAlignedDelegate(list_));

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
    resize(metrics.averageCharWidth() * 100, metrics.lineSpacing() * 18);
}

void MessagesWindow::Add(const Message& message) {
    AddText(QString::fromStdString(MessageWithReason(message)),
            message.kind == Message::Kind::Error, QDateTime::currentDateTime());
}

void MessagesWindow::AddText(const QString& text, bool error, const QDateTime& time) {
    while (list_->rowCount() >= kMaxRows)
        list_->removeRow(0);
    const int row = list_->rowCount();
    list_->insertRow(row);
    auto* when = new QTableWidgetItem;
    when->setData(kTimeRole, time);
    when->setIcon(style()->standardIcon(error ? QStyle::SP_MessageBoxCritical
                                              : QStyle::SP_MessageBoxInformation));
    auto* what = new QTableWidgetItem(OneParagraph(text));
    for (QTableWidgetItem* item : {when, what})
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
    list_->setItem(row, ColumnTime, when);
    list_->setItem(row, ColumnText, what);
    RefreshTimes();
    list_->scrollToBottom();
    Open();
}

int MessagesWindow::RowCount() const { return list_->rowCount(); }

QString MessagesWindow::TimeAt(int row) const {
    const QTableWidgetItem* item = list_->item(row, ColumnTime);
    return item != nullptr ? item->text() : QString();
}

QString MessagesWindow::TextAt(int row) const {
    const QTableWidgetItem* item = list_->item(row, ColumnText);
    return item != nullptr ? item->text() : QString();
}

QString MessagesWindow::CopiedText() const {
    const QModelIndexList chosen = list_->selectionModel()->selectedRows();
    QStringList lines;
    for (int row = 0; row < RowCount(); ++row)
        if (chosen.isEmpty() || list_->selectionModel()->isRowSelected(row))
            lines << TimeAt(row) + QLatin1Char('\t') + TextAt(row);
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

void MessagesWindow::Clear() { list_->setRowCount(0); }

void MessagesWindow::RefreshTimes() {
    const QDate today = QDate::currentDate();
    for (int row = 0; row < RowCount(); ++row) {
        QTableWidgetItem* item = list_->item(row, ColumnTime);
        const QDateTime time = item->data(kTimeRole).toDateTime();
        item->setText(time.toString(time.date() == today ? QStringLiteral("HH:mm:ss")
                                                         : QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    }
}

} // namespace tessarine
