#pragma once

#include "store/database.h"

#include <QHash>
#include <QHttpServer>
#include <QTcpServer>

class QTcpSocket;
struct ReportMessage;

// The vendor's side of the exchange: serves /kestrow/<file> from a folder over HTTP, takes report frames on its
// report port, answers install reports with a new user id, and keeps every report in its own SQLite file.
class VendorServer : public QObject
{
    Q_OBJECT

public:
    VendorServer(const QString &folder, const QString &databasePath);

    // Listens on 127.0.0.1 (0: any free port); false with a message in *error.
    bool listen(quint16 httpPort, quint16 reportPort, QString *error);
    quint16 httpPort() const { return m_httpPort; }
    quint16 reportPort() const { return m_reports.serverPort(); }

private:
    void onReadyRead(QTcpSocket *socket);
    // Stores message; the answer to send back, or empty for none.
    QByteArray answer(const ReportMessage &message, const QString &peer);

    QString m_folder;
    Database m_db;
    QHttpServer m_http;
    quint16 m_httpPort = 0;
    QTcpServer m_reports;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

// Every stored report, one line each: time, peer, uid, type, subtype and the fields as JSON.
QStringList storedReports(const QString &databasePath, bool *ok);
