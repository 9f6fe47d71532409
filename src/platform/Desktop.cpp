#include "platform/Desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>

#include <vector>

namespace tessarine {
namespace {

OpenWithDesktopFn& OpenHook() {
    static OpenWithDesktopFn hook;
    return hook;
}
ChooseFolderFn& ChooseHook() {
    static ChooseFolderFn hook;
    return hook;
}
ChooseFileFn& OpenFileHook() {
    static ChooseFileFn hook;
    return hook;
}
ChooseFileFn& SaveFileHook() {
    static ChooseFileFn hook;
    return hook;
}
ShowMessageBoxFn& MessageHook() {
    static ShowMessageBoxFn hook;
    return hook;
}
std::vector<QPointer<QMessageBox>>& OpenBoxes() {
    static std::vector<QPointer<QMessageBox>> boxes;
    return boxes;
}

// Qt's own file dialog has no place for a prompt: it goes into a label above
// the dialog's rows. A native chooser shows the window title instead.
void ShowPromptInDialog(QFileDialog& dialog, const QString& prompt) {
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (grid == nullptr)
        return;
    struct Cell {
        QLayoutItem* item;
        int row, column, rowSpan, columnSpan;
    };
    std::vector<Cell> cells;
    for (int i = grid->count() - 1; i >= 0; --i) {
        Cell cell{nullptr, 0, 0, 0, 0};
        grid->getItemPosition(i, &cell.row, &cell.column, &cell.rowSpan, &cell.columnSpan);
        cell.item = grid->takeAt(i);
        cells.push_back(cell);
    }
    auto* label = new QLabel(prompt, &dialog);
    label->setObjectName(QStringLiteral("tessarinePrompt"));
    label->setWordWrap(true);
    int columns = 1;
    for (const Cell& cell : cells)
        columns = std::max(columns, cell.column + cell.columnSpan);
    grid->addWidget(label, 0, 0, 1, columns);
    for (auto it = cells.rbegin(); it != cells.rend(); ++it)
        grid->addItem(it->item, it->row + 1, it->column, it->rowSpan, it->columnSpan);
}

} // namespace

bool OpenWithDesktop(const QUrl& url) {
    if (OpenHook())
        return OpenHook()(url);
    return QDesktopServices::openUrl(url);
}

void SetOpenWithDesktop(OpenWithDesktopFn fn) { OpenHook() = std::move(fn); }

QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startFolder) {
    if (ChooseHook())
        return ChooseHook()(parent, caption, startFolder);
    // Without DontUseNativeDialog Qt shows the desktop's own chooser where its
    // platform theme offers one (the XDG desktop portal, GTK, Plasma), and
    // its own dialog otherwise.
    QFileDialog dialog(parent, caption, startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setSupportedSchemes({QStringLiteral("file")});
    ShowPromptInDialog(dialog, caption);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedUrls().value(0).toLocalFile();
}

void SetChooseFolder(ChooseFolderFn fn) { ChooseHook() = std::move(fn); }

QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& filter) {
    if (OpenFileHook())
        return OpenFileHook()(parent, caption, filter);
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setSupportedSchemes({QStringLiteral("file")});
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedUrls().value(0).toLocalFile();
}

QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filter,
                       const QString& defaultSuffix) {
    if (SaveFileHook())
        return SaveFileHook()(parent, caption, filter);
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setSupportedSchemes({QStringLiteral("file")});
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedUrls().value(0).toLocalFile();
}

void SetChooseOpenFile(ChooseFileFn fn) { OpenFileHook() = std::move(fn); }
void SetChooseSaveFile(ChooseFileFn fn) { SaveFileHook() = std::move(fn); }

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons) {
    if (MessageHook())
        return MessageHook()(parent, icon, text, buttons);
    QMessageBox box(icon, QApplication::applicationDisplayName(), text, buttons, parent);
    OpenBoxes().emplace_back(&box);
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    std::erase_if(OpenBoxes(), [&](const QPointer<QMessageBox>& p) { return p == &box || !p; });
    return answer;
}

void OpenMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                    std::function<void()> closed) {
    if (MessageHook()) {
        MessageHook()(parent, icon, text, QMessageBox::Ok);
        QMetaObject::invokeMethod(qApp, std::move(closed), Qt::QueuedConnection);
        return;
    }
    auto* box = new QMessageBox(icon, QApplication::applicationDisplayName(), text,
                                QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    OpenBoxes().emplace_back(box);
    QObject::connect(box, &QDialog::finished, qApp, [box, closed = std::move(closed)] {
        std::erase_if(OpenBoxes(),
                      [&](const QPointer<QMessageBox>& p) { return p == box || !p; });
        QMetaObject::invokeMethod(qApp, closed, Qt::QueuedConnection);
    });
    box->show();
}

void SetShowMessageBox(ShowMessageBoxFn fn) { MessageHook() = std::move(fn); }

void CloseOpenMessageBoxes() {
    // A closing box takes itself off the list: go through a copy.
    const std::vector<QPointer<QMessageBox>> boxes = OpenBoxes();
    for (const QPointer<QMessageBox>& box : boxes)
        if (box)
            box->reject();
}

} // namespace tessarine
