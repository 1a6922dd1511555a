#include "vendorserver.h"

#include "report/reportframe.h"
#include "store/query.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>

namespace {

const QString schema = QStringLiteral("CREATE TABLE IF NOT EXISTS reports(time TEXT, peer TEXT, uid TEXT, type "
                                      "INTEGER, subtype INTEGER, fields TEXT);");

QString fieldsJson(const QList<QByteArray> &fields)
{
    QJsonArray array;
    for (const QByteArray &field : fields)
        array.append(QString::fromUtf8(field));
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

} // namespace

VendorServer::VendorServer(const QString &folder, const QString &databasePath) : m_folder(folder)
{
    if (m_db.open(databasePath, true, true))
        m_db.execute(schema);
    // Only plain file names of the folder: no way up or around it.
    static const QRegularExpression fileName(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]*$"));
    m_http.route(QStringLiteral("/kestrow/<arg>"), [this](const QString &name) {
        QFile file(QDir(m_folder).filePath(name));
        if (!fileName.match(name).hasMatch() || !file.open(QIODevice::ReadOnly))
            return QHttpServerResponse(QHttpServerResponse::StatusCode::NotFound);
        return QHttpServerResponse(QByteArrayLiteral("application/octet-stream"), file.readAll());
    });
    connect(&m_reports, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_reports.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

bool VendorServer::listen(quint16 httpPort, quint16 reportPort, QString *error)
{
    if (!m_db.isOpen() || !m_db.execute(schema)) {
        *error = QStringLiteral("cannot open the report database");
        return false;
    }
    m_httpPort = m_http.listen(QHostAddress::LocalHost, httpPort);
    if (m_httpPort == 0) {
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1").arg(httpPort);
        return false;
    }
    if (!m_reports.listen(QHostAddress::LocalHost, reportPort)) {
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1").arg(reportPort);
        return false;
    }
    return true;
}

void VendorServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        ReportMessage message;
        qsizetype size = 0;
        const ReportFrame::Scan scan = ReportFrame::scan(buffer, &size, message);
        if (scan == ReportFrame::Scan::Incomplete)
            return;
        if (scan == ReportFrame::Scan::Invalid) {
            socket->abort();
            return;
        }
        buffer.remove(0, size);
        const QByteArray reply = answer(message, socket->peerAddress().toString());
        if (!reply.isEmpty())
            socket->write(reply);
    }
}

QByteArray VendorServer::answer(const ReportMessage &message, const QString &peer)
{
    const bool install = message.type == 4 && message.subtype == 1;
    const QString uid =
        install ? QStringLiteral("K%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'))
                : QString::fromUtf8(message.fields.value(0));
    Query insert(m_db, QStringLiteral("INSERT INTO reports VALUES(?, ?, ?, ?, ?, ?);"));
    for (const QVariant &value :
         {QVariant(QDateTime::currentDateTime().toString(Qt::ISODate)), QVariant(peer), QVariant(uid),
          QVariant(int(message.type)), QVariant(int(message.subtype)), QVariant(fieldsJson(message.fields))})
        insert.bind(value);
    insert.exec();
    return install ? ReportFrame::encode(ReportMessage{4, 1, {uid.toUtf8()}}) : QByteArray();
}

QStringList storedReports(const QString &databasePath, bool *ok)
{
    QStringList lines;
    Database db;
    Query query(db);
    *ok = QFile::exists(databasePath) && db.open(databasePath, false, false) &&
          query.exec(QStringLiteral("SELECT time, peer, uid, type, subtype, fields FROM reports ORDER BY rowid;"));
    while (*ok && query.next()) {
        QStringList columns;
        for (int c = 0; c < 6; ++c)
            columns << query.value(c).toString();
        lines << columns.join(QLatin1Char('\t'));
    }
    return lines;
}
