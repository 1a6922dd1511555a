#include "support/testhttpserver.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

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

    quint16 port() const { return m_server.serverPort(); }

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
        TestHttpServer::Request request;
        request.path = lines.value(0).trimmed().split(' ').value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
        }
        m_owner->record(request);
        const TestHttpServer::Response response = m_owner->responseFor(request.path);
        if (response.neverAnswer)
            return;
        QTimer::singleShot(response.delayMs, socket, [socket, response] { answer(socket, response); });
    }

    static void answer(QTcpSocket *socket, const TestHttpServer::Response &response)
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Scripted\r\n";
        for (const auto &[name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        const qsizetype announced = response.cutShort ? 2 * response.body.size() + 1 : response.body.size();
        head += "Content-Length: " + QByteArray::number(announced) + "\r\nConnection: close\r\n\r\n";
        socket->write(head);
        if (response.chunkSize <= 0) {
            socket->write(response.body);
            socket->disconnectFromHost();
            return;
        }
        sendChunk(QPointer<QTcpSocket>(socket), response, 0);
    }

    static void sendChunk(QPointer<QTcpSocket> socket, const TestHttpServer::Response &response, qsizetype offset)
    {
        if (!socket || socket->state() != QAbstractSocket::ConnectedState)
            return;
        socket->write(response.body.mid(offset, response.chunkSize));
        const qsizetype next = offset + response.chunkSize;
        if (next >= response.body.size()) {
            socket->disconnectFromHost();
            return;
        }
        QTimer::singleShot(response.chunkDelayMs, socket,
                           [socket, response, next] { sendChunk(socket, response, next); });
    }

    TestHttpServer *m_owner;
    QTcpServer m_server{this};
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

TestHttpServer::TestHttpServer()
{
    m_worker = new HttpServerWorker(this);
    m_port = m_worker->port();
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

QString TestHttpServer::url(const QString &path) const
{
    return u"http://127.0.0.1:%1%2"_s.arg(m_port).arg(path);
}

void TestHttpServer::setResponse(const QString &path, const Response &response)
{
    QMutexLocker locker(&m_mutex);
    m_responses.insert(path.toUtf8(), response);
}

QList<TestHttpServer::Request> TestHttpServer::requests() const
{
    QMutexLocker locker(&m_mutex);
    // A list of its own: one shared with the server thread could be moved from there while the test reads it.
    return QList<Request>(m_requests.cbegin(), m_requests.cend());
}

void TestHttpServer::clearRequests()
{
    QMutexLocker locker(&m_mutex);
    m_requests.clear();
}

TestHttpServer::Response TestHttpServer::responseFor(const QByteArray &path) const
{
    QMutexLocker locker(&m_mutex);
    Response notFound;
    notFound.status = 404;
    return m_responses.value(path, notFound);
}

void TestHttpServer::record(const Request &request)
{
    QMutexLocker locker(&m_mutex);
    m_requests.append(request);
}
