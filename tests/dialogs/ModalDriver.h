#pragma once
// Drives a modal dialog from inside its own event loop: `drive` runs once the
// dialog has become the active modal widget.

#include "subscriptions/Strings.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace tessarine::test {

inline void WhenModal(std::function<void(QWidget*)> drive) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, drive = std::move(drive)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        drive(modal);
    });
    poll->start();
}

// Switches the string tables for the object's life; English afterwards.
class ScopedLanguage {
public:
    explicit ScopedLanguage(Language language) { SetLanguage(language); }
    ~ScopedLanguage() { SetLanguage(Language::English); }
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;
};

template <typename Widget>
Widget* Child(QWidget* dialog, const char* name) {
    return dialog->findChild<Widget*>(QString::fromLatin1(name));
}

} // namespace tessarine::test
