#include "report/reports.h"

#include "core/paths.h"
#include "core/sitedata.h"
#include "core/vendor.h"
#include "report/reportframe.h"
#include "report/systemdescription.h"
#include "sites/sitedb.h"
#include "store/settings.h"
#include "store/userdb.h"

#include <QDate>
#include <QEventLoop>
#include <QFile>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

// A socket connected to the report port, or null. A server that never answers is given up at the deadline.
std::unique_ptr<QTcpSocket> connectToVendor(QDeadlineTimer deadline)
{
    const VendorEndpoint vendor = vendorEndpoint();
    auto socket = std::make_unique<QTcpSocket>();
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto connected = QObject::connect(socket.get(), &QTcpSocket::connected, &loop, &QEventLoop::quit);
    const auto failed = QObject::connect(socket.get(), &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    socket->connectToHost(vendor.host, vendor.reportPort, QIODevice::ReadWrite);
    limit.start(int(qMax<qint64>(0, deadline.remainingTime())));
    if (socket->state() != QAbstractSocket::ConnectedState)
        loop.exec();
    QObject::disconnect(connected);
    QObject::disconnect(failed);
    if (socket->state() != QAbstractSocket::ConnectedState)
        return nullptr;
    return socket;
}

// Lets the socket go once the server has seen the end of the conversation.
void hangUp(std::unique_ptr<QTcpSocket> socket)
{
    QTcpSocket *s = socket.release();
    QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    s->disconnectFromHost();
    if (s->state() == QAbstractSocket::UnconnectedState)
        s->deleteLater();
}

// A user id as the vendor gives them: a short word of printable ASCII. Anything else is no id.
bool isUserId(const QByteArray &id)
{
    return !id.isEmpty() && id.size() <= 64 &&
           std::all_of(id.cbegin(), id.cend(), [](char c) { return c > 0x20 && c < 0x7f; });
}

} // namespace

QString installChannel()
{
    QFile file(appFilePath(QStringLiteral("channel")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

QByteArray nodeMask(const QStringList &nodeNames, const QSet<QString> &followed)
{
    quint64 mask = 0;
    for (int i = 0; i < qMin<qsizetype>(nodeNames.size(), 64); ++i) {
        if (followed.contains(nodeNames[i]))
            mask |= quint64(1) << i;
    }
    return QByteArray::number(mask);
}

bool sendInstallReport(int &code)
{
    code = 0;
    if (!Key::Uid.value().isEmpty())
        return false;
    const QList<QByteArray> fields = {installChannel().toUtf8(), describeMachine().toUtf8()};
    code = 1;
    // One deadline for the whole exchange: a server that trickles its answer cannot hold the thread.
    const QDeadlineTimer deadline(ReportFrame::waitMs);
    std::unique_ptr<QTcpSocket> socket = connectToVendor(deadline);
    if (!socket || !writeReportFrame(socket.get(), 4, 1, fields, deadline))
        return false;
    quint16 type = 0;
    quint16 subtype = 0;
    QList<QByteArray> answer;
    if (!readReportFrame(socket.get(), type, subtype, answer, deadline))
        return false;
    // It is stored and sent back every day: an answer that is no user id counts as no answer.
    if (answer.isEmpty() || !isUserId(answer.first()))
        return false;
    Key::Uid.setValue(QString::fromLatin1(answer.first()));
    hangUp(std::move(socket));
    code = 0;
    return true;
}

bool sendDailyRunReport(int &code)
{
    code = 0;
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    if (Key::RunDate.value() == today)
        return true;
    const QString uid = Key::Uid.value();
    code = 2;
    if (uid.isEmpty())
        return false;
    QList<QByteArray> fields = {uid.toUtf8()};
    {
        // The program catalogue's sites, in its order: the user's own sites never reach the vendor.
        UserDb userDb;
        SiteDb siteDb(appFilePath(QStringLiteral("sdb.dll")));
        QList<SiteData> sites;
        if (!userDb.isOpen() || !siteDb.isOpen() || !siteDb.sites(sites))
            return false;
        const QHash<QString, QSet<QString>> followed = userDb.attentionMap();
        for (const SiteData &site : std::as_const(sites))
            fields.append(nodeMask(site.node_names, followed.value(site.site_name)));
    }
    code = 1;
    const QDeadlineTimer deadline(ReportFrame::waitMs);
    std::unique_ptr<QTcpSocket> socket = connectToVendor(deadline);
    if (!socket || !writeReportFrame(socket.get(), 4, 2, fields, deadline))
        return false;
    hangUp(std::move(socket));
    Key::RunDate.setValue(today);
    code = 0;
    return true;
}
