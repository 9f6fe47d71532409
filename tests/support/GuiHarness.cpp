#include "support/GuiHarness.h"

#include "platform/Desktop.h"
#include "platform/SystemTray.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QSettings>
#include <QTimer>

#include <filesystem>

namespace tessarine::test {
namespace {

// The next scripted answer, taken from `answers`; `otherwise` when none is left.
template <typename T> T Next(std::deque<T>& answers, T otherwise) {
    if (answers.empty())
        return otherwise;
    T answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

GuiHarness::GuiHarness() {
    std::filesystem::create_directories(root.Path() / "config");
    xdg_ = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", (root.Path() / "config").string());
    // The program's own state (the record of the last checks) stays here too.
    cache_ = std::make_unique<ScopedEnv>("XDG_CACHE_HOME", (root.Path() / "cache").string());
    home_ = std::make_unique<ScopedEnv>("HOME", root.Base() + "home");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString((root.Path() / "config").string()));
    SetShowMessageBox([this](QWidget*, QMessageBox::Icon, const QString& text,
                             QMessageBox::StandardButtons buttons) {
        messages << text;
        return Next(answers, (buttons & QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok);
    });
    SetOpenWithDesktop([this](const QUrl& url) {
        opened.push_back(url);
        return Next(openResults, true);
    });
    SetChooseFolder([this](QWidget*, const QString&, const QString& start) {
        folderChooserStarts << start;
        return Next(chosenFolders, QString());
    });
    for (const QString kind : {"open", "save"}) {
        auto chooser = [this, kind](QWidget*, const QString& caption, const QString& filter) {
            fileChoosers.push_back({kind, caption, filter});
            return Next(chosenFiles, QString());
        };
        (kind == "save" ? SetChooseSaveFile : SetChooseOpenFile)(chooser);
    }
    SetHasSystemTray([this] { return systemTray; });
}

GuiHarness::~GuiHarness() {
    SetChooseOpenFile({});
    SetChooseSaveFile({});
    SetShowMessageBox({});
    SetOpenWithDesktop({});
    SetChooseFolder({});
    SetHasSystemTray({});
}

void GuiHarness::SetProfileBaseDirectory(const QString& path) {
    QSettings profile("Orvendale", "Tessarine");
    profile.setValue("Settings/Basedir", path);
    profile.sync();
}

QString GuiHarness::ProfileBaseDirectory() const {
    return QSettings("Orvendale", "Tessarine").value("Settings/Basedir").toString();
}

void OnNextModal(std::function<void(QDialog*)> action) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(dialog);
        }
    });
    timer->start();
}

ModalWatch::ModalWatch(std::function<void(QDialog*)> action) : timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout,
                     [action = std::move(action), seen = QPointer<QDialog>()]() mutable {
                         auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                         if (dialog == nullptr || dialog == seen)
                             return;
                         seen = dialog;
                         action(dialog);
                     });
    timer_->start(10);
}

ModalWatch::~ModalWatch() = default;

} // namespace tessarine::test
