#include "store/cattokenizer.h"
#include "store/query.h"
#include "store/settings.h"
#include "store/storehealth.h"
#include "store/userdb.h"
#include "support/sandbox.h"

#include <QDir>
#include <QTest>
#include <sqlite3.h>

#include <csignal>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

// The store layer: the SQL layer and its character tokenizer (which the searches and fuzz_tokenizer exercise), the user
// database and the settings kept in it.
class TestStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_sandbox;

    QString path() const { return m_sandbox->userDbPath(); }
    QStringList raw(const QString &sql) const { return rawColumn(path(), sql); }
    QString count(const QString &table) const { return raw(u"SELECT COUNT(*) FROM %1;"_s.arg(table)).value(0); }
    // The settings row of key, "<no row>" without one.
    QString stored(const QString &key) const
    {
        return raw(u"SELECT cval FROM tb_config WHERE ckey = '%1';"_s.arg(key)).value(0, u"<no row>"_s);
    }
    // Makes writes to table fail where condition holds.
    bool refuse(const QString &table, const QString &condition, const QString &write = u"INSERT"_s) const
    {
        return rawExec(path(), u"CREATE TRIGGER refuse_%1_%3 BEFORE %3 ON %1 WHEN %2 BEGIN SELECT "
                               "RAISE(ABORT, 'no'); END;"_s.arg(table, condition, write));
    }
    // Titles of a search in result order; "<failed>" when the search reports failure.
    static QStringList search(UserDb &db, const QString &site = {}, const QString &text = {})
    {
        TaskRows tasks;
        if (!db.searchTasks(site, text, tasks))
            return {u"<failed>"_s};
        QStringList titles;
        for (qsizetype row = 0; row < tasks.size(); ++row)
            titles << tasks.text(row, TaskRows::Title);
        return titles;
    }
    // Tasks titled after pattern, with %1 the task's number.
    static QList<TaskData> tasks(int count, const QString &pattern)
    {
        QList<TaskData> tasks;
        for (int i = 0; i < count; ++i)
            tasks << makeTask(pattern.arg(i));
        return tasks;
    }

private slots:
    void init() { m_sandbox = std::make_unique<Sandbox>(false); }
    void cleanup() { m_sandbox.reset(); }

    void sqlTextCannotRegisterPointers()
    {
        // The registered module is ours; only a bound name reads the pointer back...
        UserDb db;
        Query query(db, u"SELECT fts3_tokenizer(?);"_s);
        query.bind(u"CatTokenizer"_s);
        const sqlite3_tokenizer_module *expected = &tokenizerModule;
        QVERIFY(query.exec() && query.next());
        QCOMPARE(query.value(0).toByteArray(), QByteArray(reinterpret_cast<const char *>(&expected), sizeof expected));
        Query literal(db, u"SELECT fts3_tokenizer('CatTokenizer');"_s);
        QVERIFY(literal.exec() && literal.next() && !literal.value(0).isValid());
        // ...and a pointer written into SQL text is refused, while a second connection still registers fine.
        QVERIFY(!db.execute(u"SELECT fts3_tokenizer('evil', x'0102030405060708');"_s));
        QVERIFY(UserDb().execute(u"CREATE VIRTUAL TABLE t USING fts4(x, tokenize = CatTokenizer);"_s));
    }

    void schemaGrowsInPlace()
    {
        // Every shape this project has made: the first k steps, at version 0 as before the schema was numbered, with
        // a setting where there is a table for it. Each opens at the latest version with its rows; opening again
        // writes nothing.
        const QList<QStringList> &steps = UserDb::schemaSteps();
        QVERIFY(QDir().mkpath(QFileInfo(path()).absolutePath()));
        QByteArray latest;
        for (qsizetype made = 0; made <= steps.size(); ++made) {
            const QString file = path() + QString::number(made);
            {
                Database shape;
                QVERIFY(shape.open(file, true, true));
                for (qsizetype step = 0; step < made; ++step) {
                    for (const QString &sql : steps[step])
                        QVERIFY(shape.execute(sql));
                }
                if (made > 0)
                    QVERIFY(shape.execute(u"INSERT INTO tb_config VALUES('kept', 'yes');"_s));
            }
            QVERIFY(UserDb(file).addTasks({makeTask(u"t"_s)}));
            QCOMPARE(rawColumn(file, u"PRAGMA user_version;"_s), QStringList{QString::number(steps.size())});
            QCOMPARE(UserDb(file).config(u"kept"_s, u"no"_s), made > 0 ? u"yes"_s : u"no"_s);
            const QStringList schema = rawColumn(file, u"SELECT type || name FROM sqlite_master ORDER BY name;"_s);
            if (made == 0)
                latest = schema.join(u' ').toUtf8();
            QCOMPARE(schema.join(u' ').toUtf8(), latest);
            const QByteArray bytes = readFile(file);
            QVERIFY(UserDb(file).isOpen() && readFile(file) == bytes);
        }
        // A newer version's file is read, never written, and the user hears why.
        const QString newer = path() + u"0"_s;
        QVERIFY(rawExec(newer, u"PRAGMA user_version = 99;"_s));
        const QByteArray bytes = readFile(newer);
        UserDb db(newer);
        QVERIFY(db.hasTask(makeTask(u"t"_s)) && !db.addTasks({makeTask(u"u"_s)}) && !db.setConfig(u"k"_s, u"v"_s));
        QVERIFY(StoreHealth::instance()->problem().contains(u"更新版本"_s));
        QCOMPARE(readFile(newer), bytes);
    }

    void unusableFilesFailQuietly()
    {
        // A file that is no database, one cut short, one whose pages are damaged, and a path that is a directory: the
        // user hears of each (damage as damage), and nothing is written into a damaged file again.
        const QString garbage = path() + u".garbage"_s, truncated = path() + u".truncated"_s;
        const QString damaged = path() + u".damaged"_s;
        QVERIFY(writeFile(garbage, QByteArray("this is not a database").repeated(300)));
        for (const QString &file : {truncated, damaged}) {
            UserDb db(file);
            QVERIFY(db.addTasks(tasks(400, u"任务 %1 with a title long enough to fill several pages"_s)));
        }
        QVERIFY(QFile::resize(truncated, QFileInfo(truncated).size() / 2));
        QFile pages(damaged);
        QVERIFY(pages.open(QIODevice::ReadWrite) && pages.seek(pages.size() - 3 * 4096));
        pages.write(QByteArray(3 * 4096, '\x5a')), pages.close();
        const std::pair<QString, QString> cases[] = {{garbage, u"数据文件已损坏"_s},
                                                     {truncated, u"数据文件已损坏"_s},
                                                     {damaged, u"数据文件已损坏"_s},
                                                     {m_sandbox->root(), u"无法写入"_s}};
        for (const auto &[file, problem] : cases) {
            const QByteArray before = readFile(file);
            UserDb db(file);
            QVERIFY2(!db.addTasks(tasks(50, u"新任务 %1"_s)), qPrintable(file));
            QVERIFY(!db.setConfig(u"k"_s, u"v"_s) && !db.setAttention({{u"s"_s, u"n"_s}}));
            QVERIFY(!db.storePass({makeTask(u"t"_s)}, {NodeStatus()}) && !db.hasTask(makeTask(u"t"_s)));
            QCOMPARE(StoreHealth::instance()->problem(), problem + u": "_s + QFileInfo(file).absolutePath());
            QVERIFY2(readFile(file) == before, qPrintable(file));
            if (!db.isOpen())
                QVERIFY(db.config(u"k"_s, u"fallback"_s) == u"fallback"_s && db.attentionList().isEmpty() &&
                        db.nodeStatuses().isEmpty());
        }
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
        const rlimit tight{rlim_t(QFileInfo(path()).size()), saved.rlim_max};
        QVERIFY(setrlimit(RLIMIT_FSIZE, &tight) == 0);
        const QList<TaskData> batch = tasks(500, u"任务 %1 with a title long enough to need new pages"_s);
        const bool stored = db.addTasks(batch);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &saved) == 0 && !stored);
        // (A file over its size limit is a write error to SQLite; a full disk would read "磁盘已满".)
        QCOMPARE(StoreHealth::instance()->problem(), u"无法写入: "_s + QFileInfo(path()).absolutePath());
        QVERIFY(!db.hasTask(batch.first()) && db.hasTask(makeTask(u"first"_s)));
        // A pass that only rewrites node statuses does not tell that storing works again; storing tasks does.
        // Nor does a purge that found nothing to delete.
        QVERIFY(db.storePass({}, {NodeStatus{u"站"_s, u"节点"_s, 0, 1, 0, 0, QString()}}) && db.purgeTasks(3));
        QVERIFY(!StoreHealth::instance()->problem().isEmpty());
        QVERIFY(db.addTasks(batch) && StoreHealth::instance()->problem().isEmpty());
        QCOMPARE(raw(u"PRAGMA integrity_check;"_s), QStringList{u"ok"_s});
    }

    void configAndFollowedNodes()
    {
        // The folder and the file hold the push channels' secrets: the user's alone, whatever they were made as.
        {
            UserDb made;
        }
        const QString folder = QFileInfo(m_sandbox->userDbPath()).absolutePath();
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7755)) &&
                QFile::setPermissions(m_sandbox->userDbPath(), QFileDevice::Permissions(0x6644)));
        UserDb db;
        QCOMPARE(int(QFileInfo(folder).permissions().toInt() & 0x0077), 0);
        QCOMPARE(int(QFileInfo(m_sandbox->userDbPath()).permissions().toInt() & 0x0077), 0);
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
        TaskData other = stored;
        other.note_url = u"http://elsewhere/"_s, other.attr_mark = 5;
        QVERIFY(db.hasTask(other) && stored.isSameTask(other));
        for (QString TaskData::*field : {&TaskData::site_name, &TaskData::note_name, &TaskData::task_name,
                                         &TaskData::task_price, &TaskData::task_url}) {
            TaskData changed = stored;
            changed.*field += u"x"_s;
            QVERIFY(!db.hasTask(changed) && !stored.isSameTask(changed));
            QCOMPARE(db.hasTasks({changed, other}), (QList<bool>{false, true}));
        }
    }

    void addTasksAllOrNothing()
    {
        UserDb db;
        // Times after 2038 keep their full value; titles are indexed lower-cased.
        const QDateTime when(QDate(2040, 2, 29), QTime(12, 0), Qt::UTC);
        m_sandbox->clock.setNow(when.toLocalTime());
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
        QVERIFY(count(u"tb_history_task"_s) == u"1"_s && count(u"tb_history_task_text_content"_s) == u"1"_s);
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
        // Search text is never SQL nor full-text syntax, only characters none of the titles hold in that order: it
        // finds nothing (a text that breaks the statement fails), and the history stays as it was.
        for (const char *text : {"\"", "a\"b", "logo\" OR \"word", "*", "-logo", "NEAR", "logo*",
                                 "'; DROP TABLE tb_history_task; --", "(", "a AND", "^", "\\", "%", "\x01"})
            QVERIFY2(search(db, {}, QString::fromUtf8(text)).value(0, u"<failed>"_s) == u"<failed>"_s, text);
        QCOMPARE(search(db), all);
    }

    void purgeByAgeAndCompact()
    {
        UserDb db;
        const QDateTime now(QDate(2026, 12, 6), QTime(10, 0)), cutoff = now.addDays(-3);
        // Seconds after the cutoff three days ago.
        const std::pair<int, QString> rows[] = {
            {-1, u"older"_s}, {0, u"exactly"_s}, {1, u"younger"_s}, {2 * 86400, u"yesterday"_s}};
        for (const auto &[seconds, title] : rows) {
            m_sandbox->clock.setNow(cutoff.addSecs(seconds));
            QVERIFY(db.addTasks({makeTask(title)}));
        }
        QVERIFY(db.addTasks(tasks(2000, u"任务 %1 with a fairly long title to fill pages"_s)));
        QVERIFY(db.execute(u"DELETE FROM tb_history_task WHERE task_name LIKE '任务%';"_s));
        // A purge that removes nothing does not rewrite the file; one that removes rows compacts it.
        m_sandbox->clock.setNow(cutoff);
        QVERIFY(db.purgeTasks(3) && raw(u"PRAGMA freelist_count;"_s).value(0).toInt() > 0);
        m_sandbox->clock.setNow(now);
        QVERIFY(db.purgeTasks(3));
        QCOMPARE(search(db), (QStringList{u"exactly"_s, u"younger"_s, u"yesterday"_s}));
        QCOMPARE(search(db, {}, u"older"_s), QStringList());
        QCOMPARE(raw(u"PRAGMA freelist_count;"_s), QStringList{u"0"_s});
        // A retention that is not a positive number keeps the default three days instead of wiping the history.
        QVERIFY(db.purgeTasks(0) && db.purgeTasks(-5) && search(db).size() == 3);
        QVERIFY(db.purgeTasks(1));
        QCOMPARE(search(db), QStringList{u"yesterday"_s});
    }
    void startsAndReads()
    {
        // The first start fills in the defaults without overwriting a stored value, and records the system's font.
        QVERIFY(UserDb().setConfig(u"scan_interval"_s, u"45"_s));
        loadSettings(u"Some Font"_s);
        QCOMPARE((QStringList{stored(u"enable_sound"_s), stored(u"scan_interval"_s), stored(u"default_font"_s),
                              stored(u"current_font"_s)}),
                 (QStringList{u"true"_s, u"45"_s, u"Some Font"_s, u"<no row>"_s}));
        // The first value read wins until the key is written; only writing makes a row.
        QCOMPARE((QStringList{setting(u"uid"_s, u"A"_s), setting(u"uid"_s, u"B"_s), stored(u"uid"_s)}),
                 (QStringList{u"A"_s, u"A"_s, u"<no row>"_s}));
        setSetting(u"uid"_s, u"C"_s);
        QCOMPARE((QStringList{setting(u"uid"_s, u"A"_s), stored(u"uid"_s)}), (QStringList{u"C"_s, u"C"_s}));
        // The next start reads what the last one wrote, and keeps the first default font.
        setSetting(Key::HistoryDays, u"7"_s);
        loadSettings(u"Other Font"_s);
        QCOMPARE((QStringList{setting(Key::HistoryDays), setting(Key::ScanInterval), setting(Key::DefaultFont)}),
                 (QStringList{u"7"_s, u"45"_s, u"Some Font"_s}));
    }

    void typedSettings_data()
    {
        // A stored text and what it reads as: texts outside a setting's values read as its default (the sound, as
        // silence).
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        const auto row = [](const char *key, const char *text, const char *read) {
            QTest::addRow("%s=%s", key, text)
                << QString::fromLatin1(key) << QString::fromUtf8(text) << QString::fromUtf8(read);
        };
        row("scan_interval", "30", "30"), row("scan_interval", "0", "180"), row("scan_interval", "3 min", "180");
        row("scan_interval", "99999999999999999", "180");
        row("enable_sound", "false", "false"), row("enable_sound", "True", "false"), row("enable_sound", "", "false");
        row("db_vacuum_interval", "-1", "3"), row("node_broken_passes", "x", "6");
        row("alert_min_price", "-5", "0"), row("alert_require", " logo，网站 ", "logo 网站");
        row("quiet_start", "07:30", "07:30"), row("quiet_start", "25:00", ""), row("quiet_start", "", "");
        row("notify_via", "desktop", "desktop"), row("notify_via", "Desktop", "popup");
        // Push channels: an entry that is none is left out, the others keep their fields; no JSON, none at all.
        row("push_channels",
            R"([{"kind":"ntfy","url":"h","secret":"t","topic":"jobs","ignore_quiet":true},{"kind":"fax"},7])",
            R"([{"enabled":true,"ignore_quiet":true,"kind":"ntfy","secret":"t","topic":"jobs","url":"h"}])");
        row("push_channels", "{", "");
        row("history_window_size", "900x640", "900x640"), row("history_window_size", "99999x2", "");
        row("language", "en", "en"), row("language", "fr", "");
    }

    void typedSettings()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(QString, read);
        loadSettings(QString());
        setSetting(key, text);
        const AlertRules rules = alertRules();
        const QHash<QString, QString> values = {
            {u"scan_interval"_s, QString::number(Key::ScanInterval.value().count())},
            {u"enable_sound"_s, Key::EnableSound.text(Key::EnableSound.value())},
            {u"db_vacuum_interval"_s, QString::number(Key::HistoryDays.value())},
            {u"node_broken_passes"_s, QString::number(healthThresholds().brokenAfter)},
            {u"alert_min_price"_s, QString::number(rules.minPrice)},
            {u"alert_require"_s, rules.require.join(u' ')},
            {u"quiet_start"_s, rules.quietStart.toString(u"HH:mm"_s)},
            {u"notify_via"_s, rules.channel == NotifyChannel::Desktop ? u"desktop"_s : u"popup"_s},
            {u"push_channels"_s, Key::PushChannels.text(Key::PushChannels.value())},
            {u"history_window_size"_s, Key::HistoryWindowSize.text(Key::HistoryWindowSize.value())},
            {u"language"_s, Key::Language.value()}};
        QCOMPARE(values.value(key), read);
        // The alert rules are written back as one, in the texts they have always had.
        setAlertRules(rules);
        QCOMPARE(stored(key),
                 key.startsWith(u"alert_"_s) || key.startsWith(u"quiet_"_s) || key == u"notify_via"_s ? read : text);
    }

    void failedWritesKeepTheOldValue()
    {
        // The default for enable_sound cannot be written: the program runs with it empty (no sound), the others are in.
        QVERIFY(UserDb().isOpen() && refuse(u"tb_config"_s, u"NEW.ckey = 'enable_sound'"_s));
        loadSettings(QString());
        QVERIFY(setting(Key::EnableSound).isEmpty() && setting(Key::ScanInterval) == u"180"_s);
        // A failed update leaves both the row and the cached value as they were.
        setSetting(u"run_date"_s, u"2026-12-05"_s);
        QVERIFY(refuse(u"tb_config"_s, u"NEW.ckey = 'run_date'"_s, u"UPDATE"_s));
        setSetting(u"run_date"_s, u"2026-12-06"_s);
        QCOMPARE((QStringList{setting(u"run_date"_s), stored(u"run_date"_s)}), QStringList(2, u"2026-12-05"_s));
    }

    void noDatabaseRunsOnDefaults()
    {
        // The data folder is a plain file, so there is no user database: the program still runs on the defaults, on a
        // private temporary database that is gone at the next start.
        QVERIFY(writeFile(m_sandbox->root() + u"/data"_s, {}));
        loadSettings(QString());
        QCOMPARE(setting(Key::EnableSound), u"true"_s);
        setSetting(u"uid"_s, u"y"_s);
        QCOMPARE(setting(u"uid"_s, u"x"_s), u"y"_s);
        loadSettings(QString());
        QCOMPARE(setting(u"uid"_s, u"x"_s), u"x"_s);
        QCOMPARE(QDir(m_sandbox->root()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{u"data"_s});
    }

    void threadHammer()
    {
        // Settings readers and writers next to user-database traffic on own and shared connections, all at once:
        // nothing deadlocks, and every thread's last write is what both the cache and the database hold at the end.
        loadSettings(QString());
        UserDb shared;
        constexpr int threads = 8, rounds = 60;
        std::atomic<int> failures{0};
        QVERIFY(runConcurrently(threads, [&](int t) {
            UserDb own;
            const QString key = u"own%1"_s.arg(t);
            for (int i = 0; i < rounds; ++i) {
                UserDb &db = (i % 2) ? shared : own;
                setSetting(key, QString::number(i));
                failures += setting(key) != QString::number(i);
                setSetting(u"shared"_s, u"%1-%2"_s.arg(t).arg(i));
                failures += setting(Key::ScanInterval) != u"180"_s;
                setting(u"miss%1"_s.arg(i), u"d"_s);
                failures += !db.setAttention({{u"s%1"_s.arg(t), u"n"_s}, {u"s%1"_s.arg(t), u"m"_s}});
                failures += db.attentionList().size() != 2;
                failures += !db.addTasks({makeTask(u"%1-%2"_s.arg(t).arg(i))});
            }
        }));
        QCOMPARE(failures.load(), 0);
        for (int t = 0; t < threads; ++t)
            QCOMPARE(stored(u"own%1"_s.arg(t)), QString::number(rounds - 1));
        QCOMPARE(setting(u"shared"_s), stored(u"shared"_s));
        QCOMPARE(count(u"tb_history_task"_s), QString::number(threads * rounds));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
