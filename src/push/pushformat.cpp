#include "push/pushformat.h"

#include "core/webaddress.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>

namespace PushFormat {

namespace {

// The services' limits on a message's text, in bytes of UTF-8: WeCom's text message 2,048, ntfy's message 4,096,
// Feishu's request 20 KiB, DingTalk's text 20,000; a webhook gets every title at most this long.
qsizetype textLimit(PushChannel::Kind kind)
{
    switch (kind) {
    case PushChannel::Kind::WeCom:
        return 2048;
    case PushChannel::Kind::Ntfy:
        return 4096;
    case PushChannel::Kind::Feishu:
        return 18000;
    case PushChannel::Kind::DingTalk:
        return 19000;
    case PushChannel::Kind::Webhook:
        break;
    }
    return 1024;
}

QString headline(const QList<TaskData> &tasks)
{
    return QCoreApplication::translate("PushFormat", "Kestrow: %1 个新任务").arg(tasks.size());
}

// The titles with their prices and addresses, then the sites and nodes, as plain text: every service shows it as
// it is, so a title's markup stays text.
QString listing(const QList<TaskData> &tasks)
{
    QStringList lines;
    QStringList places;
    for (const TaskData &task : tasks) {
        const QString place = task.site_name + QStringLiteral(" / ") + task.note_name;
        if (!places.contains(place))
            places << place;
    }
    for (qsizetype i = 0; i < qMin<qsizetype>(tasks.size(), listedTasks); ++i) {
        const TaskData &task = tasks[i];
        // A title of a megabyte would leave no room for the others.
        const QString title = cutToBytes(task.task_name, 300);
        lines << (task.task_price.isEmpty()
                      ? QStringLiteral("%1. %2").arg(i + 1).arg(title)
                      : QStringLiteral("%1. %2 (%3)").arg(i + 1).arg(title, cutToBytes(task.task_price, 60)));
        lines << cutToBytes(task.task_url, 500);
    }
    if (tasks.size() > listedTasks)
        lines << QCoreApplication::translate("PushFormat", "…共 %1 个新任务").arg(tasks.size());
    lines << QCoreApplication::translate("PushFormat", "来自: %1").arg(places.join(QStringLiteral(", ")));
    return lines.join(QLatin1Char('\n'));
}

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject webhookBody(const QList<TaskData> &tasks)
{
    QJsonArray listed;
    // Enough for any use; a thousand-task batch stays a small request.
    for (qsizetype i = 0; i < qMin<qsizetype>(tasks.size(), 100); ++i) {
        const TaskData &task = tasks[i];
        const qsizetype limit = textLimit(PushChannel::Kind::Webhook);
        listed.append(QJsonObject{{QStringLiteral("site"), cutToBytes(task.site_name, limit)},
                                  {QStringLiteral("node"), cutToBytes(task.note_name, limit)},
                                  {QStringLiteral("title"), cutToBytes(task.task_name, limit)},
                                  {QStringLiteral("price"), cutToBytes(task.task_price, limit)},
                                  {QStringLiteral("url"), cutToBytes(task.task_url, limit)}});
    }
    return {{QStringLiteral("count"), tasks.size()}, {QStringLiteral("tasks"), listed}};
}

} // namespace

PushRequest request(const PushChannel &channel, const QList<TaskData> &tasks, qint64 nowMs)
{
    PushRequest out;
    out.url = QUrl(channel.url);
    out.headers.append(std::pair<QByteArray, QByteArray>("Content-Type", "application/json; charset=utf-8"));
    const qsizetype limit = textLimit(channel.kind);
    const QString text = cutToBytes(headline(tasks) + QLatin1Char('\n') + listing(tasks), limit);
    switch (channel.kind) {
    case PushChannel::Kind::WeCom:
    case PushChannel::Kind::DingTalk:
        out.body = json({{QStringLiteral("msgtype"), QStringLiteral("text")},
                         {QStringLiteral("text"), QJsonObject{{QStringLiteral("content"), text}}}});
        // Signed in the address: the time and the signature, percent-encoded, after the robot's access token.
        if (channel.kind == PushChannel::Kind::DingTalk && !channel.secret.isEmpty()) {
            out.url = QUrl(channel.url + (out.url.hasQuery() ? QLatin1Char('&') : QLatin1Char('?')) +
                           QStringLiteral("timestamp=%1&sign=%2")
                               .arg(nowMs)
                               .arg(QString::fromLatin1(dingTalkSign(nowMs, channel.secret).toPercentEncoding())));
        }
        break;
    case PushChannel::Kind::Feishu: {
        // Its text reads <at user_id="all"></at> as a mention of the whole group: a title from a site must not ring
        // everyone's phone, so '<' is shown as its full-width twin.
        QJsonObject body{
            {QStringLiteral("msg_type"), QStringLiteral("text")},
            {QStringLiteral("content"),
             QJsonObject{{QStringLiteral("text"), QString(text).replace(QLatin1Char('<'), QChar(0xFF1C))}}}};
        if (!channel.secret.isEmpty()) {
            const qint64 seconds = nowMs / 1000;
            body.insert(QStringLiteral("timestamp"), QString::number(seconds));
            body.insert(QStringLiteral("sign"), QString::fromLatin1(feishuSign(seconds, channel.secret)));
        }
        out.body = json(body);
        break;
    }
    case PushChannel::Kind::Ntfy: {
        // The topic's own address (https://ntfy.sh/jobs) names the topic too: published to the server's root.
        QString topic = channel.topic;
        if (topic.isEmpty()) {
            topic = out.url.path().section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
            out.url.setPath(QStringLiteral("/"));
        }
        QJsonObject body{{QStringLiteral("topic"), topic},
                         {QStringLiteral("title"), headline(tasks)},
                         {QStringLiteral("message"), cutToBytes(listing(tasks), limit)}};
        if (!tasks.isEmpty() && isWebAddress(tasks[0].task_url))
            body.insert(QStringLiteral("click"), cutToBytes(tasks[0].task_url, 500));
        out.body = json(body);
        if (!channel.secret.isEmpty())
            out.headers.append(std::pair<QByteArray, QByteArray>("Authorization", "Bearer " + channel.secret.toUtf8()));
        break;
    }
    case PushChannel::Kind::Webhook:
        out.body = json(webhookBody(tasks));
        break;
    }
    return out;
}

bool allowedAddress(const QString &url)
{
    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || address.host().isEmpty())
        return false;
    return address.scheme() == QLatin1String("https") ||
           (address.scheme() == QLatin1String("http") && address.host() == QLatin1String("127.0.0.1"));
}

QString refusal(PushChannel::Kind kind, int httpStatus, const QByteArray &body)
{
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    if (httpStatus < 200 || httpStatus > 299) {
        // ntfy says why in its JSON; the others' error pages are no text for a user.
        const QString error = answer.value(QLatin1String("error")).toString();
        return error.isEmpty() ? QStringLiteral("HTTP %1").arg(httpStatus)
                               : QStringLiteral("HTTP %1: %2").arg(httpStatus).arg(error.left(200));
    }
    const auto code = [&answer](const char *codeKey, const char *textKey) -> QString {
        const QJsonValue value = answer.value(QLatin1String(codeKey));
        if (value.isUndefined())
            return QCoreApplication::translate("PushFormat", "回应中没有 %1").arg(QLatin1String(codeKey));
        if (value.toInt(-1) == 0)
            return QString();
        return QStringLiteral("%1 %2: %3")
            .arg(QLatin1String(codeKey))
            .arg(value.toInteger())
            .arg(answer.value(QLatin1String(textKey)).toString().left(200));
    };
    switch (kind) {
    case PushChannel::Kind::WeCom:
    case PushChannel::Kind::DingTalk:
        return code("errcode", "errmsg");
    case PushChannel::Kind::Feishu:
        // Its robots answered {"StatusCode": 0} once, {"code": 0} now.
        return answer.contains(QLatin1String("StatusCode")) ? code("StatusCode", "StatusMessage") : code("code", "msg");
    case PushChannel::Kind::Ntfy:
    case PushChannel::Kind::Webhook:
        break;
    }
    return QString();
}

QByteArray dingTalkSign(qint64 timestampMs, const QString &secret)
{
    const QByteArray key = secret.toUtf8();
    return QMessageAuthenticationCode::hash(QByteArray::number(timestampMs) + '\n' + key, key,
                                            QCryptographicHash::Sha256)
        .toBase64();
}

QByteArray feishuSign(qint64 timestampSeconds, const QString &secret)
{
    return QMessageAuthenticationCode::hash(QByteArray(), QByteArray::number(timestampSeconds) + '\n' + secret.toUtf8(),
                                            QCryptographicHash::Sha256)
        .toBase64();
}

QString cutToBytes(const QString &text, qsizetype maxBytes)
{
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= maxBytes)
        return text;
    qsizetype end = maxBytes;
    // Back to the first byte of a character: continuation bytes are 10xxxxxx.
    while (end > 0 && (uchar(utf8[end]) & 0xC0) == 0x80)
        --end;
    utf8.truncate(end);
    return QString::fromUtf8(utf8);
}

} // namespace PushFormat
