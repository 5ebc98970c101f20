#include "InstanceActivation.h"

#include "KestrumLog.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <algorithm>

namespace kestrum {

namespace {

const QByteArray kRequest = QByteArrayLiteral("activate");
const QByteArray kAnswer = QByteArrayLiteral("done");
// Tokens are opaque to us; compositors make them of a few dozen printable
// characters.
constexpr qsizetype kLongestToken = 255;
// Longer lines ("activate", a space and a token) are no request of ours.
constexpr qint64 kLongestLine = 9 + kLongestToken;
// A connection that says nothing is closed after this long.
constexpr int kIdleMs = 5000;

bool couldBeToken(QByteArrayView token)
{
    return !token.isEmpty() && token.size() <= kLongestToken
           && std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

}  // namespace

QString activationSocketPath(const QString &lockPath)
{
    return QFileInfo(lockPath).absolutePath() + QStringLiteral("/Kestrum.socket");
}

ActivationServer::ActivationServer(QObject *parent) : QObject(parent), server_(new QLocalServer(this))
{
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &ActivationServer::onConnection);
}

ActivationServer::~ActivationServer() = default;

bool ActivationServer::listen(const QString &socketPath)
{
    QLocalServer::removeServer(socketPath);
    if (server_->listen(socketPath))
        return true;
    qCWarning(kestrumLog) << "cannot listen at" << socketPath << "(" << server_->errorString()
                          << ") - a second start cannot bring this window to the front";
    return false;
}

void ActivationServer::onConnection()
{
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kIdleMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kLongestLine)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(kLongestLine + 1).trimmed();
            QByteArrayView token;
            if (line.startsWith(kRequest + ' '))
                token = QByteArrayView(line).sliced(kRequest.size() + 1);
            if (line != kRequest && !couldBeToken(token)) {
                socket->abort();
                return;
            }
            qCDebug(kestrumLog) << "a second start asks for the window" << (token.isEmpty() ? "" : "with a token");
            emit activationRequested(QString::fromLatin1(token));
            socket->write(kAnswer + '\n');
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

bool requestActivation(const QString &socketPath, const QByteArray &token, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return false;
    socket.write((couldBeToken(token) ? kRequest + ' ' + token : kRequest) + '\n');
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || socket.bytesAvailable() > kLongestLine
            || !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
    }
    return socket.readLine(kLongestLine + 1).trimmed() == kAnswer;
}

void useActivationToken(const QString &token)
{
    if (!token.isEmpty() && QGuiApplication::platformName() == QLatin1String("wayland"))
        qputenv("XDG_ACTIVATION_TOKEN", token.toLatin1());
}

}  // namespace kestrum
