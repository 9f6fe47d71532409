#include "platform/nix/DBusNotifier.h"

#include "core/util/Strings.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace tessarine {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QDBusMessage Call(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kService, method);
}

} // namespace

std::unique_ptr<Notifier> Notifier::Create() {
    return std::make_unique<DBusNotifier>();
}

DBusNotifier::DBusNotifier(QDBusConnection bus) : bus_(std::move(bus)) {
    if (bus_.isConnected())
        bus_.connect(QString(), kPath, kService, QStringLiteral("ActionInvoked"), this,
                     SLOT(OnActionInvoked(uint, QString)));
}

bool DBusNotifier::Notify(const QString& summary, const QString& body) {
    if (!bus_.isConnected())
        return false;
    // A service that reads markup in the body would take "&" or "<" in a
    // podcast's name for markup: it gets them escaped.
    auto* asked = new QDBusPendingCallWatcher(bus_.asyncCall(Call("GetCapabilities")), this);
    connect(asked, &QDBusPendingCallWatcher::finished, this,
            [this, summary, body](QDBusPendingCallWatcher* answer) {
                const QDBusPendingReply<QStringList> capabilities = *answer;
                answer->deleteLater();
                Send(summary, body,
                     capabilities.isValid() &&
                         capabilities.value().contains(QStringLiteral("body-markup")));
            });
    return true;
}

void DBusNotifier::Send(const QString& summary, const QString& body, bool bodyMarkup) {
    const QString appId = QStringLiteral("com.orvendale.Tessarine");
    QDBusMessage call = Call(QStringLiteral("Notify"));
    // The summary is never read as markup.
    call << QStringLiteral("Tessarine") << shown_ << appId << summary
         << (bodyMarkup ? body.toHtmlEscaped() : body)
         << QStringList{QStringLiteral("default"),
                        QString::fromStdString(LoadResString(TXT_NOTIFY_SHOW))}
         << QVariantMap{{QStringLiteral("desktop-entry"), appId},
                        {QStringLiteral("category"), QStringLiteral("transfer.complete")}}
         << int(-1);
    auto* sent = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(sent, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* answer) {
                const QDBusPendingReply<uint> id = *answer;
                answer->deleteLater();
                if (id.isValid())
                    shown_ = id.value();
            });
}

void DBusNotifier::OnActionInvoked(uint id, const QString& action) {
    if (id != 0 && id == shown_ && action == QStringLiteral("default"))
        Activated();
}

} // namespace tessarine
