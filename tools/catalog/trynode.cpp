#include "trynode.h"

#include "core/clock.h"
#include "scan/pagefetch.h"
#include "scan/pagerequest.h"
#include "scan/pages.h"
#include "sites/catalogfile.h"
#include "sites/sitedb.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace TryNode {

namespace {

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

bool fetch(const QString &url, QByteArray &body, Outcome &outcome, QString *error)
{
    const PageFetch::Result fetched = PageFetch::fetchNow(url);
    switch (fetched.failure) {
    case PageFetch::Failure::NotWebAddress:
        return fail(error, QStringLiteral("%1 is not an http or https address; Kestrow never fetches it").arg(url));
    case PageFetch::Failure::TooLarge:
        return fail(error, QStringLiteral("%1: the page is larger than %2 bytes and would be skipped")
                               .arg(url)
                               .arg(PageRequest::maxPageBytes));
    case PageFetch::Failure::NoAnswerInTime:
        return fail(error, QStringLiteral("%1: no complete answer within %2 ms; the page would be skipped")
                               .arg(url)
                               .arg(Clock::timing().passWaitMs));
    case PageFetch::Failure::None:
        break;
    }
    body = fetched.body;
    const int status = fetched.outcome.status;
    outcome.summary = QStringLiteral("HTTP status %1, ").arg(status);
    outcome.fetchFailed = fetched.outcome.failed;
    if (!fetched.networkError.isEmpty() && status < 300)
        outcome.note = QStringLiteral("%1: %2 (HTTP status %3); its body is cut all the same, as Kestrow does")
                           .arg(url, fetched.networkError)
                           .arg(status);
    else if (status >= 300)
        outcome.note = QStringLiteral("%1: HTTP status %2; %3")
                           .arg(url)
                           .arg(status)
                           .arg(status < 400 ? QStringLiteral("redirections are not followed")
                                             : QStringLiteral("Kestrow counts this as a failed fetch"));
    return true;
}

bool run(const QString &catalogPath, const QString &site, const QString &node, const QString &pageFile,
         Outcome &outcome, QString *error)
{
    if (!QFile::exists(catalogPath))
        return fail(error, QStringLiteral("%1 does not exist").arg(catalogPath));
    SiteDb db(catalogPath);
    NodeRule rule;
    if (!db.nodeRule(site, node, rule))
        return fail(error, QStringLiteral("%1 has no node \"%2\" on site \"%3\"").arg(catalogPath, node, site));
    QByteArray body;
    if (!pageFile.isEmpty()) {
        if (!CatalogFile::readSmallFile(pageFile, PageRequest::maxPageBytes, body, error))
            return false;
    } else if (!fetch(rule.node_url, body, outcome, error)) {
        return false;
    }
    outcome.summary += QStringLiteral("%1 bytes, read as %2")
                           .arg(body.size())
                           .arg(rule.kind == NodeKind::Feed ? QStringLiteral("a feed") : pageCharset(body));
    const AttentionData followed{site, node, rule.node_url, rule.rules, rule.kind};
    parseBody(body, followed, outcome.tasks);
    outcome.diagnosis = diagnoseBody(body, followed);
    return true;
}

QByteArray jsonLine(const TaskData &task)
{
    const QJsonObject object{
        {QStringLiteral("site_name"), task.site_name}, {QStringLiteral("note_name"), task.note_name},
        {QStringLiteral("task_name"), task.task_name}, {QStringLiteral("task_price"), task.task_price},
        {QStringLiteral("task_url"), task.task_url},   {QStringLiteral("note_url"), task.note_url}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace TryNode
