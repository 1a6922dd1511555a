#include "scan/pagerequest.h"

#include <QDateTime>
#include <QLocale>
#include <QNetworkReply>
#include <QTimeZone>
#include <QUrl>

#include <algorithm>

namespace {

// Whether a page's own text can go back in a request header: short, printable, on one line.
bool sendable(const QByteArray &value)
{
    return value.size() <= 256 &&
           std::all_of(value.cbegin(), value.cend(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

} // namespace

namespace PageRequest {

QNetworkRequest make(const QString &url, const PageValidators &validators)
{
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("User-Agent", "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)");
    request.setRawHeader("Accept", "*/*");
    request.setRawHeader("Accept-Language", "zh-cn,zh;q=0.5");
    // Qt follows redirections unless told not to; a redirecting page counts only its own body.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // What a compressed body unpacks to counts against the page cap, which then fails it as too large; Qt's own
    // ratio check would end such a page as an answer without rows.
    request.setDecompressedSafetyCheckThreshold(-1);
    // Stored values are checked again: the user database is a file like any other.
    if (!validators.etag.isEmpty() && sendable(validators.etag))
        request.setRawHeader("If-None-Match", validators.etag);
    if (!validators.lastModified.isEmpty() && sendable(validators.lastModified))
        request.setRawHeader("If-Modified-Since", validators.lastModified);
    return request;
}

PageValidators validatorsOf(const QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299)
        return {};
    PageValidators validators;
    const QByteArray etag = reply->rawHeader("ETag").trimmed(), modified = reply->rawHeader("Last-Modified").trimmed();
    if (sendable(etag))
        validators.etag = etag;
    if (sendable(modified))
        validators.lastModified = modified;
    return validators;
}

void limit(QNetworkReply *reply)
{
    reply->setReadBufferSize(maxPageBytes + 1);
}

bool tooLarge(const QNetworkReply *reply)
{
    return reply->bytesAvailable() > maxPageBytes;
}

FetchOutcome outcomeOf(const QNetworkReply *reply)
{
    FetchOutcome outcome;
    outcome.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (outcome.status >= 400) {
        outcome.failed = true;
        outcome.reason = QStringLiteral("HTTP %1").arg(outcome.status);
    } else if (outcome.status == 0 && reply->error() != QNetworkReply::NoError) {
        outcome.failed = true;
        outcome.reason = reply->errorString();
    }
    return outcome;
}

qint64 retryAfter(const QByteArray &value, qint64 nowMs)
{
    const QByteArray text = value.trimmed();
    bool isNumber = false;
    const qint64 seconds = text.toLongLong(&isNumber);
    if (isNumber)
        return seconds >= 0 ? nowMs + qMin<qint64>(seconds, 366LL * 24 * 3600) * 1000 : -1;
    QDateTime when =
        QLocale::c().toDateTime(QString::fromLatin1(text), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!when.isValid())
        return -1;
    when.setTimeZone(QTimeZone::utc());
    return when.toMSecsSinceEpoch();
}

} // namespace PageRequest
