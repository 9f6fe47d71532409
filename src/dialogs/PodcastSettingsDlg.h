#pragma once
// A podcast's own settings: its address, and its options with each one that
// follows the default shown as "As in Settings". OK changes the address
// first (the manual form of a feed that moved), then the options; what the
// library refuses is told and the dialog stays open.

#include "core/library/PodcastLibrary.h"

#include <QDialog>

#include <optional>

class QLineEdit;

namespace tessarine {

class SettingRowsForm;

class PodcastSettingsDlg : public QDialog {
    Q_OBJECT
public:
    PodcastSettingsDlg(PodcastLibrary& library, SubscriptionPtr record, QWidget* parent = nullptr);

    void accept() override;

private:
    // The example of the file names as the rows name them now.
    void ShowExample();
    // Tells `textId` (formatted with `arg`) in a box; false, for accept.
    void Refuse(int textId, const std::string& arg = {});

    PodcastLibrary& library_;
    SubscriptionPtr record_;
    std::string name_; // the podcast's, for {podcast}
    std::optional<StoredEpisode> newest_;
    bool stored_ = false; // its options are in the episode library
    QLineEdit* urlEdit_;
    SettingRowsForm* rows_;
};

} // namespace tessarine
