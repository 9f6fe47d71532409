#include "dialogs/TessarineAddFeedDlg.h"

#include "dialogs/DialogTemplate.h"

#include <QShowEvent>

#include <limits>

namespace tessarine {

TessarineAddFeedDlg::TessarineAddFeedDlg(QWidget* parent) : QDialog(parent) {
    DialogTemplate form(this, TXT_SUBSCRIBE_CAPTION, 260, 66);
    form.Label(ResText(TXT_SUBSCRIBE_URL_LABEL), "urlLabel", 7, 7, 246, 8);
    urlEdit_ = form.Edit("feedUrl", 7, 18, 246, 12);
    // Any length is accepted, as it is any text.
    urlEdit_->setMaxLength(std::numeric_limits<int>::max());
    QPushButton* ok = form.OkButton(75, 45);
    form.CancelButton(134, 45);
    // Nothing to subscribe to while the field is empty or blank.
    const auto enableOk = [ok](const QString& text) { ok->setEnabled(!text.trimmed().isEmpty()); };
    connect(urlEdit_, &QLineEdit::textChanged, this, enableOk);
    enableOk(urlEdit_->text());
    urlEdit_->setFocus();
}

void TessarineAddFeedDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        urlEdit_->setText(feedUrl);
    QDialog::showEvent(event);
}

void TessarineAddFeedDlg::done(int result) {
    if (result == Accepted)
        feedUrl = urlEdit_->text();
    QDialog::done(result);
}

} // namespace tessarine
