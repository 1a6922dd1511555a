#include "catalogargs.h"
#include "core/paths.h"
#include "demoargs.h"
#include "demosite.h"
#include "push/pushsender.h"
#include "report/crc32c.h"
#include "report/reportframe.h"
#include "report/reports.h"
#include "report/systemdescription.h"
#include "sites/catalogfile.h"
#include "sites/usersites.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"
#include "update/updatetask.h"
#include "update/updatethread.h"
#include "vendorargs.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int exitCode;
    QByteArray out, err;
};

const QString vendorTool = QStringLiteral(KESTROW_VENDOR_TOOL);

Run run(const QStringList &arguments, const QString &tool = QStringLiteral(KESTROW_CATALOG_TOOL))
{
    QProcess process;
    process.start(tool, arguments);
    const bool ended = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput(), process.readAllStandardError()};
}

// A frame around payload, its length and CRC made to fit.
QByteArray frameOf(const QByteArray &payload)
{
    QByteArray head(8, '\x07');
    qToLittleEndian(quint32(payload.size()), head.data() + 1);
    qToLittleEndian(Crc32c::compute(payload), head.data() + 4);
    return head + payload + '\x08';
}

bool readFrame(const QByteArray &bytes, ReportMessage &message)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    message.fields = {"stale"};
    return readReportFrame(&buffer, message.type, message.subtype, message.fields);
}

} // namespace

// The tools as run: kestrow-catalog's commands, the tools' command lines, and kestrow-vendor at the other end of the
// update engine's exchange, with the report frames and texts it receives.
class TestTools : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("KESTROW_UPDATE_PUBKEY", run({u"keygen"_s, m_folder.path()}, vendorTool).out.trimmed());
        m_vendor.start(vendorTool, {u"serve"_s, m_folder.path(), u"--http-port"_s, u"0"_s, u"--report-port"_s, u"0"_s});
        QVERIFY(m_vendor.waitForReadyRead(30000));
        const auto ports = QRegularExpression(u"http 127.0.0.1:(\\d+) report 127.0.0.1:(\\d+)"_s)
                               .match(QString::fromLatin1(m_vendor.readLine()));
        QVERIFY(ports.hasMatch());
        qputenv("KESTROW_VENDOR_HOST", "127.0.0.1");
        qputenv("KESTROW_VENDOR_HTTP_PORT", ports.captured(1).toLatin1());
        qputenv("KESTROW_REPORT_PORT", ports.captured(2).toLatin1());
    }

    void init()
    {
        m_sandbox = std::make_unique<Sandbox>();
        QVERIFY(CatalogBuilder().site(u"A"_s)); // without a catalogue the daily report, and so the check, fails
        QVERIFY(writeFile(m_folder.filePath(u"var.txt"_s), "2.0.1\n"));
        QVERIFY(writeFile(m_folder.filePath(u"aboutmsg.txt"_s), "来自作者的消息\n"));
        m_engine = std::make_unique<UpdateTask>(UsageReports{sendInstallReport, sendDailyRunReport});
    }

    void cleanup() { m_engine.reset(), m_sandbox.reset(); }
    void cleanupTestCase() { m_vendor.kill(), m_vendor.waitForFinished(); }

    void crcAndFrames()
    {
        const QList<QPair<QByteArray, quint32>> vectors = {{QByteArray(32, '\0'), 0x8A9136AAu},
                                                           {"123456789", 0xE3069283u}};
        for (const auto &[bytes, crc] : vectors) {
            QCOMPARE(Crc32c::withTables(bytes.constData(), size_t(bytes.size())), crc);
            if (Crc32c::hasInstruction())
                QCOMPARE(Crc32c::withInstruction(bytes.constData(), size_t(bytes.size())), crc);
        }
        // Random buffers of every length and alignment near the word sizes agree on both paths.
        QByteArray random(4096 + 16, '\0');
        QRandomGenerator generator(20261206);
        generator.fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
        for (int offset = 0; offset < 8; ++offset) {
            const char *data = random.constData() + offset;
            for (size_t size : {0, 1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 1000, 4096})
                QCOMPARE(Crc32c::compute(data, size), Crc32c::withTables(data, size));
        }
        // Frames round trip, with empty fields and a field over 64 KiB.
        for (const QList<QByteArray> &fields : {QList<QByteArray>(), QList<QByteArray>{QByteArray(), "a", QByteArray()},
                                                QList<QByteArray>{u"渠道"_s.toUtf8(), QByteArray(70000, 'x')}}) {
            QBuffer buffer;
            buffer.open(QIODevice::ReadWrite);
            QVERIFY(writeReportFrame(&buffer, 4, 2, fields) && !writeReportFrame(nullptr, 4, 2, fields));
            qsizetype payload = 4;
            for (const QByteArray &field : fields)
                payload += 4 + field.size();
            QCOMPARE(buffer.size(), payload + 9);
            // The frame reader takes no answer over 64 KiB; the codec carries any.
            ReportMessage message;
            QCOMPARE(readFrame(buffer.data(), message), buffer.size() < (64 << 10));
            QVERIFY(ReportFrame::scan(buffer.data(), nullptr, message) == ReportFrame::Scan::Complete);
            QVERIFY(message.type == 4 && message.subtype == 2 && message.fields == fields);
        }
    }

    void invalidFramesAndReportTexts()
    {
        const QByteArray good = ReportFrame::encode(ReportMessage{4, 1, {"uid", ""}});
        QList<QByteArray> invalid;
        for (const int cut : {0, 1, 4, 8, 11, int(good.size()) - 1})
            invalid << good.left(cut);
        const auto changed = [&good](qsizetype at, char byte) { return QByteArray(good).replace(at, 1, &byte, 1); };
        invalid << changed(0, '\x06') << changed(good.size() - 1, '\x09') << changed(4, char(good[4] ^ 1));
        // Payloads: type 4, subtype 1, then fields as a little-endian length and bytes; under 4 bytes, a field past
        // the end, a length without its field, stray bytes after the last field.
        const QByteArray head = QByteArray::fromHex("04000100");
        invalid << frameOf(QByteArray::fromHex("0400")) << frameOf(head + QByteArray::fromHex("09000000") + "abc")
                << frameOf(head + QByteArray::fromHex("01000000"));
        for (int stray = 1; stray <= 3; ++stray)
            invalid << frameOf(head + QByteArray::fromHex("01000000") + "a" + QByteArray(stray, 'z'));
        for (const QByteArray &bytes : std::as_const(invalid)) {
            ReportMessage message;
            qsizetype size = -1;
            QVERIFY2(!readFrame(bytes, message) && message.fields.isEmpty(), bytes.toHex().constData());
            QVERIFY2(ReportFrame::scan(bytes, &size, message) != ReportFrame::Scan::Complete && size == -1,
                     bytes.toHex().constData());
        }
        // What the reports say of the machine.
        QCOMPARE(describeLinux("NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", u"6.1.0-13-amd64"_s, true),
                 u"Debian GNU/Linux 12 (bookworm) (build 6.1.0-13-amd64), 64-bit"_s);
        // Memory in GB with two significant digits from 0.996 GiB on, else in whole MB.
        for (const auto &[mib, text] :
             QList<QPair<quint64, QString>>{{1000, u"1000MB"_s}, {1021, u"1GB"_s}, {3963, u"3.9GB"_s}})
            QCOMPARE(describeProcessorAndMemory(QString(), 4, mib << 20), text);
        QCOMPARE(describeProcessorAndMemory(u" Core i7 "_s, 4, quint64(8192) << 20), u"Core i7 X4, 8GB"_s);
        // This machine's description keeps the three pieces with their separators; the daily report's node masks
        // have a bit a node (the exchange below sends the 64th and one past it).
        QVERIFY(describeMachine().count(u"; "_s) == 2 && describeMachine().endsWith(u';'));
        // The screen as the GUI thread noted it, whichever thread asks.
        noteScreenSize({1366, 768});
        QString described;
        std::thread([&described] { described = describeMachine(); }).join();
        QVERIFY(described.endsWith(u"; 1366 x 768;"_s));
        QCOMPARE(nodeMask({u"a"_s, u"b"_s, u"c"_s}, {u"a"_s, u"c"_s}), QByteArray("5"));
    }

    void reportsVersionAndAboutMessage()
    {
        // Site A with 65 nodes, of which the 64th and 65th are followed, and site B with one followed node.
        CatalogBuilder catalog;
        for (int n = 1; n <= 65; ++n)
            QVERIFY(catalog.node(u"A"_s, u"a%1"_s.arg(n), u"http://a/"_s, listMarkers));
        QVERIFY(catalog.node(u"B"_s, u"b1"_s, u"http://b/"_s, listMarkers));
        // A followed node of the user's own site, which the vendor never hears of.
        QVERIFY(UserDb().setAttention({{u"A"_s, u"a64"_s}, {u"M"_s, u"m"_s}, {u"A"_s, u"a65"_s}, {u"B"_s, u"b1"_s}}));
        QSignalSpy asked(m_engine.get(), &UpdateTask::checkNewVersionFinished);
        check();
        check();
        // The install report's answer is stored as "uid"; the daily report carries it and a mask per site.
        const QString uid = setting(Key::Uid);
        QCOMPARE(stored(u"type || '.' || subtype"_s), (QStringList{u"4.1"_s, u"4.2"_s}));
        QCOMPARE(stored(u"fields"_s).value(1), u"[\"%1\",\"9223372036854775808\",\"1\"]"_s.arg(uid));
        QVERIFY(stored(u"fields"_s).value(0).contains(u"bit"_s)); // the machine description
        // A new version is reported at every check.
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.first().first().toString(), u"2.0.1"_s);
        const QString message = dataFilePath(u"aboutmsg"_s);
        QCOMPARE(readFile(message), QByteArray("来自作者的消息\n"));
        // No report again today, not even after a restart; an unchanged message is not written again.
        const QDateTime written = QFileInfo(message).lastModified();
        QTest::qWait(20);
        loadSettings(QString());
        check();
        QCOMPARE(stored(u"type"_s).size(), 2);
        QCOMPARE(QFileInfo(message).lastModified(), written);
        // A changed message is written.
        QVERIFY(writeFile(m_folder.filePath(u"aboutmsg.txt"_s), "\xff\xfe new"));
        check();
        QCOMPARE(readFile(message), QByteArray("\xff\xfe new"));
        // The version is the file's first line. The own version, a binary file or a line that is still no plain text
        // ask nothing, but the check was answered and the About message is refreshed; a file too large is no answer.
        const std::tuple<QByteArray, QString, bool> versions[] = {{"2.0.0\r\n", {}, true},
                                                                  {"2.1.0\nwhat is new\n", u"2.1.0"_s, true},
                                                                  {QByteArray("\x01\x02\x03", 3), {}, true},
                                                                  {"2.1\t.0", {}, true},
                                                                  {QByteArray(10 * 1024 * 1024, '9'), {}, false}};
        for (const auto &[version, newVersion, answered] : versions) {
            asked.clear();
            QVERIFY(writeFile(m_folder.filePath(u"var.txt"_s), version));
            QVERIFY(writeFile(m_folder.filePath(u"aboutmsg.txt"_s), version.left(8) + " new"));
            check();
            QCOMPARE(asked.value(0).value(0).toString(), newVersion);
            QCOMPARE(readFile(message) == version.left(8) + " new", answered);
        }
    }

    void reportExchangeIsBounded()
    {
        // A report port whose answer is no user id (too long, a space, a control byte) or declares a frame no answer
        // needs: the install report fails at once and stores nothing. One that trickles its answer does not hold the
        // update thread when the program quits.
        QProcess server;
        server.start(u"python3"_s, {QStringLiteral(KESTROW_REPORT_SERVER), u"uid:"_s + QString(65, u'u'),
                                    u"uid:a%20b"_s, u"uid:%01"_s, u"huge"_s, u"trickle"_s});
        QVERIFY(server.waitForReadyRead(10000));
        const QByteArray port = qgetenv("KESTROW_REPORT_PORT");
        qputenv("KESTROW_REPORT_PORT", server.readLine().trimmed());
        for (int answer = 0; answer < 4; ++answer) {
            int code = 0;
            QElapsedTimer exchange;
            exchange.start();
            QVERIFY(!sendInstallReport(code) && code == 1 && setting(Key::Uid).isEmpty());
            QVERIFY(exchange.elapsed() < ReportFrame::waitMs / 2);
        }
        UpdateThread thread(nullptr, UsageReports{sendInstallReport, sendDailyRunReport});
        thread.start();
        QMetaObject::invokeMethod(thread.task(), &UpdateTask::onCheckNewVersion, Qt::QueuedConnection);
        QByteArray said;
        QTRY_COMPARE_WITH_TIMEOUT((said += server.readAll()).count("connected"), 5, 10000);
        QTest::qWait(300);
        QElapsedTimer stopping;
        stopping.start();
        thread.stop();
        QVERIFY(stopping.elapsed() < 2000);
        qputenv("KESTROW_REPORT_PORT", port);
        server.closeWriteChannel();
        QVERIFY(server.waitForFinished(10000));
    }

    void signedPackageAndSilentServer()
    {
        QSignalSpy finished(m_engine.get(), &UpdateTask::downloadNewVersionFinished);
        const QString package = m_folder.filePath(u"KestrowSetup.deb"_s), other = m_folder.filePath(u"other.deb"_s);
        QVERIFY(writeFile(package, QByteArray(300000, 'p')) && writeFile(other, "other"));
        for (const QString &file : {package, other})
            run({u"sign"_s, m_folder.filePath(u"update-key.pem"_s), file}, vendorTool);
        m_engine->onDownloadNewVersion();
        const QString saved = finished.takeFirst().first().toString();
        QCOMPARE(readFile(saved), readFile(package));
        // In a folder of its own that no other user may enter.
        const QFileInfo folder(QFileInfo(saved).absolutePath());
        QVERIFY(folder.absoluteFilePath() != QFileInfo(QDir::tempPath()).absoluteFilePath());
        QCOMPARE(folder.permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        // A signature of another file, or none: a failed download, and nothing left behind.
        QVERIFY(QFile::remove(package + u".sig"_s) && QFile::copy(other + u".sig"_s, package + u".sig"_s));
        m_engine->onDownloadNewVersion();
        QFile::remove(package + u".sig"_s);
        m_engine->onDownloadNewVersion();
        QCOMPARE(finished.size(), 2);
        QVERIFY(finished[0][0].toString().isEmpty() && finished[1][0].toString().isEmpty());
        // The verified package stays until another one verifies.
        QCOMPARE(readFile(saved), readFile(package));
        run({u"sign"_s, m_folder.filePath(u"update-key.pem"_s), package}, vendorTool);
        m_engine->onDownloadNewVersion();
        QVERIFY(finished.size() == 3 && QFile::exists(finished[2][0].toString()) && !QFile::exists(saved));
        QDir(QFileInfo(finished[2][0].toString()).absolutePath()).removeRecursively();
        // A vendor web server that never answers: the check gives up after the stall limit and asks nothing.
        TestHttpServer silent;
        TestHttpServer::Response hang;
        hang.neverAnswer = true;
        silent.setResponse(u"/kestrow/var.txt"_s, hang);
        const QByteArray port = qgetenv("KESTROW_VENDOR_HTTP_PORT");
        qputenv("KESTROW_VENDOR_HTTP_PORT", QByteArray::number(silent.port()));
        QSignalSpy asked(m_engine.get(), &UpdateTask::checkNewVersionFinished);
        check();
        qputenv("KESTROW_VENDOR_HTTP_PORT", port);
        QCOMPARE(asked.size(), 0);
        QCOMPARE(silent.requests().size(), 1);
    }

    void buildDumpBuildIsIdentical()
    {
        const QString first = m_folder.filePath(u"first.dll"_s), second = m_folder.filePath(u"second.dll"_s);
        const QString json = m_folder.filePath(u"dump.json"_s);
        QCOMPARE(run({u"build"_s, QStringLiteral(KESTROW_DEMO_CATALOG), first}).exitCode, 0);
        const Run dump = run({u"dump"_s, first});
        QVERIFY(dump.exitCode == 0 && writeFile(json, dump.out));
        QCOMPARE(run({u"build"_s, json, second}).exitCode, 0);
        QCOMPARE(run({u"check"_s, second}).exitCode, 0);
        // Every stored value with its storage class, images stored raw as the files hold them.
        const QString rows = u"SELECT quote(site_name) || quote(site_logo) || quote(site_info) FROM tb_site UNION ALL "
                             "SELECT quote(node_name) || quote(node_url) || quote(row_end) FROM tb_node;"_s;
        QCOMPARE(rawColumn(second, rows), rawColumn(first, rows));
        QCOMPARE(rawColumn(first, rows).size(), 3 + 9);
        QList<CatalogSite> sites;
        QVERIFY(CatalogFile::read(second, sites, nullptr));
        const QString images = QFileInfo(QStringLiteral(KESTROW_DEMO_CATALOG)).absolutePath() + u"/images/"_s;
        QCOMPARE(sites[2].logo, readFile(images + u"spark-logo.png"_s));
        // A feed node goes through build and dump as a feed, and check finds nothing wrong with it.
        const QByteArray feed =
            R"({"sites": [{"name": "s", "nodes": [{"name": "f", "url": "http://h/", "kind": "feed"}]}]})";
        QVERIFY(writeFile(json, feed));
        QVERIFY(run({u"build"_s, json, second}).exitCode == 0 && run({u"check"_s, second}).exitCode == 0);
        QVERIFY(CatalogFile::read(second, sites, nullptr) && sites.value(0).nodes.value(0).kind == NodeKind::Feed);
        const QByteArray dumped = run({u"dump"_s, second}).out;
        QVERIFY(dumped.contains("\"kind\": \"feed\"") && !dumped.contains("markers"));
    }

    void refusalsWriteNothingAndCheckListsWhatIsSkipped()
    {
        const QString bad = m_folder.filePath(u"bad.json"_s), good = m_folder.filePath(u"mine.json"_s);
        QVERIFY(writeFile(bad, R"({"sites": [{"name": "s", "nodes": [{"name": "n", "url": "u", )"
                               R"("markers": {"row": ["<tr>", ""], "title": ["a", "b"]}}]}]})"));
        QVERIFY(writeFile(good, R"({"sites": [{"name": "我的站", "favicon": "images/f.png"}]})"));
        QVERIFY(writeFile(m_folder.filePath(u"images/f.png"_s), "\x89PNG icon"));
        const QString fresh = m_folder.filePath(u"fresh.dll"_s), existing = m_folder.filePath(u"existing.dll"_s);
        const Run refused = run({u"build"_s, bad, fresh});
        QVERIFY(refused.exitCode == 2 && refused.err.contains("row end marker is empty"));
        // An existing catalogue is left exactly as it was; unreadable input is refused too.
        QCOMPARE(run({u"build"_s, good, existing}).exitCode, 0);
        const QByteArray before = readFile(existing);
        QCOMPARE(run({u"build"_s, bad, existing}).exitCode, 2);
        QCOMPARE(readFile(existing), before);
        QCOMPARE(run({u"build"_s, m_folder.filePath(u"none.json"_s), fresh}).exitCode, 2);
        QVERIFY(!QFile::exists(fresh) && !QFile::exists(fresh + u".partial"_s));
        // Something that is no catalogue at all, or nothing.
        const QString other = m_folder.filePath(u"other.dll"_s), missing = m_folder.filePath(u"missing.dll"_s);
        QVERIFY(rawExec(other, u"CREATE TABLE x(y);"_s));
        for (const QString &command : {u"check"_s, u"dump"_s})
            QVERIFY(run({command, other}).exitCode == 2 && run({command, missing}).exitCode == 2);
        QVERIFY(!QFile::exists(missing));
        // add copies only a site file that checks out into the user's sites.
        QCOMPARE(run({u"add"_s, bad}).exitCode, 2);
        QCOMPARE(run({u"add"_s, good}).exitCode, 0);
        QCOMPARE(QDir(UserSites::folder()).entryList(QDir::Files), QStringList{u"mine.json"_s});
        // It reads where it landed, its image with it.
        QString reason;
        QVERIFY2(UserSites::validate(UserSites::folder() + u"/mine.json"_s, {}, nullptr, &reason), qPrintable(reason));
        // check lists what Kestrow would skip or never find.
        const QString path = m_folder.filePath(u"broken.dll"_s);
        CatalogBuilder catalog(path);
        QVERIFY(catalog.raw(u"INSERT INTO tb_site VALUES(%1, 'abc', '', x'00ff', x'', '', '', '');"_s.arg(
            CatalogBuilder::blob(u"站"_s))));
        const QString markers = u"'', '', '', '', '', '', '', '', '', ''"_s;
        // Row 1: TEXT keys. Row 2: empty row end, broken address. Row 3: a site that does not exist.
        QVERIFY(catalog.raw(
            u"INSERT INTO tb_node VALUES(%1, %2, '', %3), (%4, %5, 'not base64!', %3), (%6, %7, '', %3);"_s.arg(
                CatalogBuilder::text(u"站"_s), CatalogBuilder::text(u"a"_s), markers, CatalogBuilder::blob(u"站"_s),
                CatalogBuilder::blob(u"b"_s), CatalogBuilder::blob(u"无"_s), CatalogBuilder::blob(u"c"_s))));
        const Run checked = run({u"check"_s, path});
        QCOMPARE(checked.exitCode, 1);
        const QString report = QString::fromUtf8(checked.out);
        for (const char *expected :
             {"tb_site row 1 (站): site_url is not valid base64",
              "tb_site row 1 (站): site_favicon is not a loadable image",
              "tb_node row 1 (站 / a): site_name is stored as TEXT",
              "tb_node row 1 (站 / a): node_name is stored as TEXT",
              "tb_node row 2 (站 / b): node_url is not valid base64", "tb_node row 2 (站 / b): row_end is empty",
              "tb_node row 3 (无 / c): no site in tb_site",
              "tb_node row 1 (站 / a): node_url is not an http or https address"})
            QVERIFY2(report.contains(QString::fromUtf8(expected)), qPrintable(expected + u"\n"_s + report));
        QVERIFY(!report.contains(u"site_logo"_s));
    }

    void demoWebhookReceivesPushes()
    {
        // What "scripts/run.sh --push" shows without a phone: the demo sites take a webhook push and hand it on.
        DemoSite site;
        QVERIFY(site.listen(0));
        QSignalSpy pushed(&site, &DemoSite::pushed);
        PushChannel hook;
        hook.url = u"http://127.0.0.1:%1/push"_s.arg(site.port());
        Key::PushChannels.setValue({hook});
        PushSender sender;
        sender.send({makeTask(u"演示任务"_s)}, PushAudience::All);
        QTRY_COMPARE(pushed.size(), 1);
        const QJsonObject push = QJsonDocument::fromJson(pushed[0][0].toByteArray()).object();
        QCOMPARE(push[u"tasks"_s][0][u"title"_s].toString(), u"演示任务"_s);
    }

    void tryCutsANodePage()
    {
        TestHttpServer server;
        const QString path = m_folder.filePath(u"try.dll"_s);
        CatalogBuilder catalog(path);
        for (const QString &node : {u"list"_s, u"moved"_s, u"down"_s})
            QVERIFY(catalog.node(u"蜂巢"_s, node, server.url(u'/' + node), listMarkers));
        QVERIFY(catalog.node(u"蜂巢"_s, u"local"_s, u"file:///etc/passwd"_s, listMarkers));
        QVERIFY(catalog.feed(u"蜂巢"_s, u"feed"_s, server.url(u"/feed"_s)));
        TestHttpServer::Response feed;
        feed.body = "<rss><channel><item><title>源任务 ¥5</title><link>/t/9</link></item></channel></rss>";
        server.setResponse(u"/feed"_s, feed);
        TestHttpServer::Response list;
        list.body = listPage({u"企业 Logo &amp; 名片"_s, u"网站"_s});
        server.setResponse(u"/list"_s, list);
        const QString saved = m_folder.filePath(u"saved.html"_s);
        QVERIFY(writeFile(saved, list.body));
        list.body.clear();
        list.status = 301;
        list.headers = {{"Location", "/list"}};
        server.setResponse(u"/moved"_s, list);
        // One task a line, as JSON; a saved page gives the same lines.
        const Run tried = run({u"try"_s, path, u"蜂巢"_s, u"list"_s});
        QCOMPARE(tried.exitCode, 0);
        const QList<QByteArray> lines = tried.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(QJsonDocument::fromJson(lines[0]).object().contains(u"task_name"_s));
        QCOMPARE(run({u"try"_s, path, u"蜂巢"_s, u"list"_s, u"--page"_s, saved}).out, tried.out);
        // A feed node is read as a feed, fetched or saved.
        const Run fed = run({u"try"_s, path, u"蜂巢"_s, u"feed"_s});
        QVERIFY(fed.exitCode == 0 && fed.out.contains("\"task_price\":\"¥5\"") && fed.err.contains("a feed"));
        QVERIFY(writeFile(saved, feed.body));
        QCOMPARE(run({u"try"_s, path, u"蜂巢"_s, u"feed"_s, u"--page"_s, saved}).out, fed.out);
        // A saved page over the cap is refused, as the program would skip it.
        QVERIFY(QFile::resize(saved, (16 << 20) + 1));
        const Run huge = run({u"try"_s, path, u"蜂巢"_s, u"list"_s, u"--page"_s, saved});
        QVERIFY(huge.exitCode != 0 && huge.out.isEmpty() && huge.err.contains("is larger than 16777216 bytes"));
        // A redirection yields nothing and is not followed, and the author reads why; an error status fails.
        const Run redirected = run({u"try"_s, path, u"蜂巢"_s, u"moved"_s});
        QVERIFY(redirected.exitCode == 0 && redirected.out.isEmpty() && redirected.err.contains("not followed"));
        QCOMPARE(run({u"try"_s, path, u"蜂巢"_s, u"down"_s}).exitCode, 1);
        // An unknown site or node, or an address that is not on the web, is refused without a request.
        for (const auto &[site, node] :
             QList<QPair<QString, QString>>{{u"蜂巢"_s, u"无此节点"_s}, {u"无"_s, u"list"_s}, {u"蜂巢"_s, u"local"_s}})
            QCOMPARE(run({u"try"_s, path, site, node}).exitCode, 2);
        // infer finds the markers of a list from one of its titles and prints a site file that checks out.
        const Run inferred = run({u"infer"_s, server.url(u"/list"_s), u"企业 Logo & 名片"_s, u"--site"_s, u"我的"_s});
        QList<CatalogSite> sites;
        QVERIFY2(inferred.exitCode == 0 && inferred.err.contains("cut 2 rows"), inferred.err.constData());
        QVERIFY(CatalogFile::parseJson(inferred.out, m_folder.path(), sites, nullptr) && sites[0].name == u"我的"_s);
        QCOMPARE(sites[0].nodes[0].url, server.url(u"/list"_s));
        QCOMPARE(run({u"infer"_s, server.url(u"/list"_s), u"无此任务"_s}).exitCode, 1);
        QCOMPARE(run({u"infer"_s, u"file:///etc/passwd"_s, u"x"_s}).exitCode, 2);
        QCOMPARE(server.requests().size(), 6);
    }

    void commandLinesAndSiteFiles()
    {
        // kestrow-catalog: "arguments => the command, its operands, the page and the exit code".
        for (const QString &row : {u"build a.json b.dll => build a.json b.dll 0"_s,
                                   u"--page p.html try c.dll s n => try c.dll s n p.html 0"_s, u"--help => 0"_s,
                                   u"dump => 2"_s, u"check c.dll --page p => 2"_s, u"frobnicate => 2"_s, u" => 2"_s,
                                   u"infer u t --page p --price 5 => infer u t p 0"_s, u"try c s n --price 5 => 2"_s}) {
            const CatalogArgs args = CatalogArgs::parse(
                u"kestrow-catalog "_s.append(row.section(u" => "_s, 0, 0)).split(u' ', Qt::SkipEmptyParts));
            const QStringList settled =
                QStringList{args.command} + args.files + QStringList{args.page, QString::number(args.exitCode)};
            QCOMPARE(settled.join(u' ').simplified(), row.section(u" => "_s, 1));
            QVERIFY2(args.text.isEmpty() != args.command.isEmpty(), qPrintable(row));
        }
        // kestrow-vendor: "arguments => the command, its operands, the ports and database, and the exit code".
        for (const QString &row : {u"serve d => serve d 8733 8734 d/reports.db 0"_s,
                                   u"--http-port 0 --report-port 0 --db r.db serve d => serve d 0 0 r.db 0"_s,
                                   u"sign k f => sign k f 8733 8734 0"_s, u"keygen => 2"_s, u"sign k => 2"_s,
                                   u"--http-port 65536 serve d => 2"_s, u"--help => 0"_s, u"frobnicate x => 2"_s}) {
            const VendorArgs args = VendorArgs::parse(
                u"kestrow-vendor "_s.append(row.section(u" => "_s, 0, 0)).split(u' ', Qt::SkipEmptyParts));
            const QString settled =
                args.command.isEmpty()
                    ? QString()
                    : (QStringList{args.command} + args.files +
                       QStringList{QString::number(args.httpPort), QString::number(args.reportPort), args.db})
                          .join(u' ');
            QCOMPARE((settled + u' ' + QString::number(args.exitCode)).simplified(), row.section(u" => "_s, 1));
            QVERIFY2(args.text.isEmpty() != args.command.isEmpty(), qPrintable(row));
        }
        // kestrow-demo-site, $XDG_DATA_HOME set where the row says: "arguments => serving port and interval, or
        // following catalogue, interval and data home; and the exit code".
        for (const QString &row :
             {u" => 8731 60 0"_s, u"--port 65535 --new-every 5 => 65535 5 0"_s, u"--port 0 => 2"_s,
              u"--port 65536 => 2"_s, u"show => 2"_s, u"XDG=/x --follow c.dll => c.dll 30 /x 0"_s,
              u"XDG=/x --follow c.dll 1 => c.dll 1 /x 0"_s, u"--follow c.dll => 2"_s,
              u"XDG=/x --follow c.dll --data /d => c.dll 30 /d 0"_s, u"XDG=/x --follow c.dll 0 => 2"_s,
              u"--data /d => 2"_s, u"--push http://127.0.0.1/push => 2"_s}) {
            QStringList arguments =
                u"kestrow-demo-site "_s.append(row.section(u" => "_s, 0, 0)).split(u' ', Qt::SkipEmptyParts);
            const QString home = arguments.value(1).startsWith(u"XDG="_s) ? arguments.takeAt(1).mid(4) : QString();
            const DemoArgs args = DemoArgs::parse(arguments, home);
            const QString settled = args.mode == DemoArgs::Serve ? u"%1 %2 "_s.arg(args.port).arg(args.newEverySeconds)
                                    : args.mode == DemoArgs::Follow
                                        ? u"%1 %2 %3 "_s.arg(args.catalog).arg(args.scanSeconds).arg(args.dataHome)
                                        : QString();
            QCOMPARE(settled + QString::number(args.exitCode), row.section(u" => "_s, 1));
        }
        // Site files the catalogue tool and the program refuse, and why.
        const QByteArray markers = R"("row": ["<tr>", "</tr>"], "title": ["a", "b"])";
        const QByteArray node = R"({"name": "n", "url": "u", "markers": {)" + markers + "}}";
        // Within the first site, after its name: nodes given, and nodes of one node with more keys and markers.
        const auto nodes = [](const QByteArray &list) { return ", \"nodes\": [" + list + "]"; };
        const auto with = [&](const QByteArray &keys, const QByteArray &marks) {
            return nodes(R"({"name": "n", "url": "u", )" + keys + R"("markers": {)" + marks + "}}");
        };
        const QList<QPair<QByteArray, QString>> refusals = {
            {",", u"malformed JSON at line 1"_s},
            {R"(}, {"url": "x")", u"\"name\" is missing"_s},
            {nodes(R"({"name": "n", "markers": {}})"), u"\"url\" is missing"_s},
            {with({}, R"("row": ["a", "b"])"), u"marker \"title\""_s},
            {with({}, R"("row": ["<tr>", ""], "title": ["a", "b"])"), u"row end marker is empty"_s},
            {R"(}, {"name": "s")", u"two sites are named \"s\""_s},
            {nodes(node + ", " + node), u"two nodes are named"_s},
            {R"(, "logo": "images/none.png")", u"cannot be read"_s},
            // Only a regular file of icon size is read: no device, no FIFO (it would block), nothing huge.
            {R"(, "logo": "/dev/zero")", u"is not a regular file"_s},
            {R"(, "favicon": "fifo")", u"is not a regular file"_s},
            {R"(, "logo": "big.png")", u"is larger than 1048576 bytes"_s},
            {R"(, "favicon_base64": "@@@")", u"is not base64"_s},
            {R"(, "urll": "x")", u"unknown key"_s},
            {with(R"("urll": "x", )", markers), u"unknown key"_s},
            {with({}, R"("prise": ["a", "b"], )" + markers), u"unknown key"_s},
            {with(R"("kind": "feed", )", markers), u"a feed has no markers"_s},
            {with(R"("kind": "rss", )", markers), u"must be \"page\" or \"feed\""_s}};
        QVERIFY(mkfifo(QFile::encodeName(m_folder.filePath(u"fifo"_s)).constData(), 0600) == 0);
        QVERIFY(writeFile(m_folder.filePath(u"big.png"_s), QByteArray((1 << 20) + 1, 0)));
        for (const auto &[site, reason] : refusals) {
            QList<CatalogSite> parsed;
            QString error;
            QVERIFY(
                !CatalogFile::parseJson(R"({"sites": [{"name": "s")" + site + "}]}", m_folder.path(), parsed, &error));
            QVERIFY2(error.contains(reason), qPrintable(error));
        }
    }

private:
    void check() { m_engine->onCheckNewVersion(); }

    // What the vendor stored of this user's reports.
    QStringList stored(const QString &column)
    {
        return rawColumn(m_folder.filePath(u"reports.db"_s),
                         u"SELECT %1 FROM reports WHERE uid = '%2' ORDER BY rowid;"_s.arg(column, setting(Key::Uid)));
    }

    QTemporaryDir m_folder; // the vendor's files, and the catalogue tool's
    QProcess m_vendor;
    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<UpdateTask> m_engine;
};

QTEST_MAIN(TestTools)
#include "tst_tools.moc"
