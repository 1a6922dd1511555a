#include "scan/scantask.h"

#include "core/clock.h"
#include "scan/pagerequest.h"
#include "scan/pages.h"
#include "scan/scanlog.h"
#include "sites/sitedb.h"
#include "store/settings.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <limits>

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
    restartTimer();
    return true;
}

void ScanTask::restartTimer()
{
    bool ok = false;
    unsigned seconds = setting(Key::ScanInterval).toUInt(&ok, 10);
    // Zero would re-scan without pause; it gets the same fallback as a value that is no number.
    if (!ok || seconds == 0)
        seconds = fallbackIntervalSeconds;
    const qint64 ms = qint64(seconds) * Clock::timing().msPerIntervalSecond;
    timer->start(int(qMin<qint64>(ms, std::numeric_limits<int>::max())));
}

void ScanTask::scan()
{
    timer->stop();
    // A manager per pass: no cookies, cache or connections survive from one pass to the next.
    auto *manager = new QNetworkAccessManager(this);
    connect(manager, &QNetworkAccessManager::finished, this, &ScanTask::onDownloadFinished);
    for (const AttentionData &node : std::as_const(nodes)) {
        if (!PageRequest::isFetchable(node.node_url)) {
            qCDebug(lcScan) << "not an http or https address, not fetched:" << node.node_url;
            continue;
        }
        QNetworkReply *reply = manager->get(PageRequest::make(node.node_url));
        PageRequest::limit(reply);
        connect(reply, &QNetworkReply::readyRead, this, &ScanTask::onReadyRead);
        replies.insert(reply, &node);
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

    // Pages still outstanding are abandoned for this pass.
    const QList<QNetworkReply *> late = replies.keys();
    replies.clear();
    qDeleteAll(late);

    if (!task_list.isEmpty()) {
        qCDebug(lcScan) << "pass found" << task_list.size() << "new tasks";
        emit newTask(task_list);
        userDb.addTasks(task_list);
        task_list.clear();
    }
    restartTimer();
    delete manager;
}

void ScanTask::onDownloadFinished(QNetworkReply *reply)
{
    const auto found = replies.constFind(reply);
    if (found == replies.constEnd())
        return;
    const AttentionData &node = *found.value();
    parsePage(
        decodePage(reply->readAll()), node, [this](const TaskData &task) { return userDb.hasTask(task); }, task_list);
    dropReply(reply);
}

void ScanTask::onReadyRead()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || !replies.contains(reply) || !PageRequest::tooLarge(reply))
        return;
    qCDebug(lcScan) << "page over" << PageRequest::maxPageBytes << "bytes abandoned:" << reply->url();
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
