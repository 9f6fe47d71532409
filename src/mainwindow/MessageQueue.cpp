#include "mainwindow/MessageQueue.h"

#include "platform/Desktop.h"

namespace tessarine {

MessageQueue::MessageQueue(QWidget* owner) : QObject(owner), owner_(owner) {}

void MessageQueue::Show(const QString& text) {
    waiting_.push_back(text);
    if (!open_)
        ShowNext();
}

void MessageQueue::CloseAll() {
    waiting_.clear();
    CloseOpenMessageBoxes();
}

void MessageQueue::ShowNext() {
    if (waiting_.empty()) {
        open_ = false;
        emit idle();
        return;
    }
    open_ = true;
    const QString text = waiting_.front();
    waiting_.pop_front();
    OpenMessageBox(owner_, QMessageBox::Critical, text, [self = QPointer<MessageQueue>(this)] {
        if (self)
            self->ShowNext();
    });
}

} // namespace tessarine
