#pragma once
// Asks for the Podcast Index's API key and its secret, which sign every
// search sent there.

#include <QDialog>
#include <QString>

class QLineEdit;

namespace tessarine {

class PodcastIndexKeyDlg : public QDialog {
    Q_OBJECT
public:
    explicit PodcastIndexKeyDlg(QWidget* parent = nullptr);

    // Shown in the fields when the dialog opens, taken from them (trimmed)
    // on OK, which stays disabled while only one of the two is filled in:
    // both empty forget the key.
    QString key;
    QString secret;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* keyEdit_;
    QLineEdit* secretEdit_;
};

} // namespace tessarine
