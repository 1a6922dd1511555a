#include "app/instance.h"

#include "app/applog.h"
#include "core/paths.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

namespace {

const QString baseKey = QStringLiteral("{AB561922-AD01-4738-A88A-035787B2E719}");
const QByteArray showRequest = "show\n", shownAnswer = "shown\n", trayAnswer = "tray\n";

} // namespace

namespace Instance {

QString name(const QString &dataFolder)
{
    const QString folder = QDir::cleanPath(QDir(dataFolder).absolutePath());
    const QString standard = QDir::cleanPath(QDir::homePath() + QStringLiteral("/.local/share/Kestrow"));
    if (folder == standard)
        return baseKey;
    const QByteArray digest = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return baseKey + QLatin1Char('-') + QString::fromLatin1(digest);
}

QString socketPath(const QString &name)
{
    // Beside the instance lock, in the session's runtime folder.
    return QDir(runtimeFolder()).filePath(name + QStringLiteral(".socket"));
}

Answer askToShow(const QString &path, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running instance takes its lock before it listens: a start just after it finds no socket yet.
    for (socket.connectToServer(path); !socket.waitForConnected(int(deadline.remainingTime()));
         socket.connectToServer(path)) {
        const bool notYet = socket.error() == QLocalSocket::ServerNotFoundError ||
                            socket.error() == QLocalSocket::ConnectionRefusedError;
        if (!notYet || deadline.hasExpired())
            return Answer::NoAnswer;
        QThread::msleep(quint64(qMin<qint64>(50, deadline.remainingTime())));
    }
    socket.write(showRequest);
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < 64 && socket.waitForReadyRead(int(deadline.remainingTime())))
        answer += socket.readAll();
    if (answer == shownAnswer)
        return Answer::Shown;
    return answer == trayAnswer ? Answer::HasTray : Answer::NoAnswer;
}

} // namespace Instance

InstanceServer::InstanceServer(const QString &path, std::function<bool()> show, QObject *parent)
    : QObject(parent), server(new QLocalServer(this)), show(std::move(show))
{
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // The instance lock is held: a socket file left there belongs to a process that died.
    QLocalServer::removeServer(path);
    if (!server->listen(path))
        qCDebug(lcApp).noquote() << "later starts cannot reach this one:" << server->errorString();
    connect(server, &QLocalServer::newConnection, this, &InstanceServer::onConnection);
}

bool InstanceServer::isListening() const
{
    return server->isListening();
}

void InstanceServer::onConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A client that says nothing is not kept waiting for.
        QTimer::singleShot(2000, socket, &QLocalSocket::abort);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // One short request a connection; anything else is dropped.
            if (socket->bytesAvailable() < showRequest.size())
                return;
            const bool asked = socket->read(64) == showRequest;
            if (asked)
                socket->write(show() ? shownAnswer : trayAnswer);
            socket->disconnectFromServer();
        });
    }
}
