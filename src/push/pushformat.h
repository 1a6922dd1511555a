#pragma once

#include "core/pushchannel.h"
#include "core/taskdata.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <utility>

// One push as it goes on the wire.
struct PushRequest
{
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
};

// What each service is sent and how its answer reads: pure functions, the same for the sender and the tests.
namespace PushFormat {

// How many titles a message lists; the rest are counted.
inline constexpr int listedTasks = 10;

// The request that tells channel of tasks (one announced batch, or several merged), signed at nowMs where the
// service signs. Texts are cut to what the service takes, never inside a character.
PushRequest request(const PushChannel &channel, const QList<TaskData> &tasks, qint64 nowMs);
// Whether pushes may go to url: https, or plain http to 127.0.0.1 (a relay on this machine, the tests).
bool allowedAddress(const QString &url);
// What the service answered: empty when it took the message, else why not (its own error text where it gives one).
QString refusal(PushChannel::Kind kind, int httpStatus, const QByteArray &body);

// DingTalk's signature: Base64 of HMAC-SHA256 keyed with the secret over "<timestampMs>\n<secret>".
QByteArray dingTalkSign(qint64 timestampMs, const QString &secret);
// Feishu's: Base64 of HMAC-SHA256 keyed with "<timestampSeconds>\n<secret>" over nothing.
QByteArray feishuSign(qint64 timestampSeconds, const QString &secret);
// text cut to at most maxBytes of UTF-8, at a character's start.
QString cutToBytes(const QString &text, qsizetype maxBytes);

} // namespace PushFormat
