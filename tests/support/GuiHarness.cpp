#include "support/GuiHarness.h"

#include "platform/Desktop.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <filesystem>

namespace tessarine::test {

GuiHarness::GuiHarness() {
    std::filesystem::create_directories(root.Path() / "config");
    xdg_ = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", (root.Path() / "config").string());
    // The program's own state (the record of the last checks) stays here too.
    cache_ = std::make_unique<ScopedEnv>("XDG_CACHE_HOME", (root.Path() / "cache").string());
    home_ = std::make_unique<ScopedEnv>("HOME", root.Base() + "home");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString((root.Path() / "config").string()));
    SetShowMessageBox([this](QWidget*, QMessageBox::Icon icon, const QString& text,
                             QMessageBox::StandardButtons buttons) {
        messages.push_back({icon, text});
        if (!answers.empty()) {
            const auto answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return (buttons & QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
    });
    SetOpenWithDesktop([this](const QUrl& url) {
        opened.push_back(url);
        if (openResults.empty())
            return true;
        const bool result = openResults.front();
        openResults.pop_front();
        return result;
    });
    SetChooseFolder([this](QWidget*, const QString&) {
        ++chooserCalls;
        if (chosenFolders.empty())
            return QString();
        const QString folder = chosenFolders.front();
        chosenFolders.pop_front();
        return folder;
    });
    for (const bool save : {false, true}) {
        auto chooser = [this, save](QWidget*, const QString& caption, const QString& filter) {
            fileChoosers.push_back({save, caption, filter});
            if (chosenFiles.empty())
                return QString();
            const QString file = chosenFiles.front();
            chosenFiles.pop_front();
            return file;
        };
        if (save)
            SetChooseSaveFile(chooser);
        else
            SetChooseOpenFile(chooser);
    }
}

GuiHarness::~GuiHarness() {
    SetChooseOpenFile({});
    SetChooseSaveFile({});
    SetShowMessageBox({});
    SetOpenWithDesktop({});
    SetChooseFolder({});
}

void GuiHarness::SetProfileBaseDirectory(const QString& path) {
    QSettings profile("Orvendale", "Tessarine");
    profile.setValue("Settings/Basedir", path);
    profile.sync();
}

QString GuiHarness::ProfileBaseDirectory() const {
    QSettings profile("Orvendale", "Tessarine");
    return profile.value("Settings/Basedir").toString();
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

} // namespace tessarine::test
