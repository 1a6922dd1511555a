#include "support/testhttpserver.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using Response = TestHttpServer::Response;

class HttpServerWorker : public QObject
{
public:
    explicit HttpServerWorker(TestHttpServer *owner) : m_owner(owner)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    m_buffers.remove(socket);
                    socket->deleteLater();
                });
            }
        });
    }

    QTcpServer m_server{this};

private:
    void onReadyRead(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.clear();
        TestHttpServer::Request request{lines.value(0).trimmed().split(' ').value(1), {}};
        for (const QByteArray &line : lines.mid(1)) {
            if (const qsizetype colon = line.indexOf(':'); colon > 0)
                request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        QMutexLocker locker(&m_owner->m_mutex);
        m_owner->m_requests.append(request);
        const Response response = m_owner->m_responses.value(request.path, Response{404, {}, {}, 0, false, 0, 0});
        locker.unlock();
        if (response.neverAnswer)
            return;
        QTimer::singleShot(response.delayMs, socket, [socket, response] {
            const qsizetype announced = response.cutShort ? 2 * response.body.size() + 1 : response.body.size();
            QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Scripted\r\n";
            for (const auto &[name, value] : response.headers)
                head += name + ": " + value + "\r\n";
            socket->write(head + "Content-Length: " + QByteArray::number(announced) + "\r\nConnection: close\r\n\r\n");
            send(socket, response, 0);
        });
    }

    // The body from offset on, in one piece or in chunks apart in time; the connection closes after the last.
    static void send(QPointer<QTcpSocket> socket, const Response &response, qsizetype offset)
    {
        if (!socket || socket->state() != QAbstractSocket::ConnectedState)
            return;
        const qsizetype next = response.chunkSize > 0 ? offset + response.chunkSize : response.body.size();
        socket->write(response.body.mid(offset, next - offset));
        if (next >= response.body.size())
            return socket->disconnectFromHost();
        QTimer::singleShot(response.chunkDelayMs, socket, [socket, response, next] { send(socket, response, next); });
    }

    TestHttpServer *m_owner;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

TestHttpServer::TestHttpServer() : m_worker(new HttpServerWorker(this)), m_port(m_worker->m_server.serverPort())
{
    m_worker->moveToThread(&m_thread);
    m_thread.start();
}

TestHttpServer::~TestHttpServer()
{
    // Sockets and timers must go on the thread they live on: deferred deletes run as the thread finishes.
    m_worker->deleteLater();
    m_thread.quit();
    m_thread.wait();
}

void TestHttpServer::setResponse(const QString &path, const Response &response)
{
    QMutexLocker locker(&m_mutex);
    m_responses.insert(path.toUtf8(), response);
}

QList<TestHttpServer::Request> TestHttpServer::requests() const
{
    QMutexLocker locker(&m_mutex);
    return QList<Request>(m_requests.cbegin(), m_requests.cend());
}

void TestHttpServer::clearRequests()
{
    QMutexLocker locker(&m_mutex);
    m_requests.clear();
}
