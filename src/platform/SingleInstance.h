#pragma once
// One program per base directory. The program holds the base directory's lock
// (BaseDirectoryLock) for as long as it uses the folder, and listens on a
// local socket named after the user and the folder, so that a second start
// by the same user can ask the window already running there to come to the
// front instead of opening a second one.

#include <QObject>
#include <QString>

#include <memory>
#include <string>

class QLocalServer;

namespace tessarine {

class BaseDirectoryLock;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        Obtained,    // the base directory is ours (or cannot hold a lock at all)
        RaisedOther, // another window of this user runs there and was asked to come to the front
        InUse,       // another program holds it and no window of it answered
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Start-up: takes the lock of `base`. When another program holds it and
    // `askToRaise` is set, asks that program's window to come to the front.
    // Once the lock is ours, the leftover temporary settings files of a killed
    // program are removed and raise requests are served (raiseRequested).
    Claim ClaimBaseDirectory(const std::string& base, bool askToRaise);
    // A change of base directory: takes the lock of `base` first; false, with
    // nothing changed, when another program holds it. Otherwise the old
    // folder's lock is let go and requests are served under the new name.
    bool MoveTo(const std::string& base);
    // Whether this object holds a base directory's lock.
    bool HoldsLock() const;

    // The socket's name for `base`: the user's id and a hash of the folder's
    // canonical path.
    static QString ServerName(const std::string& base);
    // Asks the window serving `base` to come to the front; true when it
    // answered within `timeoutMs`.
    static bool AskToRaise(const std::string& base, int timeoutMs = 3000);

signals:
    // A second start asks this program's window to come to the front.
    void raiseRequested();

private:
    void Adopt(std::unique_ptr<BaseDirectoryLock> lock, const std::string& base);
    void Listen(const std::string& base);

    std::unique_ptr<BaseDirectoryLock> lock_;
    QLocalServer* server_ = nullptr;
    QString canonicalBase_;
};

} // namespace tessarine
