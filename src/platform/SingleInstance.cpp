#include "platform/SingleInstance.h"

#include "core/files/BaseDirectory.h"
#include "core/files/BaseDirectoryLock.h"
#include "core/files/FileStore.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tessarine {
namespace {

constexpr char kRaiseRequest[] = "raise\n";
constexpr char kRaiseAnswer[] = "ok\n";

// The folder as one text for every way of naming it (links, "..", a
// missing separator); its absolute path when it does not exist.
QString CanonicalFolder(const std::string& base) {
    const QFileInfo info(base.empty() ? QDir::currentPath() : QString::fromStdString(base));
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString UserId() {
#ifdef _WIN32
    return qEnvironmentVariable("USERNAME");
#else
    return QString::number(::getuid());
#endif
}

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::ServerName(const std::string& base) {
    const QByteArray hash =
        QCryptographicHash::hash(CanonicalFolder(base).toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("tessarine-%1-%2")
        .arg(UserId(), QString::fromLatin1(hash.toHex().left(16)));
}

bool SingleInstance::AskToRaise(const std::string& base, int timeoutMs) {
    const QString name = ServerName(base);
    const QDeadlineTimer deadline(timeoutMs);
    // The window may still be on its way up: it takes the lock before it
    // listens. Try again until the time is up.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(
                static_cast<int>(std::min<qint64>(250, deadline.remainingTime())))) {
            QThread::msleep(50);
            continue;
        }
        socket.write(kRaiseRequest);
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            return false;
        while (!socket.canReadLine() &&
               socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
        }
        return socket.canReadLine() && socket.readLine() == kRaiseAnswer;
    }
    return false;
}

bool SingleInstance::HoldsLock() const {
    return lock_ && lock_->Held();
}

SingleInstance::Claim SingleInstance::ClaimBaseDirectory(const std::string& base, bool askToRaise) {
    auto lock = std::make_unique<BaseDirectoryLock>(base);
    if (lock->GetState() == BaseDirectoryLock::State::HeldElsewhere)
        return askToRaise && AskToRaise(base) ? Claim::RaisedOther : Claim::InUse;
    Adopt(std::move(lock), base);
    return Claim::Obtained;
}

bool SingleInstance::MoveTo(const std::string& base) {
    if (HoldsLock() && CanonicalFolder(base) == canonicalBase_)
        return true; // the folder we hold already, under another name
    auto lock = std::make_unique<BaseDirectoryLock>(base);
    if (lock->GetState() == BaseDirectoryLock::State::HeldElsewhere)
        return false;
    Adopt(std::move(lock), base);
    return true;
}

void SingleInstance::Adopt(std::unique_ptr<BaseDirectoryLock> lock, const std::string& base) {
    lock_ = std::move(lock); // lets go of the old folder's lock
    canonicalBase_ = CanonicalFolder(base);
    // Nobody else writes here now: what a killed program left is garbage.
    if (lock_->Held())
        RemoveLeftoverTemporaryFiles(SettingsFilePath(base));
    Listen(base);
}

void SingleInstance::Listen(const std::string& base) {
    delete server_;
    server_ = nullptr;
    if (!lock_->Held())
        return; // a folder without a lock: no other start is sent here
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = ServerName(base);
    // A socket of that name is left over from a killed program of ours: the
    // lock, which is ours now, was its.
    QLocalServer::removeServer(name);
    if (!server_->listen(name))
        return;
    connect(server_, &QLocalServer::newConnection, this, [this, server = server_] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == kRaiseRequest) {
                    emit raiseRequested();
                    socket->write(kRaiseAnswer);
                    socket->flush();
                }
                socket->disconnectFromServer();
            });
        }
    });
}

} // namespace tessarine
