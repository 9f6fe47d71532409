#include "platform/SingleInstance.h"

#include "core/files/BaseDirectory.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <memory>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tessarine {
namespace {

// A start's request: a line "link <percent-encoded link>" per link, then
// the line "raise"; the window answers "ok" once it has taken them.
constexpr char kRaiseRequest[] = "raise\n";
constexpr char kRaiseAnswer[] = "ok\n";
constexpr char kLinkLine[] = "link ";
// What one request may bring: far more than any start is given, and a
// bound on what another program of the user's could make the window hold.
constexpr int kMaxLinks = 256;
constexpr qint64 kMaxLineBytes = 64 * 1024;

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
    return AskToOpen(base, {}, timeoutMs);
}

bool SingleInstance::AskToOpen(const std::string& base, const QStringList& links, int timeoutMs) {
    QByteArray request;
    for (const QString& link : links.mid(0, kMaxLinks))
        request += kLinkLine + link.toUtf8().toPercentEncoding() + '\n';
    request += kRaiseRequest;
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
        socket.write(request);
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
            // The links of this request so far, until its "raise".
            auto links = std::make_shared<QStringList>();
            connect(socket, &QLocalSocket::readyRead, this, [this, socket, links] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine(kMaxLineBytes + 1);
                    if (line.startsWith(kLinkLine) && line.endsWith('\n') &&
                        links->size() < kMaxLinks) {
                        const QByteArray encoded = line.mid(qstrlen(kLinkLine)).chopped(1);
                        const QString link =
                            QString::fromUtf8(QByteArray::fromPercentEncoding(encoded));
                        if (!link.isEmpty())
                            links->append(link);
                        continue;
                    }
                    if (line == kRaiseRequest) {
                        emit raiseRequested();
                        if (!links->isEmpty())
                            emit linksReceived(*links);
                        socket->write(kRaiseAnswer);
                        socket->flush();
                    }
                    socket->disconnectFromServer();
                    return;
                }
                // A line longer than any request makes is no request.
                if (socket->bytesAvailable() > kMaxLineBytes)
                    socket->disconnectFromServer();
            });
        }
    });
}

} // namespace tessarine
