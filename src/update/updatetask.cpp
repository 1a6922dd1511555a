#include "update/updatetask.h"

#include "core/appversion.h"
#include "core/clock.h"
#include "core/paths.h"
#include "core/vendor.h"
#include "platform/platform.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "update/signature.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr qint64 maxTextBytes = 64 * 1024;
constexpr qint64 maxPackageBytes = 512 * 1024 * 1024;
constexpr qint64 maxSignatureBytes = 1024;
const QString packageName = QStringLiteral("KestrowSetup.deb");

} // namespace

UpdateTask::UpdateTask(const UsageReports &reports, QObject *parent) : QObject(parent), reports(reports)
{
    connect(&checkTimer, &QTimer::timeout, this, &UpdateTask::onCheckNewVersion);
}

QByteArray UpdateTask::fetchUrl(const QString &url, qint64 maxBytes)
{
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("User-Agent", "kestrow");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // A server that stops sending is given up instead of holding the update thread until the program quits.
    request.setTransferTimeout(Clock::timing().fetchStallMs);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    reply->setReadBufferSize(maxBytes + 1);
    bool tooLarge = false;
    QEventLoop loop;
    connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (reply->bytesAvailable() > maxBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    if (!reply->isFinished())
        loop.exec(); // also ends when the thread is asked to quit
    // Cut short (quit, stall), an error status or too large: nothing of it counts.
    if (!reply->isFinished() || reply->error() != QNetworkReply::NoError || tooLarge)
        return QByteArray();
    const QByteArray body = reply->readAll();
    return body.size() > maxBytes ? QByteArray() : body;
}

QString UpdateTask::versionText(const QByteArray &body)
{
    // The first line: a file written on another system ends its line its own way, or goes on with notes.
    const qsizetype nul = body.indexOf('\0');
    const QByteArray text8 = nul < 0 ? body : body.left(nul);
    qsizetype lineEnd = text8.size();
    for (const char end : {'\n', '\r'}) {
        const qsizetype at = text8.indexOf(end);
        if (at >= 0)
            lineEnd = qMin(lineEnd, at);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = QString(utf8(text8.left(lineEnd))).trimmed();
    // Whatever is not plain text (a binary file, an error page's control bytes) is no version.
    if (utf8.hasError())
        return QString();
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return QString();
    }
    return text;
}

void UpdateTask::updateAboutMessage()
{
    const QByteArray body = fetchUrl(vendorEndpoint().url(QStringLiteral("/kestrow/aboutmsg.txt")), maxTextBytes);
    if (body.isEmpty())
        return;
    const QString path = dataFilePath(QStringLiteral("aboutmsg"));
    QFile current(path);
    if (path.isEmpty() || (current.open(QIODevice::ReadOnly) && current.readAll() == body))
        return;
    current.close();
    // Written aside and renamed: a full disk leaves the previous message, never half of the new one.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(body) == body.size())
        file.commit();
}

void UpdateTask::onCheckNewVersion()
{
    checkTimer.stop();
    const VendorEndpoint vendor = vendorEndpoint();
    const Clock::Timing timing = Clock::timing();
    int code = 0;
    for (const auto &report : {reports.install, reports.daily}) {
        if (vendor.isSet() && report && !report(code) && code != 0) {
            checkTimer.start(timing.retryIntervalMs);
            return;
        }
    }
    {
        // The purge holds the user database's lock for its whole transaction and the compaction: it runs in the
        // normal scheduling class so that the idle thread does not keep the scan engine waiting.
        Platform::NormalScheduling normal;
        UserDb db;
        db.purgeTasks(Key::HistoryDays.value());
    }
    if (!vendor.isSet()) {
        checkTimer.start(timing.checkIntervalMs);
        return;
    }
    const QByteArray versionFile = fetchUrl(vendor.url(QStringLiteral("/kestrow/var.txt")), maxTextBytes);
    if (versionFile.isEmpty()) {
        checkTimer.start(timing.retryIntervalMs);
        return;
    }
    // An answered check, even when its text is no version: that asks nothing, but is not asked again every minute.
    const QString version = versionText(versionFile);
    if (!version.isEmpty() && version != appVersion())
        emit checkNewVersionFinished(version);
    updateAboutMessage();
    checkTimer.start(timing.checkIntervalMs);
}

bool UpdateTask::downloadFile(const QString &url, const QString &path)
{
    QFile::remove(path);
    // A package is taken only when it is signed with the key this program was built with.
    const QByteArray package = fetchUrl(url, maxPackageBytes);
    if (package.isEmpty() ||
        !verifySignature(package, fetchUrl(url + QStringLiteral(".sig"), maxSignatureBytes), updatePublicKey()))
        return false;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(package) == package.size())
        return true;
    file.close();
    QFile::remove(path); // a short write leaves nothing behind
    return false;
}

void UpdateTask::onDownloadNewVersion()
{
    const VendorEndpoint vendor = vendorEndpoint();
    // A folder of our own (mode 0700): in the shared temporary folder another user could make the file first, then
    // swap the verified bytes before the installer reads them, or block every update.
    QTemporaryDir folder(QDir(QDir::tempPath()).filePath(QStringLiteral("kestrow-update-XXXXXX")));
    const QString path = folder.filePath(packageName);
    if (!vendor.isSet() || !folder.isValid() ||
        !downloadFile(vendor.url(QStringLiteral("/kestrow/") + packageName), path)) {
        emit downloadNewVersionFinished(QString());
        return;
    }
    // The installer opens it after this returns, maybe after the program quit: it stays. An earlier one goes now.
    folder.setAutoRemove(false);
    if (!downloadFolder.isEmpty())
        QDir(downloadFolder).removeRecursively();
    downloadFolder = folder.path();
    emit downloadNewVersionFinished(path);
}
