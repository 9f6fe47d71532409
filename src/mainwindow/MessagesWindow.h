#pragma once
// The messages of the checks, gathered in one window instead of a box each:
// a list of their times and texts, newest last, that opens with the first
// message and takes the following ones while it is open. It is not modal,
// so the checks and the main window go on while the user reads, and it
// never takes the focus from a dialog the user is in. Rows stay (with their
// times) until the user clears them, whatever cycle they came from.

#include "core/model/LibraryEvents.h"

#include <QDateTime>
#include <QDialog>
#include <QString>

class QPushButton;
class QTableWidget;

namespace tessarine {

class MessagesWindow : public QDialog {
    Q_OBJECT
public:
    // A window of `owner`, which it stays in front of.
    explicit MessagesWindow(QWidget* owner);

    // Adds `message` (its text and its reason) as the last row and opens the
    // window when it is closed.
    void Add(const Message& message);
    // Adds a row of `text` at `time`; `error` chooses its icon.
    void AddText(const QString& text, bool error, const QDateTime& time);

    int RowCount() const;
    // The time and the text of a row as shown.
    QString TimeAt(int row) const;
    QString TextAt(int row) const;
    // The rows chosen (all when none is selected), one line each: "time\ttext".
    QString CopiedText() const;

    // At most this many rows are kept; the oldest go first.
    static constexpr int kMaxRows = 1000;

signals:
    // The user closed the window (or the program did).
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Open();
    void Copy();
    void Clear();
    // Times of today show the time alone, older ones their date too.
    void RefreshTimes();

    QTableWidget* list_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace tessarine
