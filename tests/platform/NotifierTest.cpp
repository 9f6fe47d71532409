#include "platform/Notifier.h"
#include "core/util/Strings.h"
#include "platform/nix/DBusNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
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
        QString appName;
        uint replaces;
        QString icon, summary, body;
        QStringList actions;
        QVariantMap hints;
        int timeout;
    };
    std::vector<Call> calls;
    bool markup = true; // reads markup in the body

public slots:
    QStringList GetCapabilities() {
        return markup ? QStringList{"body", "body-markup", "actions"}
                      : QStringList{"body", "actions"};
    }
    uint Notify(const QString& appName, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout) {
        calls.push_back({appName, replaces, icon, summary, body, actions, hints, timeout});
        emit called();
        return replaces != 0 ? replaces : 40 + uint(calls.size());
    }

signals:
    void called();
};

} // namespace

// Each name once, at most five of them (MainWindowTest has a plain list);
// German only to show the language is followed.
TEST(Notifier, SummaryCountsEpisodesBodyNamesPodcastsInBothLanguages) {
    const auto news = [](int count, const std::vector<std::string>& podcasts) {
        const NewEpisodesText text = NewEpisodesNews(count, podcasts);
        return text.summary + " | " + text.body;
    };
    EXPECT_EQ(news(1, {"Alpha"}), "1 new episode | Alpha");
    EXPECT_EQ(news(5, {"A", "B", "A", "C", "D", "E"}), "5 new episodes | A, B, C, D, E");
    EXPECT_EQ(news(9, {"A", "B", "A", "C", "D", "E", "F", "G"}),
              "9 new episodes | A, B, C, D, E and 2 more");
    SetLanguage(Language::German);
    EXPECT_EQ(news(1, {"A"}), "1 neue Folge | A");
    EXPECT_EQ(news(7, {"A", "B", "C", "D", "E", "F"}),
              "7 neue Folgen | A, B, C, D, E und 1 weitere");
    SetLanguage(Language::English);
}

// The service gets a summary, the podcasts (escaped for markup) and a default
// action; the next notification replaces the last; choosing ours calls back.
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
    int activated = 0;
    QEventLoop activation; // left when the window would be raised
    DBusNotifier notifier(QDBusConnection::connectToBus(address, "program"));
    QSignalSpy called(&listener, &NotificationListener::called);
    notifier.SetActivation([&] {
        ++activated;
        activation.quit();
    });
    NotifyNewEpisodes(notifier, 0, {"Nothing"}); // a cycle without downloads: no call
    NotifyNewEpisodes(notifier, 2, {"Tom & Jerry <Live>"});
    ASSERT_TRUE(!called.empty() || called.wait(20000));
    ASSERT_EQ(listener.calls.size(), 1u);
    const auto fields = [&](size_t i) {
        const NotificationListener::Call& c = listener.calls.at(i);
        return QStringList({c.appName, QString::number(c.replaces), c.icon, c.summary, c.body,
                            c.actions.join(','), c.hints.value("desktop-entry").toString(),
                            QString::number(c.timeout)})
            .join('|');
    };
    EXPECT_EQ(fields(0), "Tessarine|0|com.orvendale.Tessarine|2 new episodes|Tom &amp; Jerry "
                         "&lt;Live&gt;|default,Show Tessarine|com.orvendale.Tessarine|-1");

    // Choosing another program's notification does nothing, ours calls back
    // once (signals and replies arrive in order: our id is known by then).
    for (const uint id : {7u, 41u}) {
        QDBusMessage chosen = QDBusMessage::createSignal(
            "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
        chosen << id << QString("default");
        ASSERT_TRUE(service.send(chosen));
    }
    QTimer::singleShot(20000, &activation, &QEventLoop::quit); // ends only a broken run
    if (activated == 0)
        activation.exec();
    EXPECT_EQ(activated, 1);

    // The next one replaces the first; without markup the names go as they are.
    listener.markup = false;
    NotifyNewEpisodes(notifier, 1, {"Tom & Jerry <Live>"});
    ASSERT_TRUE(called.count() > 1 || called.wait(20000));
    EXPECT_TRUE(fields(1).startsWith("Tessarine|41|com.orvendale.Tessarine|1 new episode|Tom & "
                                     "Jerry <Live>|"));

    // Without a service nothing waits or fails; without a bus it fails.
    ASSERT_TRUE(service.unregisterService("org.freedesktop.Notifications"));
    EXPECT_TRUE(notifier.Notify("sent to", "nobody"));
    EXPECT_FALSE(DBusNotifier(QDBusConnection("not connected")).Notify("no bus", "at all"));
}

#include "NotifierTest.moc"
