#include "scan/scantask.h"

#include "core/clock.h"
#include "core/paths.h"
#include "core/webaddress.h"
#include "scan/nodehealth.h"
#include "scan/pagerequest.h"
#include "scan/scanlog.h"
#include "sites/sitedb.h"
#include "store/settings.h"

#include <QDateTime>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <limits>
#include <utility>

namespace {

constexpr qsizetype maxUnstored = 1000;
constexpr qsizetype trimAfterTasks = 2000;

// A task's identity (see TaskData::isSameTask) as one text.
QString identity(const TaskData &task)
{
    return QStringList{task.site_name, task.note_name, task.task_name, task.task_price, task.task_url}.join(QChar(0));
}

} // namespace

ScanTask::ScanTask(const Catalog &catalog, QObject *parent)
    : QObject(parent), catalogPath(catalog.path()), timer(new QTimer(this))
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
    nodes = userDb.attentionList();
    QList<AttentionPair> wanted;
    for (const AttentionData &node : std::as_const(nodes))
        wanted.append({node.site_name, node.note_name});
    SiteDb siteDb(catalogPath);
    QSet<AttentionPair> unreadable;
    const QHash<AttentionPair, NodeRule> rules = siteDb.nodeRules(wanted, unreadable);
    // A node of a site the catalogue no longer has (a site of the user's, removed) is not scanned and not counted
    // as failing: its row stays, so it is followed again when the site comes back.
    const QStringList siteNames = siteDb.siteNames();
    for (qsizetype i = nodes.size() - 1; i >= 0; --i) {
        if (!siteNames.isEmpty() && !rules.contains(wanted[i]) && !siteNames.contains(wanted[i].first)) {
            qCDebug(lcScan).noquote() << "followed node of a site not in the catalogue:" << nodes[i].site_name << "/"
                                      << nodes[i].note_name;
            nodes.removeAt(i);
            wanted.removeAt(i);
        }
    }
    // A node the catalogue cannot give is left out of this run, and said so; every other node is scanned.
    const QString noCatalog = tr("站点目录无法读取: %1").arg(catalogPath);
    QHash<int, QString> leftOut;
    for (int i = 0; i < nodes.size(); ++i) {
        const auto rule = rules.constFind(wanted[i]);
        if (rule != rules.constEnd()) {
            nodes[i].node_url = rule->node_url;
            nodes[i].rules = rule->rules;
            nodes[i].kind = rule->kind;
            continue;
        }
        leftOut.insert(i, !siteDb.isOpen()                 ? noCatalog
                          : unreadable.contains(wanted[i]) ? tr("目录中的节点无法读取")
                                                           : tr("不在目录中"));
        qCDebug(lcScan).noquote() << "followed node left out:" << nodes[i].site_name << "/" << nodes[i].note_name << "-"
                                  << leftOut[i];
    }
    NodeHealth::Limits limits;
    limits.thresholds = healthThresholds();
    limits.intervalMs = intervalMs();
    health = std::make_unique<NodeHealth>(nodes, userDb.nodeStatuses(), limits);
    health->takeNewTrouble(); // what was wrong before this start was told then
    const qint64 now = Clock::now().toMSecsSinceEpoch();
    for (auto node = leftOut.cbegin(); node != leftOut.cend(); ++node)
        health->unavailable(node.key(), node.value(), now);
    const qsizetype scannable = nodes.size() - leftOut.size();
    // Nothing at all to scan is one problem, told once, rather than a balloon a node.
    const bool stuck = scannable == 0 && !nodes.isEmpty();
    const QList<NodeStatus> newTrouble = health->takeNewTrouble();
    emit scanProblem(stuck ? tr("无法扫描任何关注节点: %1").arg(leftOut.value(0)) : QString());
    if (!stuck) {
        for (const NodeStatus &status : newTrouble)
            emit nodeTroubleBegan(status);
    }
    emit nodeHealth(health->troubled());
    restartTimer();
    return true;
}

qint64 ScanTask::intervalMs() const
{
    return qint64(Key::ScanInterval.value().count()) * Clock::timing().msPerIntervalSecond;
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
    // A pass that found thousands of tasks (the first over long pages, say) leaves the heap at its peak: once its
    // lists are gone, the memory goes back to the system rather than staying with an idle program. The batch the
    // window got is freed there later, so the next pass gives that back too.
    if (std::exchange(trimDue, false))
        trimWorkingSet();
    trimDue = pass() > trimAfterTasks;
    if (trimDue)
        trimWorkingSet();
}

qsizetype ScanTask::pass()
{
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
        QNetworkReply *reply = manager->get(PageRequest::make(node.node_url, health->status(i).validators));
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
    // Tasks announced while storing failed come again as new until they are stored: they are announced once only.
    QList<TaskData> fresh;
    for (TaskData &task : task_list) {
        if (!unstoredKeys.contains(identity(task)))
            fresh.append(std::move(task));
    }
    task_list = {}; // not cleared: a first pass of thousands of tasks would keep their room
    const qsizetype found = fresh.size();
    if (!fresh.isEmpty()) {
        qCDebug(lcScan) << "pass found" << fresh.size() << "new tasks";
        emit newTask(fresh);
    }
    const QList<TaskData> toStore = unstored + fresh;
    const bool stored = (!toStore.isEmpty() || !changed.isEmpty()) && userDb.storePass(toStore, changed);
    if (stored) {
        known.stored();
        unstored.clear();
        unstoredKeys.clear();
    } else if (!toStore.isEmpty()) {
        // The pages are fetched whole again until their tasks are stored: a 304 would hide the tasks beyond those
        // kept here.
        health->dropValidators();
    }
    if (!stored && !fresh.isEmpty()) {
        // Kept for the next pass, as many as the popup holds: the oldest beyond that would only be announced again.
        unstored = toStore.mid(qMax<qsizetype>(0, toStore.size() - maxUnstored));
        unstoredKeys.clear();
        for (const TaskData &task : std::as_const(unstored))
            unstoredKeys.insert(identity(task));
    }
    for (const NodeStatus &status : health->takeNewTrouble())
        emit nodeTroubleBegan(status);
    emit nodeHealth(health->troubled());
    restartTimer();
    delete manager;
    return found;
}

void ScanTask::nodeFailed(int node, const QString &error)
{
    qCDebug(lcScan).noquote() << "fetch failed:" << nodes[node].site_name << "/" << nodes[node].note_name << "-"
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
    const PageRequest::FetchOutcome outcome = PageRequest::outcomeOf(reply);
    const int status = outcome.status;
    if (status == 304 && !health->status(index).validators.isEmpty()) {
        // Not modified since the answer that gave the validators: its rows are still the known ones.
        known.unchanged(node);
        health->unchanged(index, now);
        dropReply(reply);
        return;
    }
    const QByteArray body = reply->readAll();
    const int rows = known.newTasks(body, node, task_list);
    if (outcome.failed) {
        health->dropValidators(index);
        // A host that asks for a pause gets it, all its nodes together (at most an hour); a long one is their failure.
        const qint64 until = PageRequest::retryAfter(reply->rawHeader("Retry-After"), now);
        const QString when = QDateTime::fromMSecsSinceEpoch(until).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        if ((status == 429 || status == 503) && until > now &&
            health->holdHost(reply->url().host(), until, now, tr("%1, 服务器要求暂停至 %2").arg(outcome.reason, when)))
            qCDebug(lcScan).noquote() << "host held:" << reply->url().host() << "until" << when;
        else
            nodeFailed(index, outcome.reason);
    } else {
        if (rows == 0)
            qCDebug(lcScan).noquote() << "no rows:" << node.site_name << "/" << node.note_name << "- HTTP" << status
                                      << body.size() << "bytes";
        health->answered(index, rows, now, PageRequest::validatorsOf(reply));
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
