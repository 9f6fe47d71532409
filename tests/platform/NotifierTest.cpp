#include "platform/Notifier.h"
#include "core/util/Strings.h"
#include "platform/nix/DBusNotifier.h"

#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QVariantMap>

#include <gtest/gtest.h>

using namespace tessarine;

namespace {

// A notification service as a desktop runs it, recording every call.
class NotificationListener : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString appName, icon, summary, body;
        QVariantMap hints;
        int timeout;
    };
    std::vector<Call> calls;

public slots:
    uint Notify(const QString& appName, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int timeout) {
        calls.push_back({appName, icon, summary, body, hints, timeout});
        emit called();
        return uint(calls.size());
    }

signals:
    void called();
};

} // namespace

// Each name once, at most three of them (MainWindowTest has a plain list);
// German only to show the language is followed.
TEST(Notifier, TextCountsEpisodesAndNamesPodcastsInBothLanguages) {
    EXPECT_EQ(NewEpisodesText(1, {"Alpha"}), "1 new episode from Alpha");
    EXPECT_EQ(NewEpisodesText(9, {"A", "B", "A", "C", "D", "E"}),
              "9 new episodes from A, B, C and 2 more");
    SetLanguage(Language::German);
    EXPECT_EQ(NewEpisodesText(5, {"A", "B", "C", "D"}), "5 neue Folgen von A, B, C und 1 weitere");
    SetLanguage(Language::English);
}

TEST(DBusNotifier, NotificationReachesTheDesktopsServiceOnlyForDownloads) {
    // A session bus of the test's own, stopped with it (~QProcess).
    const QString daemonProgram = QStandardPaths::findExecutable("dbus-daemon");
    ASSERT_FALSE(daemonProgram.isEmpty()) << "dbus-daemon is not installed";
    QProcess daemon;
    daemon.start(daemonProgram, {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(daemon.waitForReadyRead(20000));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    struct Disconnect {
        ~Disconnect() {
            for (const char* name : {"listener", "program"})
                QDBusConnection::disconnectFromBus(name);
        }
    } disconnect;

    NotificationListener listener;
    QDBusConnection service = QDBusConnection::connectToBus(address, "listener");
    ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
    ASSERT_TRUE(service.registerObject("/org/freedesktop/Notifications", &listener,
                                       QDBusConnection::ExportAllSlots));
    DBusNotifier notifier(QDBusConnection::connectToBus(address, "program"));
    QSignalSpy called(&listener, &NotificationListener::called);
    NotifyNewEpisodes(notifier, 0, {"Nothing"}); // a cycle without downloads: no call
    NotifyNewEpisodes(notifier, 2, {"Tom & Jerry <Live>"});
    ASSERT_TRUE(!called.empty() || called.wait(20000));
    ASSERT_EQ(listener.calls.size(), 1u);
    const NotificationListener::Call& call = listener.calls[0];
    EXPECT_EQ(call.appName, "Tessarine");
    EXPECT_EQ(call.icon, "com.orvendale.Tessarine");
    EXPECT_EQ(call.summary, "2 new episodes from Tom & Jerry <Live>"); // never read as markup
    EXPECT_EQ(call.hints.value("desktop-entry").toString(), "com.orvendale.Tessarine");
    EXPECT_EQ(call.timeout, -1);

    // Without a service nothing waits or fails; without a bus it fails.
    ASSERT_TRUE(service.unregisterService("org.freedesktop.Notifications"));
    EXPECT_TRUE(notifier.Notify("sent to nobody"));
    EXPECT_FALSE(DBusNotifier(QDBusConnection("not connected")).Notify("no bus at all"));
}

#include "NotifierTest.moc"
