#include "report/crc32c.h"
#include "report/reportframe.h"
#include "report/reports.h"
#include "report/systemdescription.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(WindowsVersion)

namespace {

// A frame with payload as given (start, length and CRC made to fit unless told otherwise).
QByteArray frameOf(const QByteArray &payload)
{
    ReportMessage none;
    QByteArray frame = ReportFrame::encode(none); // an empty message's header, re-filled below
    frame.truncate(8);
    frame[1] = char(payload.size() & 0xFF);
    frame[2] = char((payload.size() >> 8) & 0xFF);
    frame[3] = char((payload.size() >> 16) & 0xFF);
    const quint32 crc = Crc32c::compute(payload);
    for (int i = 0; i < 4; ++i)
        frame[4 + i] = char((crc >> (8 * i)) & 0xFF);
    return frame + payload + '\x08';
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

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void crcCheckVectors()
    {
        QByteArray ascending(32, '\0');
        for (int i = 0; i < 32; ++i)
            ascending[i] = char(i);
        const QList<QPair<QByteArray, quint32>> vectors = {
            {QByteArray(32, '\0'), 0x8A9136AAu}, {ascending, 0x46DD794Eu}, {"123456789", 0xE3069283u}};
        for (const auto &[bytes, crc] : vectors) {
            QCOMPARE(Crc32c::withTables(bytes.constData(), size_t(bytes.size())), crc);
            if (Crc32c::hasInstruction())
                QCOMPARE(Crc32c::withInstruction(bytes.constData(), size_t(bytes.size())), crc);
        }
        // Random buffers of every length and alignment near the word sizes agree on both paths.
        QByteArray random(4096 + 16, '\0');
        QRandomGenerator generator(20261206);
        for (char &c : random)
            c = char(generator.bounded(256));
        for (int offset = 0; offset < 8; ++offset) {
            for (int size : {0, 1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 1000, 4096}) {
                const char *data = random.constData() + offset;
                QCOMPARE(Crc32c::compute(data, size_t(size)), Crc32c::withTables(data, size_t(size)));
            }
        }
    }

    void framesRoundTrip_data()
    {
        QTest::addColumn<QList<QByteArray>>("fields");
        QTest::newRow("no fields") << QList<QByteArray>();
        QTest::newRow("zero-length fields") << QList<QByteArray>{QByteArray(), "a", QByteArray()};
        QTest::newRow("texts") << QList<QByteArray>{u"渠道"_s.toUtf8(), QByteArray(70000, 'x')};
    }

    void framesRoundTrip()
    {
        QFETCH(QList<QByteArray>, fields);
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        QVERIFY(writeReportFrame(&buffer, 4, 2, fields));
        QVERIFY(!writeReportFrame(nullptr, 4, 2, fields));
        qsizetype payload = 4;
        for (const QByteArray &field : fields)
            payload += 4 + field.size();
        QCOMPARE(buffer.size(), payload + 9);
        ReportMessage message;
        QVERIFY(read(buffer.data(), message));
        QCOMPARE(message.type, quint16(4));
        QCOMPARE(message.subtype, quint16(2));
        QCOMPARE(message.fields, fields);
    }

    void invalidFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = ReportFrame::encode(ReportMessage{4, 1, {"uid", ""}});
        for (const qsizetype cut :
             {qsizetype(0), qsizetype(1), qsizetype(4), qsizetype(8), qsizetype(11), good.size() - 1})
            QTest::addRow("cut at %d", int(cut)) << good.left(cut);
        QByteArray wrongStart = good;
        wrongStart[0] = '\x06';
        QTest::newRow("wrong start byte") << wrongStart;
        QByteArray wrongEnd = good;
        wrongEnd[good.size() - 1] = '\x09';
        QTest::newRow("wrong end byte") << wrongEnd;
        QByteArray wrongCrc = good;
        wrongCrc[4] = char(wrongCrc[4] ^ 1);
        QTest::newRow("crc mismatch") << wrongCrc;
        // Type 4, subtype 1, then fields as a little-endian length and bytes.
        const QByteArray head = QByteArray::fromHex("04000100");
        QTest::newRow("payload under 4 bytes") << frameOf(QByteArray::fromHex("0400"));
        QTest::newRow("field past the end") << frameOf(head + QByteArray::fromHex("09000000") + "abc");
        QTest::newRow("length without field") << frameOf(head + QByteArray::fromHex("01000000"));
        for (int stray = 1; stray <= 3; ++stray)
            QTest::addRow("%d stray bytes", stray)
                << frameOf(head + QByteArray::fromHex("01000000") + "a" + QByteArray(stray, 'z'));
    }

    void invalidFrames()
    {
        QFETCH(QByteArray, bytes);
        ReportMessage message;
        QVERIFY(!read(bytes, message));
        QVERIFY(message.fields.isEmpty());
        qsizetype size = -1;
        QVERIFY(ReportFrame::scan(bytes, &size, message) != ReportFrame::Scan::Complete);
        QCOMPARE(size, -1);
    }

    void windowsNames_data()
    {
        QTest::addColumn<WindowsVersion>("version");
        QTest::addColumn<QString>("text");
        const auto v = [](unsigned major, unsigned minor, unsigned build, const char *sp, bool workstation,
                          unsigned suite, unsigned arch, unsigned product) {
            WindowsVersion w;
            w.major = major, w.minor = minor, w.build = build, w.servicePack = QString::fromLatin1(sp);
            w.workstation = workstation, w.suiteMask = suite, w.architecture = arch, w.productType = product;
            return w;
        };
        QTest::newRow("7 Ultimate SP1 x64")
            << v(6, 1, 7601, "Service Pack 1", true, 0, 9, 1)
            << u"Microsoft Windows 7 Ultimate Edition Service Pack 1 (build 7601), 64-bit"_s;
        QTest::newRow("2008 R2 on Itanium") << v(6, 1, 7600, "", false, 0, 6, 15)
                                            << u"Microsoft Windows Server 2008 R2 Enterprise Edition for Itanium-based "
                                               "Systems (build 7600)"_s;
        QTest::newRow("6.3 gets the edition only")
            << v(6, 3, 9600, "", true, 0, 9, 48) << u"Microsoft Professional (build 9600), 64-bit"_s;
        // A name without an edition keeps its blank before " (build": the text peers have always been sent.
        QTest::newRow("unknown product type")
            << v(6, 2, 9200, "", true, 0, 9, 5) << u"Microsoft Windows 8  (build 9200), 64-bit"_s;
        QTest::newRow("XP on x64 has no bitness") << v(5, 1, 2600, "Service Pack 3", true, 0, 9, 0)
                                                  << u"Microsoft Windows XP Professional Service Pack 3 (build 2600)"_s;
        QTest::newRow("2003 x64 datacenter") << v(5, 2, 3790, "", false, 0x80, 9, 0)
                                             << u"Microsoft Windows Server 2003 Datacenter x64 Edition (build 3790)"_s;
        QTest::newRow("storage server") << v(5, 2, 3790, "", false, 0x2000, 0, 0)
                                        << u"Microsoft Windows Storage Server 2003 Standard Edition (build 3790)"_s;
        QTest::newRow("2000 advanced") << v(5, 0, 2195, "Service Pack 4", false, 0x2, 0, 0)
                                       << u"Microsoft Windows 2000 Advanced Server Service Pack 4 (build 2195)"_s;
        QTest::newRow("NT 4") << v(4, 0, 1381, "", true, 0, 0, 0) << QString();
    }

    void windowsNames()
    {
        QFETCH(WindowsVersion, version);
        QFETCH(QString, text);
        QCOMPARE(describeWindows(version), text);
    }

    void linuxAndMemoryTexts()
    {
        QCOMPARE(describeLinux("NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", u"6.1.0-13-amd64"_s, true),
                 u"Debian GNU/Linux 12 (bookworm) (build 6.1.0-13-amd64), 64-bit"_s);
        QCOMPARE(describeLinux(QByteArray(), u"6.1"_s, false), u"Linux (build 6.1), 32-bit"_s);
        const quint64 mib = quint64(1) << 20;
        const QList<QPair<quint64, QString>> memory = {
            {8192 * mib, u"8GB"_s}, {1000 * mib, u"1000MB"_s}, {1021 * mib, u"1GB"_s}, {3963 * mib, u"3.9GB"_s}};
        for (const auto &[bytes, text] : memory)
            QCOMPARE(describeProcessorAndMemory(QString(), 4, bytes), text);
        QCOMPARE(describeProcessorAndMemory(u" Intel(R) Core(TM) i7 "_s, 4, 8192 * mib),
                 u"Intel(R) Core(TM) i7 X4, 8GB"_s);
        // This machine's description keeps the three pieces with their separators.
        QCOMPARE(describeMachine().count(u"; "_s), 2);
        QVERIFY(describeMachine().endsWith(u';'));
    }

    void nodeMasks()
    {
        QStringList nodes;
        for (int i = 0; i < 65; ++i)
            nodes << u"n%1"_s.arg(i);
        QCOMPARE(nodeMask(nodes, {}), QByteArray("0"));
        QCOMPARE(nodeMask(nodes, {u"n0"_s, u"n2"_s}), QByteArray("5"));
        QCOMPARE(nodeMask(nodes, {u"n64"_s}), QByteArray("0"));
        QCOMPARE(nodeMask(nodes, {u"n63"_s}), QByteArray("9223372036854775808"));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
