#include "platform/Desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
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
ShowMessageBoxFn& MessageHook() {
    static ShowMessageBoxFn hook;
    return hook;
}
std::vector<QPointer<QMessageBox>>& OpenBoxes() {
    static std::vector<QPointer<QMessageBox>> boxes;
    return boxes;
}

} // namespace

bool OpenWithDesktop(const QUrl& url) {
    if (OpenHook())
        return OpenHook()(url);
    return QDesktopServices::openUrl(url);
}

void SetOpenWithDesktop(OpenWithDesktopFn fn) { OpenHook() = std::move(fn); }

QString ChooseFolder(QWidget* parent, const QString& caption) {
    if (ChooseHook())
        return ChooseHook()(parent, caption);
    return QFileDialog::getExistingDirectory(parent, caption);
}

void SetChooseFolder(ChooseFolderFn fn) { ChooseHook() = std::move(fn); }

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
