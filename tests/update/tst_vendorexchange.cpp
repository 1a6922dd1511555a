#include "core/paths.h"
#include "report/reports.h"
#include "store/settings.h"
#include "store/userdb.h"
#include "support/sandbox.h"
#include "support/testhttpserver.h"
#include "update/updatetask.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray runVendor(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KESTROW_VENDOR_TOOL), arguments);
    process.waitForFinished(30000);
    return process.readAllStandardOutput().trimmed();
}

} // namespace

// The whole exchange against kestrow-vendor on 127.0.0.1.
class TestVendorExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QByteArray publicKey = runVendor({u"keygen"_s, m_folder.path()});
        QCOMPARE(publicKey.size(), 44);
        qputenv("KESTROW_UPDATE_PUBKEY", publicKey);
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
        // Site A with 65 nodes, of which only the 65th is followed, and site B with one followed node.
        CatalogBuilder catalog;
        for (int n = 1; n <= 65; ++n)
            QVERIFY(catalog.node(u"A"_s, u"a%1"_s.arg(n), u"http://a/"_s, listMarkers));
        QVERIFY(catalog.node(u"B"_s, u"b1"_s, u"http://b/"_s, listMarkers));
        QVERIFY(UserDb().setAttention({{u"A"_s, u"a65"_s}, {u"B"_s, u"b1"_s}}));
        QVERIFY(writeFile(m_folder.filePath(u"var.txt"_s), "2.0.1\n"));
        QVERIFY(writeFile(m_folder.filePath(u"aboutmsg.txt"_s), "来自作者的消息\n"));
        m_engine = std::make_unique<UpdateTask>(UsageReports{sendInstallReport, sendDailyRunReport});
    }

    void cleanup()
    {
        m_engine.reset();
        m_sandbox.reset();
        QFile::remove(m_folder.filePath(u"reports.db"_s));
    }

    void reportsVersionAndAboutMessage()
    {
        QSignalSpy asked(m_engine.get(), &UpdateTask::checkNewVersionFinished);
        check();
        check();
        // The install report's answer is stored as "uid"; the daily report carries it and a mask per site.
        const QString uid = setting(u"uid"_s);
        QVERIFY(!uid.isEmpty());
        QCOMPARE(stored(u"type || '.' || subtype || ' ' || uid"_s), (QStringList{u"4.1 "_s + uid, u"4.2 "_s + uid}));
        QCOMPARE(stored(u"fields"_s).value(1), u"[\"%1\",\"0\",\"1\"]"_s.arg(uid));
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
        QCOMPARE(setting(u"run_date"_s), QDate::currentDate().toString(u"yyyy-MM-dd"_s));
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

    QStringList stored(const QString &column)
    {
        return rawColumn(m_folder.filePath(u"reports.db"_s), u"SELECT %1 FROM reports ORDER BY rowid;"_s.arg(column));
    }

    QTemporaryDir m_folder;
    QProcess m_vendor; // killed when the test object goes
    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<UpdateTask> m_engine;
};

QTEST_MAIN(TestVendorExchange)
#include "tst_vendorexchange.moc"
