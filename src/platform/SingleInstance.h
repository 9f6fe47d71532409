#pragma once
// One window per base directory: the library holds the base directory's lock
// (see PodcastLibrary::ClaimBaseDirectory); while it does, the window listens
// on a local socket named after the user and the folder, so that a second
// start by the same user can ask the window already running there to come to
// the front instead of opening a second one, and hand it the links it was
// started with (podcast links, saved feed files) to subscribe to there.

#include <QObject>
#include <QString>
#include <QStringList>

#include <string>

class QLocalServer;

namespace tessarine {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Serves raise requests for `base`, whose lock the library holds, from
    // now on (raiseRequested); the name served before, if another, is let go.
    void Listen(const std::string& base);
    // No more raise requests (the library holds no lock).
    void StopListening();
    bool Listening() const { return server_ != nullptr; }

    // The socket's name for `base`: the user's id and a hash of the folder's
    // one spelling (BaseDirectoryPath::InstanceKey).
    static QString ServerName(const std::string& base);
    // Asks the window serving `base` to come to the front; true when it
    // answered within `timeoutMs`.
    static bool AskToRaise(const std::string& base, int timeoutMs = 3000);
    // As AskToRaise, handing the window `links` as well (each as the second
    // start was given it, paths made absolute); true when it answered.
    static bool AskToOpen(const std::string& base, const QStringList& links, int timeoutMs = 3000);

signals:
    // A second start asks this program's window to come to the front.
    void raiseRequested();
    // ... and to subscribe to these links (after raiseRequested; none empty).
    // Whoever acts on them must not wait for a user here: the second start
    // waits for the answer, which is sent when this returns.
    void linksReceived(const QStringList& links);

private:
    QLocalServer* server_ = nullptr;
    QString name_; // served now
};

} // namespace tessarine
