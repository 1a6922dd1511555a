#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QThread>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 (ephemeral port) for the tests, answering on a thread of its own so that
// it keeps serving while a test blocks. Each path gets a scripted response; every request is recorded.
class TestHttpServer
{
public:
    using Header = QPair<QByteArray, QByteArray>;

    struct Response
    {
        int status = 200;
        QByteArray body;
        QList<Header> headers; // e.g. {"Location", "/elsewhere"}
        int delayMs = 0;       // before anything is sent
        bool neverAnswer = false;
        int chunkSize = 0;     // above 0: the body goes out in pieces of this size...
        int chunkDelayMs = 0;  // ...this far apart
        bool cutShort = false; // announce twice the body's length, send the body, then close
    };

    struct Request
    {
        QByteArray path; // with its query; a response set for the path without it answers too
        QByteArray method;
        QList<Header> headers; // names in lower case
        QByteArray body;
    };

    TestHttpServer();
    ~TestHttpServer();

    quint16 port() const { return m_port; }
    QString url(const QString &path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path); }
    // Unknown paths answer 404 with an empty body.
    void setResponse(const QString &path, const Response &response);
    // A list of its own: one shared with the server thread could be moved from there while the test reads it.
    QList<Request> requests() const;
    // How many requests asked for path (with its query, as recorded).
    int requestsFor(const QByteArray &path) const;
    // Forgets the requests seen so far (the soak would otherwise measure the list growing).
    void clearRequests();

private:
    // Reads a request from socket into buffer and answers it once it is whole.
    void serve(QTcpSocket *socket, QByteArray &buffer);

    mutable QMutex m_mutex;
    QHash<QByteArray, Response> m_responses;
    QList<Request> m_requests;
    QThread m_thread; // where the server and its sockets live: not copyable, and so neither is the test server
    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
};
