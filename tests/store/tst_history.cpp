#include "clock.h"
#include "query.h"
#include "testenv.h"
#include "userdb.h"

#include <QStandardItemModel>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

TaskData task(const QString &title, const QString &price = u"100元"_s, const QString &site = u"站A"_s)
{
    return TaskData{site, u"设计"_s, title, price, u"http://h/t/"_s + title, u"http://h/list"_s, 0};
}

// First column of every row, read on a connection that knows the tokenizer (the full-text table needs it).
QStringList column(const QString &sql)
{
    UserDb db;
    Query query(db, sql);
    QStringList values;
    if (!query.exec())
        return {u"<failed>"_s};
    while (query.next())
        values << query.value(0).toString();
    return values;
}

QString count(const QString &table)
{
    return column(u"SELECT COUNT(*) FROM %1;"_s.arg(table)).value(0);
}

// Titles (column 2) of a search, in result order; "<failed>" when the search reports failure.
QStringList search(UserDb &db, const QString &site, const QString &text)
{
    QStandardItemModel model(0, 6);
    if (!db.searchTasks(site, text, &model))
        return {u"<failed>"_s};
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
    const TaskData stored = task(u"Logo设计"_s);
    QVERIFY(!db.hasTask(stored));
    QVERIFY(db.addTasks({stored}));
    TaskData other = stored;
    other.note_url = u"http://elsewhere/"_s;
    other.attr_mark = 5;
    QVERIFY(db.hasTask(other));
    QVERIFY(stored.isSameTask(other)); // the record's own rule agrees with the history's
    other.task_name = u"logo设计"_s;
    QVERIFY(!db.hasTask(other));
    QVERIFY(!stored.isSameTask(other));
    QVERIFY(!db.hasTask(task(u"Logo设计"_s, QString())));

    // The lookup goes through the identity index, also in a file made before the index existed.
    const QString plan = QStringLiteral("EXPLAIN QUERY PLAN SELECT COUNT(rowid) FROM tb_history_task WHERE task_url = "
                                        "'a' AND site_name = 'b' AND note_name = 'c' AND task_name = 'd' AND "
                                        "task_price = 'e';");
    QVERIFY(rawExec(m_dir->userDbPath(), u"DROP INDEX idx_tb_history_task_identity;"_s));
    UserDb reopened;
    Query explain(reopened, plan);
    QVERIFY(explain.exec() && explain.next());
    QVERIFY2(explain.value(3).toString().contains(u"idx_tb_history_task_identity"_s),
             qPrintable(explain.value(3).toString()));
    QVERIFY(reopened.hasTask(stored));
}

void TestHistory::addTasksStoresRows()
{
    UserDb db;
    // Times after 2038 keep their full value.
    const QDateTime when(QDate(2040, 2, 29), QTime(12, 0), Qt::UTC);
    Clock::setOverride(when.toLocalTime());
    TaskData first = task(u"Café LOGO"_s, QString());
    first.attr_mark = 9;
    QVERIFY(db.addTasks({first, task(u"网站建设"_s)}));
    QVERIFY(db.addTasks({}));
    const QStringList rows =
        column(QStringLiteral("SELECT h.task_time || '|' || h.attr_mark || '|' || h.site_name || '|' || h.note_name "
                              "|| '|' || h.task_name || '|' || h.task_price || '|' || h.task_url || '|' || "
                              "h.note_url || '|' || t.task_name FROM tb_history_task h JOIN tb_history_task_text t "
                              "ON t.rowid = h.idxid ORDER BY h.rowid;"));
    const QString time = QString::number(when.toSecsSinceEpoch());
    QCOMPARE(rows, (QStringList{time + QStringLiteral("|9|站A|设计|Café LOGO||http://h/t/Café LOGO|http://h/list|café "
                                                      "logo"),
                                time + u"|0|站A|设计|网站建设|100元|http://h/t/网站建设|http://h/list|网站建设"_s}));
}

void TestHistory::addTasksIsAllOrNothing()
{
    UserDb db;
    QVERIFY(db.addTasks({task(u"kept"_s)}));
    QVERIFY(
        rawExec(m_dir->userDbPath(), QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON tb_history_task WHEN "
                                                    "NEW.task_name = 'bad' BEGIN SELECT RAISE(ABORT, 'no'); END;")));
    QVERIFY(!db.addTasks({task(u"one"_s), task(u"two"_s), task(u"bad"_s), task(u"four"_s)}));
    QCOMPARE(count(u"tb_history_task"_s), u"1"_s);
    QCOMPARE(count(u"tb_history_task_text"_s), u"1"_s);
    QVERIFY(!db.hasTask(task(u"one"_s)));
    // The connection is left usable.
    QVERIFY(db.addTasks({task(u"five"_s)}));
    QCOMPARE(count(u"tb_history_task"_s), u"2"_s);
}

void TestHistory::searchRules()
{
    UserDb db;
    QVERIFY(db.addTasks({task(u"Logo Design"_s), task(u"企业网站建设与维护"_s, QString()),
                         task(u"word  two"_s, u"1"_s, u"站B"_s), task(u"word two"_s, u"2"_s, u"站B"_s),
                         task(u"LOGO redo"_s)}));
    QCOMPARE(search(db, QString(), u"logo"_s), (QStringList{u"Logo Design"_s, u"LOGO redo"_s}));
    QCOMPARE(search(db, QString(), u"GO DE"_s), QStringList{u"Logo Design"_s});
    QCOMPARE(search(db, QString(), u"网站建设"_s), QStringList{u"企业网站建设与维护"_s});
    QCOMPARE(search(db, QString(), u"word  two"_s), QStringList{u"word  two"_s});
    QCOMPARE(search(db, QString(), u"word two"_s), QStringList{u"word two"_s});
    // Site filter alone: that site's rows, oldest first; with text: both conditions.
    QCOMPARE(search(db, u"站B"_s, QString()), (QStringList{u"word  two"_s, u"word two"_s}));
    QCOMPARE(search(db, u"站B"_s, u"logo"_s), QStringList());
    QCOMPARE(search(db, u"站A"_s, u"redo"_s), QStringList{u"LOGO redo"_s});
    QCOMPARE(search(db, QString(), QString()).size(), 5);

    // Every column in place, "无" for a missing price.
    QStandardItemModel model(0, 6);
    QVERIFY(db.searchTasks(QString(), u"维护"_s, &model));
    QCOMPARE(model.rowCount(), 1);
    QStringList row;
    for (int c = 0; c < 6; ++c)
        row << model.item(0, c)->text();
    QCOMPARE(row, (QStringList{u"站A"_s, u"设计"_s, u"企业网站建设与维护"_s, u"无"_s,
                               u"http://h/t/企业网站建设与维护"_s, u"http://h/list"_s}));
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
    QVERIFY(db.addTasks({task(u"Logo Design"_s), task(u"word two"_s)}));
    QStandardItemModel model(0, 6);
    const bool ok = db.searchTasks(QString(), text, &model);
    // A statement the text breaks fails and leaves the model as it was; anything else is an ordinary search.
    if (!ok)
        QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.rowCount() <= 2);
    QCOMPARE(count(u"tb_history_task"_s), u"2"_s);
    QCOMPARE(search(db, QString(), u"logo"_s), QStringList{u"Logo Design"_s});
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
    QVERIFY(addAt(cutoff.addSecs(-1), u"older"_s));
    QVERIFY(addAt(cutoff, u"exactly"_s));
    QVERIFY(addAt(cutoff.addSecs(1), u"younger"_s));
    QVERIFY(addAt(now.addDays(-1), u"yesterday"_s));
    Clock::setOverride(now);
    QVERIFY(db.purgeTasks(3));
    QCOMPARE(search(db, QString(), QString()), (QStringList{u"exactly"_s, u"younger"_s, u"yesterday"_s}));
    // The full-text rows went with their tasks.
    QCOMPARE(search(db, QString(), u"older"_s), QStringList());
    QCOMPARE(count(u"tb_history_task_text"_s), u"3"_s);
    // A retention that is not a positive number keeps the default three days instead of wiping the history.
    QVERIFY(db.purgeTasks(0));
    QVERIFY(db.purgeTasks(-5));
    QCOMPARE(search(db, QString(), QString()).size(), 3);
    QVERIFY(db.purgeTasks(1));
    QCOMPARE(search(db, QString(), QString()), QStringList{u"yesterday"_s});
}

void TestHistory::purgeCompacts()
{
    UserDb db;
    QList<TaskData> many;
    for (int i = 0; i < 2000; ++i)
        many << task(u"任务 %1 with a fairly long title to fill pages"_s.arg(i));
    QVERIFY(db.addTasks(many));
    // Free pages left by a deletion outside the purge...
    QVERIFY(rawExec(m_dir->userDbPath(), u"DELETE FROM tb_history_task WHERE rowid > 10;"_s));
    QVERIFY(rawColumn(m_dir->userDbPath(), u"PRAGMA freelist_count;"_s).value(0).toInt() > 0);
    // ...are gone after a purge that deletes nothing.
    QVERIFY(db.purgeTasks(3));
    QCOMPARE(rawColumn(m_dir->userDbPath(), u"PRAGMA freelist_count;"_s), QStringList{u"0"_s});
    QCOMPARE(count(u"tb_history_task"_s), u"10"_s);
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
