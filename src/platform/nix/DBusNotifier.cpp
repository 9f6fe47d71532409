#include "platform/nix/DBusNotifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace tessarine {

std::unique_ptr<Notifier> Notifier::Create() {
    return std::make_unique<DBusNotifier>();
}

DBusNotifier::DBusNotifier(QDBusConnection bus) : bus_(std::move(bus)) {}

bool DBusNotifier::Notify(const QString& text) {
    if (!bus_.isConnected())
        return false;
    const QString appId = QStringLiteral("com.orvendale.Tessarine");
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The text goes into the summary, which the service never reads as
    // markup, so podcast names with "&" or "<" are shown as they are.
    call << QStringLiteral("Tessarine") << uint(0) << appId << text << QString() << QStringList()
         << QVariantMap{{QStringLiteral("desktop-entry"), appId},
                        {QStringLiteral("category"), QStringLiteral("transfer.complete")}}
         << int(-1);
    return bus_.send(call);
}

} // namespace tessarine
