#pragma once
// The Information dialog: what the program does, its command-line switches
// and an example feed URL to copy into the subscribe dialog.

#include <QDialog>
#include <QString>

class QLineEdit;

namespace tessarine {

class TessarineInfo : public QDialog {
    Q_OBJECT
public:
    explicit TessarineInfo(QWidget* parent = nullptr);

    const QString& ExampleUrl() const { return exampleUrl_; }

private:
    QString exampleUrl_;
    QLineEdit* exampleEdit_;  // 1019
};

} // namespace tessarine
