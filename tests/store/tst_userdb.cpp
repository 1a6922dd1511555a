#include "store/query.h"
#include "store/storehealth.h"
#include "store/userdb.h"
#include "support/sandbox.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <iostream>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

class TestUserDb : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_sandbox;

    QStringList raw(const QString &sql) const { return rawColumn(m_sandbox->userDbPath(), sql); }
    QString count(const QString &table) const { return raw(u"SELECT COUNT(*) FROM %1;"_s.arg(table)).value(0); }
    // Makes inserts into table fail where condition holds.
    bool refuse(const QString &table, const QString &condition) const
    {
        return rawExec(m_sandbox->userDbPath(), u"CREATE TRIGGER refuse_%1 BEFORE INSERT ON %1 WHEN %2 BEGIN SELECT "
                                                "RAISE(ABORT, 'no'); END;"_s.arg(table, condition));
    }

public:
    // count tasks titled after pattern, with %1 the task's number.
    static QList<TaskData> tasks(int count, const QString &pattern)
    {
        QList<TaskData> tasks;
        for (int i = 0; i < count; ++i)
            tasks << makeTask(pattern.arg(i));
        return tasks;
    }

private:
    // Titles of a search in result order; "<failed>" when the search reports failure.
    static QStringList search(UserDb &db, const QString &site, const QString &text)
    {
        TaskRows tasks;
        if (!db.searchTasks(site, text, tasks))
            return {u"<failed>"_s};
        QStringList titles;
        for (qsizetype row = 0; row < tasks.size(); ++row)
            titles << tasks.text(row, 2);
        return titles;
    }

private slots:
    void init() { m_sandbox = std::make_unique<Sandbox>(false); }
    void cleanup() { m_sandbox.reset(); }

    void schemaIsMadeOnceAndWhole()
    {
        // A group whose last statement fails leaves nothing of itself, so a later start makes it whole; opening again
        // changes nothing.
        QVERIFY(writeFile(m_sandbox->userDbPath(), {}) && raw(u"CREATE TABLE tb_history_task_text(x);"_s).isEmpty());
        QVERIFY(UserDb().isOpen());
        QCOMPARE(count(u"sqlite_master WHERE name = 'tb_history_task'"_s), u"0"_s);
        QVERIFY(raw(u"DROP TABLE tb_history_task_text;"_s).isEmpty() && UserDb().setConfig(u"k"_s, u"v"_s));
        const QStringList sql = raw(u"SELECT sql FROM sqlite_master;"_s);
        QVERIFY(sql.contains(u"CREATE VIRTUAL TABLE tb_history_task_text USING FTS4(task_name TEXT, tokenize = "
                             "CatTokenizer)"_s));
        QCOMPARE(UserDb().config(u"k"_s, QString()), u"v"_s);
        QCOMPARE(raw(u"SELECT sql FROM sqlite_master;"_s), sql);
    }

    void unusableFilesFailQuietly()
    {
        const QByteArray garbage = QByteArray("this is not a database").repeated(300);
        QVERIFY(writeFile(m_sandbox->userDbPath(), garbage));
        // A file that is no database, and a path that is a directory; the user hears of both.
        for (const QString &path : {m_sandbox->userDbPath(), m_sandbox->root()}) {
            UserDb db(path);
            QVERIFY(!db.isOpen() && StoreHealth::instance()->problem().endsWith(QFileInfo(path).absolutePath()));
            QCOMPARE(db.config(u"k"_s, u"fallback"_s), u"fallback"_s);
            QVERIFY(!db.setConfig(u"k"_s, u"v"_s) && !db.setAttention({{u"s"_s, u"n"_s}}) &&
                    db.attentionMap().isEmpty());
            QVERIFY(!db.addTasks({makeTask(u"t"_s)}) && !db.hasTask(makeTask(u"t"_s)) && db.attentionList().isEmpty());
            QVERIFY(!db.storePass({}, {NodeStatus()}) && db.nodeStatuses().isEmpty());
        }
        QCOMPARE(readFile(m_sandbox->userDbPath()), garbage);
    }

    void fullDiskIsReportedAndHeals()
    {
        // The file may not grow (as on a full disk): batches fail whole, the user hears of it, and storing works again
        // once there is room.
        UserDb db;
        QVERIFY(db.addTasks({makeTask(u"first"_s)}));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit tight{rlim_t(QFileInfo(m_sandbox->userDbPath()).size()), saved.rlim_max};
        QVERIFY(setrlimit(RLIMIT_FSIZE, &tight) == 0);
        const QList<TaskData> batch = tasks(500, u"任务 %1 with a title long enough to need new pages"_s);
        const bool stored = db.addTasks(batch);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0 && !stored);
        // (A file over its size limit is a write error to SQLite; a full disk would read "磁盘已满".)
        QCOMPARE(StoreHealth::instance()->problem(),
                 u"无法写入: "_s + QFileInfo(m_sandbox->userDbPath()).absolutePath());
        QVERIFY(!db.hasTask(batch.first()) && db.hasTask(makeTask(u"first"_s)));
        // A pass that only rewrites node statuses does not tell that storing works again; storing tasks does.
        QVERIFY(db.storePass({}, {NodeStatus{u"站"_s, u"节点"_s, 0, 1, 0, 0, QString()}}));
        QVERIFY(!StoreHealth::instance()->problem().isEmpty());
        QVERIFY(db.addTasks(batch));
        QCOMPARE(StoreHealth::instance()->problem(), QString());
        QCOMPARE(raw(u"PRAGMA integrity_check;"_s), QStringList{u"ok"_s});
    }

    void killedMidBatchLosesNothing()
    {
        // A process killed while it stores batches leaves a sound file in which every batch is whole or absent.
        QRandomGenerator random(20261206);
        for (int round = 0; round < 5; ++round) {
            QProcess child;
            qputenv("KESTROW_TEST_STORE_BATCHES", QByteArray::number(round));
            child.start(QCoreApplication::applicationFilePath(), QStringList());
            QVERIFY(child.waitForReadyRead(30000));
            QTest::qWait(int(random.bounded(20, 200)));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(30000));
        }
        qunsetenv("KESTROW_TEST_STORE_BATCHES");
        UserDb db;
        QVERIFY(db.execute(u"INSERT INTO tb_history_task_text(tb_history_task_text) VALUES('integrity-check');"_s));
        QCOMPARE(raw(u"PRAGMA integrity_check;"_s), QStringList{u"ok"_s});
        const QStringList sizes =
            raw(u"SELECT COUNT(*) FROM tb_history_task GROUP BY substr(task_name, 1, instr(task_name, '-'));"_s);
        QVERIFY(!sizes.isEmpty() && sizes == QStringList(sizes.size(), u"20"_s));
    }

    void configAndFollowedNodes()
    {
        UserDb db;
        // A missing key reads as the default, a NULL or empty value as empty text; keys and values are plain UTF-8,
        // quotes and all; a key is stored once.
        QVERIFY(db.setConfig(u"empty"_s, {}) && db.setConfig(u"it's"_s, u"1"_s) &&
                db.setConfig(u"it's"_s, u"字体 \"x\""_s));
        QVERIFY(db.execute(u"INSERT INTO tb_config VALUES('null', NULL);"_s) && count(u"tb_config"_s) == u"3"_s);
        QCOMPARE((QStringList{db.config(u"missing"_s, u"d"_s), db.config(u"it's"_s, {}), db.config(u"empty"_s, u"d"_s),
                              db.config(u"null"_s, u"d"_s)}),
                 (QStringList{u"d"_s, u"字体 \"x\""_s, {}, {}}));
        // The followed nodes are replaced all or nothing: a failing row leaves the earlier list, the connection usable.
        QVERIFY(db.setAttention({{u"A"_s, u"x"_s}, {u"A"_s, u"y"_s}, {u"猪八戒"_s, u"设计"_s}}));
        const QHash<QString, QSet<QString>> expected{{u"A"_s, {u"x"_s, u"y"_s}}, {u"猪八戒"_s, {u"设计"_s}}};
        QVERIFY(refuse(u"tb_attention"_s, u"NEW.note_name = 'bad'"_s));
        QVERIFY(!db.setAttention({{u"C"_s, u"1"_s}, {u"C"_s, u"bad"_s}}));
        QVERIFY(db.attentionMap() == expected && db.attentionList().size() == 3);
        QVERIFY(db.isAttention(u"A"_s, u"y"_s) && !db.isAttention(u"y"_s, u"A"_s));
        QVERIFY(db.setAttention({}) && db.attentionList().isEmpty());
    }

    void identityLookup()
    {
        UserDb db;
        const TaskData stored = makeTask(u"Logo设计"_s);
        QVERIFY(!db.hasTask(stored) && db.addTasks({stored}));
        // Node address and mark do not count; every one of the five fields does, exactly.
        const TaskData other{stored.site_name,
                             stored.note_name,
                             stored.task_name,
                             stored.task_price,
                             stored.task_url,
                             u"http://elsewhere/"_s,
                             5};
        QVERIFY(db.hasTask(other) && stored.isSameTask(other));
        for (QString TaskData::*field : {&TaskData::site_name, &TaskData::note_name, &TaskData::task_name,
                                         &TaskData::task_price, &TaskData::task_url}) {
            TaskData changed = stored;
            changed.*field += u"x"_s;
            QVERIFY(!db.hasTask(changed) && !stored.isSameTask(changed));
            QCOMPARE(db.hasTasks({changed, other}), (QList<bool>{false, true}));
        }
        // The lookup uses the identity index, also in a file made before the index existed.
        QVERIFY(db.execute(u"DROP INDEX idx_tb_history_task_identity;"_s));
        UserDb reopened;
        Query plan(reopened, u"EXPLAIN QUERY PLAN SELECT COUNT(rowid) FROM tb_history_task WHERE task_url = 'a' AND "
                             "site_name = 'b' AND note_name = 'c' AND task_name = 'd' AND task_price = 'e';"_s);
        QVERIFY(plan.exec() && plan.next() && plan.value(3).toString().contains(u"idx_tb_history_task_identity"_s));
    }

    void addTasksAllOrNothing()
    {
        UserDb db;
        // Times after 2038 keep their full value; titles are indexed lower-cased.
        const QDateTime when(QDate(2040, 2, 29), QTime(12, 0), Qt::UTC);
        Clock::setOverride(when.toLocalTime());
        TaskData first = makeTask(u"Café LOGO"_s, QString());
        first.attr_mark = 9;
        QVERIFY(db.addTasks({first}) && db.addTasks({}));
        Query rows(db,
                   u"SELECT h.task_time || '|' || h.attr_mark || '|' || h.task_price || '|' || h.note_url || '|' || "
                   "t.task_name FROM tb_history_task h JOIN tb_history_task_text t ON t.rowid = h.idxid;"_s);
        QVERIFY(rows.exec() && rows.next());
        QCOMPARE(rows.value(0).toString(), u"%1|9||http://127.0.0.1/list|café logo"_s.arg(when.toSecsSinceEpoch()));
        QVERIFY(!rows.next());
        QVERIFY(refuse(u"tb_history_task"_s, u"NEW.task_name = 'bad'"_s));
        QVERIFY(!db.addTasks({makeTask(u"one"_s), makeTask(u"bad"_s), makeTask(u"three"_s)}));
        QCOMPARE(count(u"tb_history_task"_s), u"1"_s);
        QCOMPARE(count(u"tb_history_task_text_content"_s), u"1"_s);
        // A pass's tasks and node statuses go in together or not at all; a status is replaced, never doubled.
        const NodeStatus status{u"站"_s, u"节点"_s, 1, 2, 3, 4, u"HTTP 503"_s};
        QVERIFY(refuse(u"tb_node_status"_s, u"NEW.failures > 5"_s));
        QVERIFY(!db.storePass({makeTask(u"four"_s)}, {status, NodeStatus{u"站"_s, u"x"_s, 6, 0, 0, 0, QString()}}));
        QCOMPARE(count(u"tb_history_task"_s), u"1"_s);
        QVERIFY(db.storePass({makeTask(u"four"_s)}, {status}) && db.storePass({}, {status}));
        QCOMPARE(db.nodeStatuses(), QList<NodeStatus>{status});
        QVERIFY(db.addTasks({makeTask(u"five"_s)}));
    }

    void search()
    {
        UserDb db;
        const QStringList all = {u"Logo Design"_s, u"企业网站建设与维护"_s, u"word  two"_s, u"word two"_s,
                                 u"LOGO redo"_s};
        QVERIFY(db.addTasks({makeTask(all[0], u"1"_s, u"站A"_s), makeTask(all[1], QString(), u"站A"_s),
                             makeTask(all[2], u"1"_s, u"站B"_s), makeTask(all[3], u"2"_s, u"站B"_s),
                             makeTask(all[4], u"1"_s, u"站A"_s)}));
        // Site, text → titles, oldest first; the text matches any case, across words and spaces count.
        const std::tuple<QString, QString, QStringList> cases[] = {
            {{}, {}, all},
            {{}, u"logo"_s, {all[0], all[4]}},
            {{}, u"GO DE"_s, {all[0]}},
            {{}, u"网站建设"_s, {all[1]}},
            {{}, u"word  two"_s, {all[2]}},
            {u"站B"_s, {}, {all[2], all[3]}},
            {u"站A"_s, u"redo"_s, {all[4]}},
            {u"站B"_s, u"logo"_s, {}},
            {u"站C"_s, {}, {}},
        };
        for (const auto &[site, text, titles] : cases)
            QCOMPARE(search(db, site, text), titles);
        // Search text is never SQL nor full-text syntax, only characters none of the titles hold in that order; the
        // history stays as it was.
        for (const char *text : {"\"", "a\"b", "logo\" OR \"word", "*", "-logo", "NEAR", "logo*",
                                 "'; DROP TABLE tb_history_task; --", "(", "a AND", "^", "\\", "%", "\x01"}) {
            TaskRows found;
            db.searchTasks(QString(), QString::fromUtf8(text), found);
            QVERIFY2(found.size() == 0, text);
        }
        QCOMPARE(search(db, QString(), QString()), all);
    }

    void purgeByAgeAndCompact()
    {
        UserDb db;
        const QDateTime now(QDate(2026, 12, 6), QTime(10, 0)), cutoff = now.addDays(-3);
        // Seconds after the cutoff three days ago.
        const std::pair<int, QString> rows[] = {
            {-1, u"older"_s}, {0, u"exactly"_s}, {1, u"younger"_s}, {2 * 86400, u"yesterday"_s}};
        for (const auto &[seconds, title] : rows) {
            Clock::setOverride(cutoff.addSecs(seconds));
            QVERIFY(db.addTasks({makeTask(title)}));
        }
        QVERIFY(db.addTasks(tasks(2000, u"任务 %1 with a fairly long title to fill pages"_s)));
        QVERIFY(db.execute(u"DELETE FROM tb_history_task WHERE task_name LIKE '任务%';"_s));
        // A purge that removes nothing does not rewrite the file; one that removes rows compacts it.
        Clock::setOverride(cutoff);
        QVERIFY(db.purgeTasks(3) && raw(u"PRAGMA freelist_count;"_s).value(0).toInt() > 0);
        Clock::setOverride(now);
        QVERIFY(db.purgeTasks(3));
        QCOMPARE(search(db, QString(), QString()), (QStringList{u"exactly"_s, u"younger"_s, u"yesterday"_s}));
        QCOMPARE(search(db, QString(), u"older"_s), QStringList());
        QCOMPARE(raw(u"PRAGMA freelist_count;"_s), QStringList{u"0"_s});
        // A retention that is not a positive number keeps the default three days instead of wiping the history.
        QVERIFY(db.purgeTasks(0) && db.purgeTasks(-5) && search(db, QString(), QString()).size() == 3);
        QVERIFY(db.purgeTasks(1));
        QCOMPARE(search(db, QString(), QString()), QStringList{u"yesterday"_s});
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Child mode for killedMidBatchLosesNothing(): store batches of 20 until killed.
    if (qEnvironmentVariableIsSet("KESTROW_TEST_STORE_BATCHES")) {
        UserDb db;
        for (int batch = 0;; ++batch) {
            const QString prefix = u"%1.%2-"_s.arg(qEnvironmentVariable("KESTROW_TEST_STORE_BATCHES")).arg(batch);
            db.addTasks(TestUserDb::tasks(20, prefix + u"%1"_s));
            std::cout << "stored" << std::endl;
        }
    }
    TestUserDb test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_userdb.moc"
