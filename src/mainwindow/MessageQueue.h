#pragma once
// Message boxes shown one after another (a settings file that could not be
// read, told at start-up): each box opens when the one before it is closed,
// and nobody waits for any of them, so a check goes on while the user reads.
// The checks' own messages go into the MessagesWindow instead.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <deque>

namespace tessarine {

class MessageQueue : public QObject {
    Q_OBJECT
public:
    explicit MessageQueue(QWidget* owner);

    // Shows `text` now, or after the messages before it.
    void Show(const QString& text);
    // No message is open and none waits.
    bool IsIdle() const { return !open_ && waiting_.empty(); }
    // Drops the waiting messages and closes the open one.
    void CloseAll();

signals:
    // The last message has been closed.
    void idle();

private:
    void ShowNext();

    QPointer<QWidget> owner_;
    std::deque<QString> waiting_;
    bool open_ = false;
};

} // namespace tessarine
