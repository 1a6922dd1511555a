#include "support/testhttpserver.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

using Response = TestHttpServer::Response;

namespace {

// The body from offset on, in one piece or in chunks apart in time; the connection closes after the last.
void send(QPointer<QTcpSocket> socket, const Response &response, qsizetype offset)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    const qsizetype next = response.chunkSize > 0 ? offset + response.chunkSize : response.body.size();
    socket->write(response.body.mid(offset, next - offset));
    if (next >= response.body.size())
        return socket->disconnectFromHost();
    QTimer::singleShot(response.chunkDelayMs, socket, [socket, response, next] { send(socket, response, next); });
}

} // namespace

TestHttpServer::TestHttpServer() : m_server(new QTcpServer)
{
    m_server->listen(QHostAddress::LocalHost, 0);
    m_port = m_server->serverPort();
    QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            // Closed sockets go, and their buffers with them.
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket, buffer] { serve(socket, *buffer); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    m_server->moveToThread(&m_thread);
    m_thread.start();
}

TestHttpServer::~TestHttpServer()
{
    // Sockets and timers must go on the thread they live on: deferred deletes run as the thread finishes.
    m_server->deleteLater();
    m_thread.quit();
    m_thread.wait();
}

void TestHttpServer::serve(QTcpSocket *socket, QByteArray &buffer)
{
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    Request request;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    request.method = lines.value(0).split(' ').value(0);
    request.path = lines.value(0).split(' ').value(1);
    qsizetype length = 0;
    for (const QByteArray &line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon).trimmed().toLower(), value = line.mid(colon + 1).trimmed();
        request.headers.append({name, value});
        if (name == "content-length")
            length = value.toLongLong();
    }
    // A body comes whole before the answer.
    if (buffer.size() < end + 4 + length)
        return;
    request.body = buffer.mid(end + 4, length);
    buffer.clear();
    QMutexLocker locker(&m_mutex);
    m_requests.append(request);
    const QByteArray bare = request.path.split('?').value(0);
    const Response response =
        m_responses.value(request.path, m_responses.value(bare, Response{404, {}, {}, 0, false, 0, 0}));
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

int TestHttpServer::requestsFor(const QByteArray &path) const
{
    QMutexLocker locker(&m_mutex);
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(),
                             [&path](const Request &request) { return request.path == path; }));
}

void TestHttpServer::clearRequests()
{
    QMutexLocker locker(&m_mutex);
    m_requests.clear();
}
