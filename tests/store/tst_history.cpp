#include "clock.h"
#include "query.h"
#include "testenv.h"
#include "userdb.h"

#include <QStandardItemModel>
#include <QTest>

namespace {

TaskData task(const QString &title, const QString &price = QStringLiteral("100元"),
              const QString &site = QStringLiteral("站A"))
{
    return TaskData{site,
                    QStringLiteral("设计"),
                    title,
                    price,
                    QStringLiteral("http://h/t/") + title,
                    QStringLiteral("http://h/list"),
                    0};
}

// First column of every row, read on a connection that knows the tokenizer (the full-text table needs it).
QStringList column(const QString &sql)
{
    UserDb db;
    Query query(db, sql);
    QStringList values;
    if (!query.exec())
        return {QStringLiteral("<failed>")};
    while (query.next())
        values << query.value(0).toString();
    return values;
}

QString count(const QString &table)
{
    return column(QStringLiteral("SELECT COUNT(*) FROM %1;").arg(table)).value(0);
}

// Titles (column 2) of a search, in result order; "<failed>" when the search reports failure.
QStringList search(UserDb &db, const QString &site, const QString &text)
{
    QStandardItemModel model(0, 6);
    if (!db.searchTasks(site, text, &model))
        return {QStringLiteral("<failed>")};
    QStringList titles;
    for (int r = 0; r < model.rowCount(); ++r)
        titles << model.item(r, 2)->text();
    return titles;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void identityLookup();
    void addTasksStoresRows();
    void addTasksIsAllOrNothing();
    void searchRules();
    void searchTextIsNeverSql_data();
    void searchTextIsNeverSql();
    void purgeByAge();
    void purgeCompacts();

private:
    std::unique_ptr<TempDataDir> m_dir;
};

void TestHistory::init()
{
    m_dir = std::make_unique<TempDataDir>();
}

void TestHistory::cleanup()
{
    Clock::clearOverride();
    m_dir.reset();
}

void TestHistory::identityLookup()
{
    UserDb db;
    const TaskData stored = task(QStringLiteral("Logo设计"));
    QVERIFY(!db.hasTask(stored));
    QVERIFY(db.addTasks({stored}));
    TaskData other = stored;
    other.note_url = QStringLiteral("http://elsewhere/");
    other.attr_mark = 5;
    QVERIFY(db.hasTask(other));
    QVERIFY(stored.isSameTask(other)); // the record's own rule agrees with the history's
    other.task_name = QStringLiteral("logo设计");
    QVERIFY(!db.hasTask(other));
    QVERIFY(!stored.isSameTask(other));
    QVERIFY(!db.hasTask(task(QStringLiteral("Logo设计"), QString())));

    // The lookup goes through the identity index, also in a file made before the index existed.
    const QString plan = QStringLiteral("EXPLAIN QUERY PLAN SELECT COUNT(rowid) FROM tb_history_task WHERE task_url = "
                                        "'a' AND site_name = 'b' AND note_name = 'c' AND task_name = 'd' AND "
                                        "task_price = 'e';");
    QVERIFY(rawExec(m_dir->userDbPath(), QStringLiteral("DROP INDEX idx_tb_history_task_identity;")));
    UserDb reopened;
    Query explain(reopened, plan);
    QVERIFY(explain.exec() && explain.next());
    QVERIFY2(explain.value(3).toString().contains(QStringLiteral("idx_tb_history_task_identity")),
             qPrintable(explain.value(3).toString()));
    QVERIFY(reopened.hasTask(stored));
}

void TestHistory::addTasksStoresRows()
{
    UserDb db;
    // Times after 2038 keep their full value.
    const QDateTime when(QDate(2040, 2, 29), QTime(12, 0), Qt::UTC);
    Clock::setOverride(when.toLocalTime());
    TaskData first = task(QStringLiteral("Café LOGO"), QString());
    first.attr_mark = 9;
    QVERIFY(db.addTasks({first, task(QStringLiteral("网站建设"))}));
    QVERIFY(db.addTasks({}));
    const QStringList rows =
        column(QStringLiteral("SELECT h.task_time || '|' || h.attr_mark || '|' || h.site_name || '|' || h.note_name "
                              "|| '|' || h.task_name || '|' || h.task_price || '|' || h.task_url || '|' || "
                              "h.note_url || '|' || t.task_name FROM tb_history_task h JOIN tb_history_task_text t "
                              "ON t.rowid = h.idxid ORDER BY h.rowid;"));
    const QString time = QString::number(when.toSecsSinceEpoch());
    QCOMPARE(
        rows,
        (QStringList{time + QStringLiteral("|9|站A|设计|Café LOGO||http://h/t/Café LOGO|http://h/list|café "
                                           "logo"),
                     time + QStringLiteral("|0|站A|设计|网站建设|100元|http://h/t/网站建设|http://h/list|网站建设")}));
}

void TestHistory::addTasksIsAllOrNothing()
{
    UserDb db;
    QVERIFY(db.addTasks({task(QStringLiteral("kept"))}));
    QVERIFY(
        rawExec(m_dir->userDbPath(), QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON tb_history_task WHEN "
                                                    "NEW.task_name = 'bad' BEGIN SELECT RAISE(ABORT, 'no'); END;")));
    QVERIFY(!db.addTasks({task(QStringLiteral("one")), task(QStringLiteral("two")), task(QStringLiteral("bad")),
                          task(QStringLiteral("four"))}));
    QCOMPARE(count(QStringLiteral("tb_history_task")), QStringLiteral("1"));
    QCOMPARE(count(QStringLiteral("tb_history_task_text")), QStringLiteral("1"));
    QVERIFY(!db.hasTask(task(QStringLiteral("one"))));
    // The connection is left usable.
    QVERIFY(db.addTasks({task(QStringLiteral("five"))}));
    QCOMPARE(count(QStringLiteral("tb_history_task")), QStringLiteral("2"));
}

void TestHistory::searchRules()
{
    UserDb db;
    QVERIFY(db.addTasks({task(QStringLiteral("Logo Design")), task(QStringLiteral("企业网站建设与维护"), QString()),
                         task(QStringLiteral("word  two"), QStringLiteral("1"), QStringLiteral("站B")),
                         task(QStringLiteral("word two"), QStringLiteral("2"), QStringLiteral("站B")),
                         task(QStringLiteral("LOGO redo"))}));
    QCOMPARE(search(db, QString(), QStringLiteral("logo")),
             (QStringList{QStringLiteral("Logo Design"), QStringLiteral("LOGO redo")}));
    QCOMPARE(search(db, QString(), QStringLiteral("GO DE")), QStringList{QStringLiteral("Logo Design")});
    QCOMPARE(search(db, QString(), QStringLiteral("网站建设")), QStringList{QStringLiteral("企业网站建设与维护")});
    QCOMPARE(search(db, QString(), QStringLiteral("word  two")), QStringList{QStringLiteral("word  two")});
    QCOMPARE(search(db, QString(), QStringLiteral("word two")), QStringList{QStringLiteral("word two")});
    // Site filter alone: that site's rows, oldest first; with text: both conditions.
    QCOMPARE(search(db, QStringLiteral("站B"), QString()),
             (QStringList{QStringLiteral("word  two"), QStringLiteral("word two")}));
    QCOMPARE(search(db, QStringLiteral("站B"), QStringLiteral("logo")), QStringList());
    QCOMPARE(search(db, QStringLiteral("站A"), QStringLiteral("redo")), QStringList{QStringLiteral("LOGO redo")});
    QCOMPARE(search(db, QString(), QString()).size(), 5);

    // Every column in place, "无" for a missing price.
    QStandardItemModel model(0, 6);
    QVERIFY(db.searchTasks(QString(), QStringLiteral("维护"), &model));
    QCOMPARE(model.rowCount(), 1);
    QStringList row;
    for (int c = 0; c < 6; ++c)
        row << model.item(0, c)->text();
    QCOMPARE(row, (QStringList{QStringLiteral("站A"), QStringLiteral("设计"), QStringLiteral("企业网站建设与维护"),
                               QStringLiteral("无"), QStringLiteral("http://h/t/企业网站建设与维护"),
                               QStringLiteral("http://h/list")}));
}

void TestHistory::searchTextIsNeverSql_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text : {"\"", "a\"b", "\"\"", "logo\" OR \"word", "*", "-logo", "NEAR", "logo*",
                             "'; DROP TABLE "
                             "tb_history_task; --",
                             "(", "a AND", "^", "\\", "%", "\x01"})
        QTest::newRow(text) << QString::fromUtf8(text);
}

void TestHistory::searchTextIsNeverSql()
{
    QFETCH(QString, text);
    UserDb db;
    QVERIFY(db.addTasks({task(QStringLiteral("Logo Design")), task(QStringLiteral("word two"))}));
    QStandardItemModel model(0, 6);
    const bool ok = db.searchTasks(QString(), text, &model);
    // A statement the text breaks fails and leaves the model as it was; anything else is an ordinary search.
    if (!ok)
        QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.rowCount() <= 2);
    QCOMPARE(count(QStringLiteral("tb_history_task")), QStringLiteral("2"));
    QCOMPARE(search(db, QString(), QStringLiteral("logo")), QStringList{QStringLiteral("Logo Design")});
}

void TestHistory::purgeByAge()
{
    UserDb db;
    const QDateTime now(QDate(2026, 12, 6), QTime(10, 0));
    const QDateTime cutoff = now.addDays(-3);
    const auto addAt = [&db](const QDateTime &when, const QString &title) {
        Clock::setOverride(when);
        return db.addTasks({task(title)});
    };
    QVERIFY(addAt(cutoff.addSecs(-1), QStringLiteral("older")));
    QVERIFY(addAt(cutoff, QStringLiteral("exactly")));
    QVERIFY(addAt(cutoff.addSecs(1), QStringLiteral("younger")));
    QVERIFY(addAt(now.addDays(-1), QStringLiteral("yesterday")));
    Clock::setOverride(now);
    QVERIFY(db.purgeTasks(3));
    QCOMPARE(search(db, QString(), QString()),
             (QStringList{QStringLiteral("exactly"), QStringLiteral("younger"), QStringLiteral("yesterday")}));
    // The full-text rows went with their tasks.
    QCOMPARE(search(db, QString(), QStringLiteral("older")), QStringList());
    QCOMPARE(count(QStringLiteral("tb_history_task_text")), QStringLiteral("3"));
    // A retention that is not a positive number keeps the default three days instead of wiping the history.
    QVERIFY(db.purgeTasks(0));
    QVERIFY(db.purgeTasks(-5));
    QCOMPARE(search(db, QString(), QString()).size(), 3);
    QVERIFY(db.purgeTasks(1));
    QCOMPARE(search(db, QString(), QString()), QStringList{QStringLiteral("yesterday")});
}

void TestHistory::purgeCompacts()
{
    UserDb db;
    QList<TaskData> many;
    for (int i = 0; i < 2000; ++i)
        many << task(QStringLiteral("任务 %1 with a fairly long title to fill pages").arg(i));
    QVERIFY(db.addTasks(many));
    // Free pages left by a deletion outside the purge...
    QVERIFY(rawExec(m_dir->userDbPath(), QStringLiteral("DELETE FROM tb_history_task WHERE rowid > 10;")));
    QVERIFY(rawColumn(m_dir->userDbPath(), QStringLiteral("PRAGMA freelist_count;")).value(0).toInt() > 0);
    // ...are gone after a purge that deletes nothing.
    QVERIFY(db.purgeTasks(3));
    QCOMPARE(rawColumn(m_dir->userDbPath(), QStringLiteral("PRAGMA freelist_count;")),
             QStringList{QStringLiteral("0")});
    QCOMPARE(count(QStringLiteral("tb_history_task")), QStringLiteral("10"));
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
