#pragma once
// A temporary world for GUI tests: home folder, profile and autostart under a
// temporary folder, and the desktop seams (open, folder and file choosers,
// message boxes) replaced by recorders with scripted answers.

#include "support/TestSupport.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tessarine::test {

class GuiHarness {
public:
    GuiHarness();
    ~GuiHarness();

    // Stores a base directory in the profile.
    void SetProfileBaseDirectory(const QString& path);
    QString ProfileBaseDirectory() const;
    // The texts of the message boxes shown since the last call.
    QStringList Told() { return std::exchange(messages, {}); }

    QStringList messages;                            // the texts of the message boxes shown
    std::deque<QMessageBox::StandardButton> answers; // next answers; Ok/No when empty
    std::vector<QUrl> opened;
    std::deque<bool> openResults;      // next results of the desktop's open; success when empty
    std::deque<QString> chosenFolders; // next folder chooser answers; cancel when empty
    QStringList folderChooserStarts;   // the folder each folder chooser opened at
    // The file choosers: next answers (cancel when empty) and, per call,
    // "open" or "save", its caption and its filter.
    std::deque<QString> chosenFiles;
    std::vector<QStringList> fileChoosers;
    bool systemTray = false; // whether the desktop has a tray (offscreen has none)

    TempDir root;

private:
    std::unique_ptr<ScopedEnv> xdg_, cache_;
    std::unique_ptr<ScopedEnv> home_; // a first start's base directory goes below it
};

// Runs `action` on the next modal dialog that opens (from within its exec()).
void OnNextModal(std::function<void(class QDialog*)> action);

// Runs `action` once on each modal dialog that opens while it lives.
class ModalWatch {
public:
    explicit ModalWatch(std::function<void(QDialog*)> action);
    ~ModalWatch();

private:
    std::unique_ptr<class QTimer> timer_;
};

} // namespace tessarine::test
