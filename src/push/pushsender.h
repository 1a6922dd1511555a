#pragma once

#include "core/pushchannel.h"
#include "core/taskdata.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <memory>

class QNetworkAccessManager;

// Which channels a batch is for: every one, those that send during quiet hours too (the batch arrived while quiet),
// or the others (the batch they held through quiet hours).
enum class PushAudience { All, IgnoringQuiet, RespectingQuiet };

// The pace of a PushSender: at most one message per channel every minGapMs and perWindow in windowMs; a failed one is
// tried again after each of retryMs, then dropped; an answer must come within transferMs and is read up to
// maxAnswerBytes.
struct PushPacing
{
    int minGapMs = 3000;
    int perWindow = 20;
    int windowMs = 60000;
    QList<int> retryMs{10000, 30000, 120000};
    int transferMs = 15000;
    qint64 maxAnswerBytes = 64 * 1024;
    int longestWaitMs = 600000; // a Retry-After beyond this waits this long
};

// Sends announced batches to the enabled push channels of the settings: paced as the robots allow (batches that come
// faster are merged), retried with back-off and then dropped, never waiting on anything. Lives on a thread of its own.
class PushSender : public QObject
{
    Q_OBJECT

public:
    using Pacing = PushPacing;

    explicit PushSender(const Pacing &pacing = Pacing(), QObject *parent = nullptr);
    ~PushSender() override;

    // Sends tasks to the enabled channels audience names, as the settings hold them now.
    void send(const QList<TaskData> &tasks, PushAudience audience);
    // Sends a test message to channel alone, at once; done gets empty when the service took it, else why not.
    void sendTest(const PushChannel &channel, const std::function<void(const QString &)> &done);

signals:
    // A channel had three messages in a row dropped: text says which and why. Empty once no channel is in trouble.
    void problem(const QString &text);

private:
    struct Lane;
    void schedule(Lane &lane);
    void fire(Lane &lane);
    void finished(Lane &lane, const QList<TaskData> &batch, const QString &failure, int retryAfterSeconds);
    // What the first channel in trouble was told; empty when none is.
    QString currentTrouble() const;
    // Posts tasks to channel; done gets the failure (empty: delivered) and a Retry-After in seconds (0: none).
    void post(const PushChannel &channel, const QList<TaskData> &tasks,
              const std::function<void(const QString &, int)> &done);

    Pacing pacing;
    QNetworkAccessManager *network;
    QHash<QString, std::shared_ptr<Lane>> lanes; // by channel
};
