#pragma once
// Notifications through the freedesktop notification service
// (org.freedesktop.Notifications) on a D-Bus connection, by default the
// user's session bus.

#include "platform/Notifier.h"

#include <QDBusConnection>

namespace tessarine {

class DBusNotifier : public Notifier {
public:
    explicit DBusNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    // Sends the notification without waiting for an answer: a desktop without
    // the service answers with an error that nobody waits for.
    bool Notify(const QString& text) override;

private:
    QDBusConnection bus_;
};

} // namespace tessarine
