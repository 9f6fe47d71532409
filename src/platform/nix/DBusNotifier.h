#pragma once
// Notifications through the freedesktop notification service
// (org.freedesktop.Notifications) on a D-Bus connection, by default the
// user's session bus.

#include "platform/Notifier.h"

#include <QDBusConnection>
#include <QObject>

namespace tessarine {

class DBusNotifier : public QObject, public Notifier {
    Q_OBJECT

public:
    explicit DBusNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    // Asks the service what it can show, then sends the notification, each
    // without waiting for the answer: a desktop without the service answers
    // with an error that nobody waits for. The service's id for it is kept
    // from its answer, and the next notification replaces that one.
    bool Notify(const QString& summary, const QString& body) override;

private slots:
    // The service's signal that the user chose an action of a notification.
    void OnActionInvoked(uint id, const QString& action);

private:
    void Send(const QString& summary, const QString& body, bool bodyMarkup);

    QDBusConnection bus_;
    uint shown_ = 0; // the service's id of the last notification, 0: none yet
};

} // namespace tessarine
