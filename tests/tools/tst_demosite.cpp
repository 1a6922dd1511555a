#include "demosite.h"
#include "pages.h"
#include "sitedb.h"

#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

class TestDemoSite : public QObject
{
    Q_OBJECT

private slots:
    void everyDemoNodeYieldsItsTasks();
};

void TestDemoSite::everyDemoNodeYieldsItsTasks()
{
    // The demo catalogue's markers cut the demo site's pages into tasks whose addresses are served.
    DemoSite site;
    SiteDb catalog(QStringLiteral(KESTROW_DEMO_SDB));
    QList<SiteData> sites;
    QVERIFY(catalog.sites(sites));
    QCOMPARE(sites.size(), 3);
    int nodes = 0;
    int priced = 0;
    for (const SiteData &data : std::as_const(sites)) {
        for (const QString &name : data.node_names) {
            NodeRule rule;
            QVERIFY(catalog.nodeRule(data.site_name, name, rule));
            const QUrl url(rule.node_url);
            QCOMPARE(url.port(), 8731);
            int status = 0;
            const QByteArray body = site.page(url.path(), nullptr, &status);
            QCOMPARE(status, 200);
            QList<TaskData> tasks;
            parsePage(decodePage(body), AttentionData{data.site_name, name, rule.node_url, rule.rules}, nullptr, tasks);
            QCOMPARE(tasks.size(), 5);
            for (const TaskData &task : std::as_const(tasks)) {
                QVERIFY(!task.task_name.isEmpty());
                QVERIFY2(!task.task_name.contains(QLatin1Char('&')) || task.task_name.contains(u" & "_s),
                         qPrintable(task.task_name));
                const QUrl taskUrl(task.task_url);
                QCOMPARE(taskUrl.host(), u"127.0.0.1"_s);
                const QByteArray taskPage =
                    site.page(taskUrl.path() + (taskUrl.hasQuery() ? QLatin1Char('?') + taskUrl.query() : QString()),
                              nullptr, &status);
                QCOMPARE(status, 200);
                QVERIFY(replaceEntities(decodePage(taskPage)).contains(task.task_name));
                if (!task.task_price.isEmpty()) {
                    ++priced;
                    QVERIFY2(task.task_price.endsWith(u"元"_s) && !task.task_price.contains(QLatin1Char(' ')),
                             qPrintable(task.task_price));
                }
            }
            ++nodes;
        }
    }
    QCOMPARE(nodes, 8);
    QVERIFY(priced > 0);
    // New tasks appear at the top of some lists.
    QVERIFY(site.addTasks() > 0);
}

QTEST_MAIN(TestDemoSite)
#include "tst_demosite.moc"
