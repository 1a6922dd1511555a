#include "report/crc32c.h"
#include "report/reportframe.h"
#include "report/reports.h"
#include "report/systemdescription.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

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

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void crcCheckVectors()
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
    }

    void framesRoundTrip()
    {
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

    void invalidFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = ReportFrame::encode(ReportMessage{4, 1, {"uid", ""}});
        for (const int cut : {0, 1, 4, 8, 11, int(good.size()) - 1})
            QTest::addRow("cut at %d", cut) << good.left(cut);
        const auto changed = [&good](qsizetype at, char byte) { return QByteArray(good).replace(at, 1, &byte, 1); };
        QTest::newRow("wrong start byte") << changed(0, '\x06');
        QTest::newRow("wrong end byte") << changed(good.size() - 1, '\x09');
        QTest::newRow("crc mismatch") << changed(4, char(good[4] ^ 1));
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

    void reportTexts()
    {
        // Windows: an edition from the product type alone (6.3 on), and a name without an edition keeps its blank
        // before " (build", the text peers have always been sent; nothing before NT 5.
        QCOMPARE(describeWindows({6, 3, 9600, true, {}, true, 0, 9, 48}),
                 u"Microsoft Professional (build 9600), 64-bit"_s);
        QCOMPARE(describeWindows({6, 2, 9200, true, {}, true, 0, 9, 5}),
                 u"Microsoft Windows 8  (build 9200), 64-bit"_s);
        QCOMPARE(describeWindows({4, 0, 1381, true, {}, true, 0, 0, 0}), QString());
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
        // The daily report's mask of followed nodes, one bit a node (tst_vendorexchange sends one past the 64th).
        QStringList nodes;
        for (int i = 0; i < 65; ++i)
            nodes << u"n%1"_s.arg(i);
        QCOMPARE(nodeMask(nodes, {u"n0"_s, u"n2"_s}), QByteArray("5"));
        QCOMPARE(nodeMask(nodes, {u"n63"_s}), QByteArray("9223372036854775808"));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
