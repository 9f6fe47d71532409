#pragma once
// The settings dialog: the two behaviour options and autostart, what the
// window does while it runs (a periodic check, the tray), and the defaults
// of every podcast's options.

#include "core/library/PodcastLibrary.h"
#include "core/model/Subscription.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QPushButton;
class QSpinBox;

namespace tessarine {

class SettingRowsForm;

class TessarineOptions : public QDialog {
    Q_OBJECT
public:
    explicit TessarineOptions(QWidget* parent = nullptr);

    // Runs the dialog modally with the boxes showing `options`. On OK
    // (QDialog::Accepted) the boxes are copied into updateStart, quitComplete
    // and autostart; otherwise `options` stays untouched. The autostart box
    // is disabled when options.runKeyOpen is 0.
    int EditOptions(OptionSet& options);

    // The defaults of every podcast (as SettingsOf gives them for the
    // default) and whether they can be changed (the episode library is open).
    void SetPodcastDefaults(const std::vector<SettingRow>& rows, bool changeable);
    // After OK: the defaults the user changed.
    std::vector<PodcastLibrary::SettingChange> PodcastDefaultChanges() const;
    // What the window does while it runs: "Check for new items" every
    // `checkEveryHours` hours (0: never), and whether closing the window
    // keeps the program running in the tray.
    void SetWatchOptions(int checkEveryHours, bool keepInTray);
    int CheckEveryHours() const;
    bool KeepInTray() const;

private:
    QCheckBox* updateStartBox_;   // 1011
    QCheckBox* quitCompleteBox_;  // 1012
    QCheckBox* autostartBox_;     // 1016
    QCheckBox* checkEveryBox_;
    QSpinBox* checkEveryHours_;
    QCheckBox* keepInTrayBox_;
    SettingRowsForm* defaults_;
    QPushButton* ok_;
};

} // namespace tessarine
