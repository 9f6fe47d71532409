#pragma once
// The About dialog: the program icon, name, revision and build date, and a
// link to the product's web page.

#include <QDialog>
#include <QString>

namespace tessarine {

class CLinkLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    const QString& AboutText() const { return aboutText_; }
    CLinkLabel* Link() const { return link_; }

private:
    QString aboutText_;
    CLinkLabel* link_;  // 1015
};

} // namespace tessarine
