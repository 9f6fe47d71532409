#pragma once
// The subscribe dialog: asks for the URL of a podcast feed.

#include <QDialog>
#include <QString>

class QLineEdit;

namespace tessarine {

class TessarineAddFeedDlg : public QDialog {
    Q_OBJECT
public:
    explicit TessarineAddFeedDlg(QWidget* parent = nullptr);

    // The URL exactly as typed (the subscribe command puts it in its stored
    // form); shown in the field when the dialog opens and taken from it on
    // OK, which stays disabled while the field is empty or blank.
    QString feedUrl;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* urlEdit_;
};

} // namespace tessarine
