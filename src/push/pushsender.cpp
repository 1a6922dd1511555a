#include "push/pushsender.h"

#include "core/clock.h"
#include "push/pushformat.h"
#include "push/pushlog.h"
#include "scan/pagerequest.h"
#include "store/settings.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QTimer>

namespace {

// How many tasks wait for a channel at most: the message lists ten anyway and counts the rest.
constexpr qsizetype maxPending = 1000;

qint64 monotonicMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

QString laneKey(const PushChannel &channel)
{
    return QString::number(int(channel.kind)) + QLatin1Char('\n') + channel.url + QLatin1Char('\n') + channel.topic;
}

void keepLatest(QList<TaskData> &tasks)
{
    if (tasks.size() > maxPending)
        tasks.remove(0, tasks.size() - maxPending);
}

} // namespace

struct PushSender::Lane
{
    PushChannel channel;
    QList<TaskData> pending;
    QList<qint64> sentAt; // when the messages of the last window went, oldest first
    int attempt = 0;      // retries made for the tasks at the head of pending
    bool inFlight = false;
    QTimer timer;       // to the next message the pace allows, or to a retry
    int dropsInRow = 0; // messages dropped since the last one that went through
    QString trouble;    // what the user was told after the third drop; empty: nothing
};

PushSender::PushSender(const Pacing &pacing, QObject *parent)
    : QObject(parent), pacing(pacing), network(new QNetworkAccessManager(this))
{
}

PushSender::~PushSender() = default;

void PushSender::send(const QList<TaskData> &tasks, PushAudience audience)
{
    if (tasks.isEmpty())
        return;
    QSet<QString> taken; // a channel entered twice gets the batch once
    for (const PushChannel &channel : Key::PushChannels.value()) {
        if (!channel.enabled || (audience == PushAudience::IgnoringQuiet && !channel.ignoreQuiet) ||
            (audience == PushAudience::RespectingQuiet && channel.ignoreQuiet))
            continue;
        const QString key = laneKey(channel);
        if (std::exchange(taken, taken + QSet<QString>{key}).contains(key))
            continue;
        std::shared_ptr<Lane> &lane = lanes[key];
        if (!lane) {
            lane = std::make_shared<Lane>();
            lane->timer.setSingleShot(true);
            connect(&lane->timer, &QTimer::timeout, this, [this, lane = lane.get()] { fire(*lane); });
        }
        lane->channel = channel;
        lane->pending += tasks;
        keepLatest(lane->pending);
        schedule(*lane);
    }
}

void PushSender::schedule(Lane &lane)
{
    if (lane.inFlight || lane.pending.isEmpty() || lane.timer.isActive())
        return;
    const qint64 now = monotonicMs();
    while (!lane.sentAt.isEmpty() && lane.sentAt.first() <= now - pacing.windowMs)
        lane.sentAt.removeFirst();
    qint64 wait = 0;
    if (!lane.sentAt.isEmpty())
        wait = lane.sentAt.last() + pacing.minGapMs - now;
    if (lane.sentAt.size() >= pacing.perWindow)
        wait = qMax(wait, lane.sentAt[lane.sentAt.size() - pacing.perWindow] + pacing.windowMs - now);
    lane.timer.start(int(qMax<qint64>(0, wait)));
}

void PushSender::fire(Lane &lane)
{
    if (lane.inFlight || lane.pending.isEmpty())
        return;
    // The channel as the settings hold it now: one switched off or removed meanwhile (a retry waiting, a batch held)
    // gets nothing more, one edited is sent with its new address or secret.
    const QList<PushChannel> channels = Key::PushChannels.value();
    const auto now = std::find_if(channels.cbegin(), channels.cend(), [&lane](const PushChannel &channel) {
        return laneKey(channel) == laneKey(lane.channel);
    });
    if (now == channels.cend() || !now->enabled) {
        lane.pending.clear();
        lane.attempt = 0;
        return;
    }
    lane.channel = *now;
    // Whatever waited is one message: batches that came faster than the pace are merged here.
    const QList<TaskData> batch = std::exchange(lane.pending, {});
    lane.inFlight = true;
    lane.sentAt.append(monotonicMs());
    post(lane.channel, batch,
         [this, &lane, batch](const QString &failure, int retryAfter) { finished(lane, batch, failure, retryAfter); });
}

void PushSender::finished(Lane &lane, const QList<TaskData> &batch, const QString &failure, int retryAfter)
{
    lane.inFlight = false;
    const QString where = QString::fromLatin1(pushKindNames[int(lane.channel.kind)]);
    if (failure.isEmpty()) {
        lane.attempt = 0;
        lane.dropsInRow = 0;
        if (!std::exchange(lane.trouble, {}).isEmpty())
            emit problem(currentTrouble());
        schedule(lane);
        return;
    }
    // The address and the secrets stay out of the log: the kind and the host name the channel.
    qCDebug(lcPush).noquote() << "push failed:" << where << QUrl(lane.channel.url).host() << "-" << failure;
    if (retryAfter >= 0 && lane.attempt < pacing.retryMs.size()) {
        const qint64 wait =
            qMin<qint64>(qMax<qint64>(pacing.retryMs[lane.attempt], qint64(retryAfter) * 1000), pacing.longestWaitMs);
        ++lane.attempt;
        lane.pending = batch + lane.pending;
        keepLatest(lane.pending);
        lane.timer.start(int(wait));
        return;
    }
    lane.attempt = 0;
    qCDebug(lcPush).noquote() << "push dropped:" << where << batch.size() << "tasks";
    // Told per channel: one that keeps failing is not hidden by another that works.
    if (++lane.dropsInRow >= 3 && lane.trouble.isEmpty()) {
        lane.trouble = tr("推送失败 (%1): %2").arg(where, failure);
        emit problem(currentTrouble());
    }
    schedule(lane);
}

QString PushSender::currentTrouble() const
{
    // A channel since removed or switched off is no trouble.
    for (const PushChannel &channel : Key::PushChannels.value()) {
        const std::shared_ptr<Lane> lane = lanes.value(laneKey(channel));
        if (channel.enabled && lane && !lane->trouble.isEmpty())
            return lane->trouble;
    }
    return QString();
}

void PushSender::sendTest(const PushChannel &channel, const std::function<void(const QString &)> &done)
{
    const TaskData sample{tr("Kestrow"),
                          tr("测试"),
                          tr("这是一条测试消息"),
                          QString(),
                          QStringLiteral("https://github.com/kestrow/kestrow"),
                          QString(),
                          0};
    post(channel, {sample}, [done](const QString &failure, int) { done(failure); });
}

void PushSender::post(const PushChannel &channel, const QList<TaskData> &tasks,
                      const std::function<void(const QString &, int)> &done)
{
    // Never retried: it will not become an allowed address by waiting.
    if (!PushFormat::allowedAddress(channel.url)) {
        QTimer::singleShot(0, this, [done] { done(tr("地址须以 https:// 开头"), -1); });
        return;
    }
    const PushRequest message = PushFormat::request(channel, tasks, Clock::now().toMSecsSinceEpoch());
    QNetworkRequest request(message.url);
    request.setTransferTimeout(pacing.transferMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const auto &[name, value] : message.headers)
        request.setRawHeader(name, value);
    QNetworkReply *reply = network->post(request, message.body);
    reply->setReadBufferSize(pacing.maxAnswerBytes);
    // The transfer limit counts silence only: a server that sends a byte now and then is cut off all the same.
    QTimer::singleShot(pacing.transferMs, reply, &QNetworkReply::abort);
    auto answer = std::make_shared<QByteArray>();
    auto tooLarge = std::make_shared<bool>(false);
    const qint64 cap = pacing.maxAnswerBytes;
    // Read as it comes, and no further than the cap: a service's answer is small.
    connect(reply, &QNetworkReply::readyRead, reply, [reply, answer, tooLarge, cap] {
        answer->append(reply->read(cap + 1 - answer->size()));
        if (answer->size() > cap) {
            *tooLarge = true;
            reply->abort();
        }
    });
    const PushChannel::Kind kind = channel.kind;
    // Qt's error texts may quote the address, and with it a robot's key: the host stands for it.
    const QStringList secretForms = {channel.url, message.url.toString(), message.url.toString(QUrl::FullyEncoded)};
    const QString host = message.url.host();
    connect(reply, &QNetworkReply::finished, this, [reply, answer, tooLarge, cap, kind, done, secretForms, host] {
        reply->deleteLater();
        if (!*tooLarge && reply->isOpen())
            answer->append(reply->read(cap - answer->size()));
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        QString failure;
        if (*tooLarge) {
            // The robots say in their answer whether they took the message; the others by the status alone.
            const bool byStatus = kind == PushChannel::Kind::Ntfy || kind == PushChannel::Kind::Webhook;
            failure = byStatus && status >= 200 && status <= 299 ? QString() : tr("回应过大");
        } else if (status == 0) {
            failure = reply->errorString();
        } else {
            failure = PushFormat::refusal(kind, status, *answer);
        }
        for (const QString &form : secretForms)
            failure.replace(form, host);
        int retryAfter = 0;
        if (status == 429) {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            const qint64 until = PageRequest::retryAfter(reply->rawHeader("Retry-After"), now);
            retryAfter = until > now ? int(qMin<qint64>((until - now + 999) / 1000, 86400)) : 0;
        }
        done(failure, retryAfter);
    });
}
