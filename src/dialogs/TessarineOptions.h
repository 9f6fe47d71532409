#pragma once
// The settings dialog: the two behaviour options and autostart.

#include "core/model/Subscription.h"

#include <QDialog>

class QCheckBox;

namespace tessarine {

class TessarineOptions : public QDialog {
    Q_OBJECT
public:
    explicit TessarineOptions(QWidget* parent = nullptr);

    // Runs the dialog modally with the boxes showing `options`. On OK
    // (QDialog::Accepted) the boxes are copied into updateStart, quitComplete
    // and autostart; otherwise `options` stays untouched. The autostart box
    // is disabled when options.runKeyOpen is 0.
    int EditOptions(OptionSet& options);

private:
    QCheckBox* updateStartBox_;   // 1011
    QCheckBox* quitCompleteBox_;  // 1012
    QCheckBox* autostartBox_;     // 1016
};

} // namespace tessarine
