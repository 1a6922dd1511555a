#include "core/paths.h"
#include "report/crc32c.h"
#include "report/reportframe.h"
#include "report/reports.h"
#include "report/systemdescription.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"
#include "update/updatetask.h"

#include <QBuffer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

QByteArray runVendor(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KESTROW_VENDOR_TOOL), arguments);
    process.waitForFinished(30000);
    return process.readAllStandardOutput().trimmed();
}

// A frame around payload, its length and CRC made to fit.
QByteArray frameOf(const QByteArray &payload)
{
    QByteArray head(8, '\x07');
    qToLittleEndian(quint32(payload.size()), head.data() + 1);
    qToLittleEndian(Crc32c::compute(payload), head.data() + 4);
    return head + payload + '\x08';
}

bool read(const QByteArray &bytes, ReportMessage &message)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    message.fields = {"stale"};
    return readReportFrame(&buffer, message.type, message.subtype, message.fields);
}

} // namespace

// The report frames and texts, and the whole exchange against kestrow-vendor on 127.0.0.1.
class TestVendorExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("KESTROW_UPDATE_PUBKEY", runVendor({u"keygen"_s, m_folder.path()}));
        m_vendor.start(QStringLiteral(KESTROW_VENDOR_TOOL),
                       {u"serve"_s, m_folder.path(), u"--http-port"_s, u"0"_s, u"--report-port"_s, u"0"_s});
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
        const QList<QPair<QByteArray, quint32>> vectors = {
            {QByteArray(32, '\0'), 0x8A9136AAu},
            {QByteArray::fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"), 0x46DD794Eu},
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
            ReportMessage message;
            QVERIFY(read(buffer.data(), message) && message.type == 4 && message.subtype == 2);
            QCOMPARE(message.fields, fields);
        }
    }

    void invalidFrames()
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
            QVERIFY2(!read(bytes, message) && message.fields.isEmpty(), bytes.toHex().constData());
            QVERIFY2(ReportFrame::scan(bytes, &size, message) != ReportFrame::Scan::Complete && size == -1,
                     bytes.toHex().constData());
        }
    }

    void reportTexts()
    {
        QCOMPARE(describeLinux("NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", u"6.1.0-13-amd64"_s, true),
                 u"Debian GNU/Linux 12 (bookworm) (build 6.1.0-13-amd64), 64-bit"_s);
        QCOMPARE(describeLinux(QByteArray(), u"6.1"_s, false), u"Linux (build 6.1), 32-bit"_s);
        // Memory in GB with two significant digits from 0.996 GiB on, else in whole MB.
        for (const auto &[mib, text] :
             QList<QPair<quint64, QString>>{{1000, u"1000MB"_s}, {1021, u"1GB"_s}, {3963, u"3.9GB"_s}})
            QCOMPARE(describeProcessorAndMemory(QString(), 4, mib << 20), text);
        QCOMPARE(describeProcessorAndMemory(u" Intel(R) Core(TM) i7 "_s, 4, quint64(8192) << 20),
                 u"Intel(R) Core(TM) i7 X4, 8GB"_s);
        // This machine's description keeps the three pieces with their separators; the daily report's node masks
        // have a bit a node (the exchange below sends the 64th and one past it).
        QVERIFY(describeMachine().count(u"; "_s) == 2 && describeMachine().endsWith(u';'));
        QCOMPARE(nodeMask({u"a"_s, u"b"_s, u"c"_s}, {u"a"_s, u"c"_s}), QByteArray("5"));
    }

    void reportsVersionAndAboutMessage()
    {
        // Site A with 65 nodes, of which the 64th and 65th are followed, and site B with one followed node.
        CatalogBuilder catalog;
        for (int n = 1; n <= 65; ++n)
            QVERIFY(catalog.node(u"A"_s, u"a%1"_s.arg(n), u"http://a/"_s, listMarkers));
        QVERIFY(catalog.node(u"B"_s, u"b1"_s, u"http://b/"_s, listMarkers));
        QVERIFY(UserDb().setAttention({{u"A"_s, u"a64"_s}, {u"A"_s, u"a65"_s}, {u"B"_s, u"b1"_s}}));
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
        resetSettingsStore();
        loadSettings(QString());
        check();
        QCOMPARE(stored(u"type"_s).size(), 2);
        QCOMPARE(QFileInfo(message).lastModified(), written);
        // A changed message is written.
        QVERIFY(writeFile(m_folder.filePath(u"aboutmsg.txt"_s), "\xff\xfe new"));
        check();
        QCOMPARE(readFile(message), QByteArray("\xff\xfe new"));
        // The own version with a line end, a binary file or one too large ask nothing.
        asked.clear();
        for (const QByteArray &version :
             {QByteArray("2.0.0\r\n"), QByteArray("\x01\x02\x03", 3), QByteArray(10 * 1024 * 1024, '9')}) {
            QVERIFY(writeFile(m_folder.filePath(u"var.txt"_s), version));
            check();
        }
        QCOMPARE(asked.size(), 0);
    }

    void signedPackage()
    {
        QSignalSpy finished(m_engine.get(), &UpdateTask::downloadNewVersionFinished);
        const QString package = m_folder.filePath(u"KestrowSetup.deb"_s), other = m_folder.filePath(u"other.deb"_s);
        QVERIFY(writeFile(package, QByteArray(300000, 'p')) && writeFile(other, "other"));
        for (const QString &file : {package, other})
            runVendor({u"sign"_s, m_folder.filePath(u"update-key.pem"_s), file});
        m_engine->onDownloadNewVersion();
        const QString saved = finished.takeFirst().first().toString();
        QCOMPARE(QFileInfo(saved).fileName(), u"KestrowSetup.deb"_s);
        QCOMPARE(readFile(saved), readFile(package));
        // A signature of another file, or none: a failed download, and nothing left behind.
        QVERIFY(QFile::remove(package + u".sig"_s) && QFile::copy(other + u".sig"_s, package + u".sig"_s));
        m_engine->onDownloadNewVersion();
        QFile::remove(package + u".sig"_s);
        m_engine->onDownloadNewVersion();
        QCOMPARE(finished.size(), 2);
        QVERIFY(finished[0][0].toString().isEmpty() && finished[1][0].toString().isEmpty());
        QVERIFY(!QFile::exists(saved));
    }

    void silentServerEndsTheCheck()
    {
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

private:
    void check() { m_engine->onCheckNewVersion(); }

    // What the vendor stored of this user's reports.
    QStringList stored(const QString &column)
    {
        return rawColumn(m_folder.filePath(u"reports.db"_s),
                         u"SELECT %1 FROM reports WHERE uid = '%2' ORDER BY rowid;"_s.arg(column, setting(Key::Uid)));
    }

    QTemporaryDir m_folder;
    QProcess m_vendor;
    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<UpdateTask> m_engine;
};

QTEST_MAIN(TestVendorExchange)
#include "tst_vendorexchange.moc"
