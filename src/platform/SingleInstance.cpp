#include "platform/SingleInstance.h"

#include "core/files/BaseDirectory.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
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
    const QByteArray key = QByteArray::fromStdString(BaseDirectoryPath(base).InstanceKey());
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256);
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

void SingleInstance::StopListening() {
    delete server_;
    server_ = nullptr;
    name_.clear();
}

void SingleInstance::Listen(const std::string& base) {
    const QString name = ServerName(base);
    if (server_ != nullptr && name == name_)
        return; // the folder served already, under another name
    StopListening();
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    name_ = name;
    // A socket of that name is left over from a killed program of ours: the
    // lock, which the library holds now, was its.
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
