#include "dialogs/PodcastIndexKeyDlg.h"

#include "dialogs/DialogTemplate.h"

#include <QShowEvent>

namespace tessarine {

PodcastIndexKeyDlg::PodcastIndexKeyDlg(QWidget* parent) : QDialog(parent) {
    DialogTemplate form(this, TXT_KEY_CAPTION, 260, 103);
    form.Label(ResText(TXT_KEY_INTRO), "keyIntro", 7, 7, 246, 34, true)
        ->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QLabel* keyLabel = form.Label(ResText(TXT_KEY_KEY_LABEL), "keyLabel", 7, 48, 62, 8);
    keyEdit_ = form.Edit("indexKey", 70, 46, 183, 12);
    QLabel* secretLabel = form.Label(ResText(TXT_KEY_SECRET_LABEL), "secretLabel", 7, 64, 62, 8);
    secretEdit_ = form.Edit("indexSecret", 70, 62, 183, 12);
    // Shown while it is typed or pasted, hidden once the field is left.
    secretEdit_->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    keyLabel->setBuddy(keyEdit_);
    secretLabel->setBuddy(secretEdit_);
    QPushButton* ok = form.OkButton(75, 82);
    form.CancelButton(134, 82);
    const auto enableOk = [this, ok] {
        ok->setEnabled(keyEdit_->text().trimmed().isEmpty() ==
                       secretEdit_->text().trimmed().isEmpty());
    };
    connect(keyEdit_, &QLineEdit::textChanged, this, enableOk);
    connect(secretEdit_, &QLineEdit::textChanged, this, enableOk);
    enableOk();
    keyEdit_->setFocus();
}

void PodcastIndexKeyDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        keyEdit_->setText(key);
        secretEdit_->setText(secret);
    }
    QDialog::showEvent(event);
}

void PodcastIndexKeyDlg::done(int result) {
    if (result == Accepted) {
        key = keyEdit_->text().trimmed();
        secret = secretEdit_->text().trimmed();
    }
    QDialog::done(result);
}

} // namespace tessarine
