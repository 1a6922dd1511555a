#include "scan/scantask.h"

#include "core/clock.h"
#include "core/webaddress.h"
#include "scan/nodehealth.h"
#include "scan/pagerequest.h"
#include "scan/scanlog.h"
#include "sites/sitedb.h"
#include "store/settings.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <limits>
#include <utility>

namespace {

const unsigned fallbackIntervalSeconds = QByteArray(Key::ScanInterval.defaultValue).toUInt();

} // namespace

ScanTask::ScanTask(QObject *parent) : QObject(parent), timer(new QTimer(this))
{
    connect(timer, &QTimer::timeout, this, &ScanTask::scan);
}

ScanTask::~ScanTask()
{
    timer->stop();
}

bool ScanTask::init()
{
    if (!userDb.isOpen())
        return false;
    SiteDb siteDb;
    if (!siteDb.isOpen())
        return false;
    nodes = userDb.attentionList();
    for (AttentionData &node : nodes) {
        NodeRule rule;
        if (!siteDb.nodeRule(node.site_name, node.note_name, rule)) {
            qCDebug(lcScan) << "followed node not in the catalogue:" << node.site_name << node.note_name;
            return false;
        }
        node.node_url = rule.node_url;
        node.rules = rule.rules;
    }
    NodeHealth::Limits limits;
    limits.failingAfter = positiveSetting(Key::NodeFailingPasses);
    limits.brokenAfter = positiveSetting(Key::NodeBrokenPasses);
    limits.intervalMs = intervalMs();
    health = std::make_unique<NodeHealth>(nodes, userDb.nodeStatuses(), limits);
    health->takeNewTrouble(); // what was wrong before this start was told then
    emit nodeHealth(health->troubled());
    restartTimer();
    return true;
}

qint64 ScanTask::intervalMs() const
{
    bool ok = false;
    unsigned seconds = setting(Key::ScanInterval).toUInt(&ok, 10);
    // Zero would re-scan without pause; it gets the same fallback as a value that is no number.
    if (!ok || seconds == 0)
        seconds = fallbackIntervalSeconds;
    return qint64(seconds) * Clock::timing().msPerIntervalSecond;
}

void ScanTask::restartTimer()
{
    timer->start(int(qMin<qint64>(intervalMs(), std::numeric_limits<int>::max())));
}

void ScanTask::scan()
{
    timer->stop();
    if (!health)
        return; // not initialised

    known.beginPass();
    // A manager per pass: no cookies, cache or connections survive from one pass to the next.
    auto *manager = new QNetworkAccessManager(this);
    connect(manager, &QNetworkAccessManager::finished, this, &ScanTask::onDownloadFinished);
    const qint64 passStart = Clock::now().toMSecsSinceEpoch();
    for (int i = 0; i < nodes.size(); ++i) {
        const AttentionData &node = nodes[i];
        if (!health->takesPart(i, passStart))
            continue;
        if (!isWebAddress(node.node_url)) {
            nodeFailed(i, QStringLiteral("not an http or https address: ") + node.node_url);
            continue;
        }
        QNetworkReply *reply = manager->get(PageRequest::make(node.node_url));
        PageRequest::limit(reply);
        connect(reply, &QNetworkReply::readyRead, this, &ScanTask::onReadyRead);
        replies.insert(reply, i);
    }
    qCDebug(lcScan) << "pass started:" << replies.size() << "pages";

    QEventLoop loop;
    QTimer wait;
    wait.setSingleShot(true);
    connect(this, &ScanTask::continueTimer, &loop, &QEventLoop::quit);
    connect(&wait, &QTimer::timeout, &loop, &QEventLoop::quit);
    wait.start(Clock::timing().passWaitMs);
    // Ends at the last page, after the wait, or at once when the thread is asked to quit.
    if (!replies.isEmpty())
        loop.exec();
    disconnect(&wait, &QTimer::timeout, &loop, &QEventLoop::quit);
    disconnect(manager, &QNetworkAccessManager::finished, this, &ScanTask::onDownloadFinished);
    disconnect(this, &ScanTask::continueTimer, &loop, &QEventLoop::quit);

    // Pages still outstanding are abandoned for this pass; they failed unless the pass was cut short by a stop.
    const bool interrupted = wait.isActive();
    const QHash<QNetworkReply *, int> late = std::exchange(replies, {});
    for (auto reply = late.cbegin(); reply != late.cend(); ++reply) {
        if (!interrupted)
            nodeFailed(reply.value(), QStringLiteral("no answer within %1 s").arg(Clock::timing().passWaitMs / 1000.0));
        delete reply.key();
    }

    const QList<NodeStatus> changed = health->takeChanged();
    if (!task_list.isEmpty()) {
        qCDebug(lcScan) << "pass found" << task_list.size() << "new tasks";
        emit newTask(task_list);
    }
    if ((!task_list.isEmpty() || !changed.isEmpty()) && userDb.storePass(task_list, changed))
        known.stored();
    task_list.clear();
    for (const NodeStatus &status : health->takeNewTrouble())
        emit nodeTroubleBegan(status);
    emit nodeHealth(health->troubled());
    restartTimer();
    delete manager;
}

void ScanTask::nodeFailed(int node, const QString &error)
{
    qCInfo(lcScan).noquote() << "fetch failed:" << nodes[node].site_name << "/" << nodes[node].note_name << "-"
                             << error;
    health->failed(node, error, Clock::now().toMSecsSinceEpoch());
}

void ScanTask::onDownloadFinished(QNetworkReply *reply)
{
    const auto found = replies.constFind(reply);
    if (found == replies.constEnd())
        return;
    const int index = found.value();
    const AttentionData &node = nodes[index];
    const qint64 now = Clock::now().toMSecsSinceEpoch();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    const int rows = known.newTasks(body, node, task_list);
    if (status >= 400) {
        // A host that asks for a pause gets it, all its nodes together (at most an hour).
        const qint64 until = PageRequest::retryAfter(reply->rawHeader("Retry-After"), now);
        if ((status == 429 || status == 503) && until > now)
            health->holdHost(reply->url().host(), until, now);
        nodeFailed(index, QStringLiteral("HTTP %1").arg(status));
    } else if (status == 0 && reply->error() != QNetworkReply::NoError) {
        nodeFailed(index, reply->errorString());
    } else {
        if (rows == 0)
            qCInfo(lcScan).noquote() << "no rows:" << node.site_name << "/" << node.note_name << "- HTTP" << status
                                     << body.size() << "bytes";
        health->answered(index, rows, now);
    }
    dropReply(reply);
}

void ScanTask::onReadyRead()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || !replies.contains(reply) || !PageRequest::tooLarge(reply))
        return;
    nodeFailed(replies.value(reply), QStringLiteral("page over %1 MiB").arg(PageRequest::maxPageBytes >> 20));
    dropReply(reply);
    reply->abort();
}

void ScanTask::dropReply(QNetworkReply *reply)
{
    replies.remove(reply);
    reply->deleteLater();
    if (replies.isEmpty())
        emit continueTimer();
}
