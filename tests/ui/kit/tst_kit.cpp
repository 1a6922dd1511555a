#include "safeurl.h"
#include "tbutton.h"
#include "tdialog.h"
#include "tlinkbutton.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A kit dialog whose frame fields the test can read.
class ProbeDialog : public TDialog
{
public:
    using TDialog::closeButton;
    using TDialog::dragging;
    using TDialog::minButton;
    using TDialog::showIcon;
    using TDialog::showMinButton;
    using TDialog::titleHeight;
};

// The leftmost x in the title row band (y 6..20) whose pixel is white: where the title text starts.
int titleStart(QWidget &window)
{
    const QImage image = window.grab().toImage();
    for (int x = 0; x < image.width() - 40; ++x) {
        for (int y = 6; y <= 20; ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200)
                return x;
        }
    }
    return -1;
}

bool hasGlyphColor(TButton &button, const QColor &color)
{
    const QImage image = button.grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == color)
                return true;
        }
    }
    return false;
}

} // namespace

class TestKit : public QObject
{
    Q_OBJECT

private slots:
    void glyphButtonClicks();
    void dragStartsOnlyInTheStrip();
    void framePainting();
    void linkButton();
};

void TestKit::glyphButtonClicks()
{
    QWidget parent;
    parent.resize(60, 30);
    TButton close(&parent, 0);
    close.setGeometry(5, 5, 16, 16);
    parent.show();
    QSignalSpy clicked(&close, &TButton::clicked);
    QTest::mousePress(&close, Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseRelease(&close, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(clicked.size(), 1);
    // A release outside emits nothing and leaves the glyph in its normal colour.
    QTest::mousePress(&close, Qt::LeftButton, {}, QPoint(8, 8));
    QTest::mouseRelease(&close, Qt::LeftButton, {}, QPoint(30, 8));
    QCOMPARE(clicked.size(), 1);
    QVERIFY(hasGlyphColor(close, QColor(255, 255, 255)));
    QVERIFY(!hasGlyphColor(close, QColor(228, 35, 142)));
    // Any button presses.
    QTest::mousePress(&close, Qt::RightButton, {}, QPoint(8, 8));
    QTest::mouseRelease(&close, Qt::RightButton, {}, QPoint(8, 8));
    QCOMPARE(clicked.size(), 2);
    // An unknown kind paints nothing and still clicks.
    TButton invisible(&parent, 7);
    invisible.setGeometry(30, 5, 16, 16);
    invisible.show();
    QVERIFY(!hasGlyphColor(invisible, QColor(255, 255, 255)));
    QSignalSpy invisibleClicked(&invisible, &TButton::clicked);
    QTest::mouseClick(&invisible, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(invisibleClicked.size(), 1);
}

void TestKit::dragStartsOnlyInTheStrip()
{
    ProbeDialog dialog;
    dialog.resize(200, 100);
    dialog.move(100, 100);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(50, dialog.titleHeight + 1));
    QVERIFY(!dialog.dragging);
    QTest::mousePress(&dialog, Qt::RightButton, {}, QPoint(50, 5));
    QVERIFY(!dialog.dragging);
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(50, dialog.titleHeight));
    QVERIFY(dialog.dragging);
    // A right-button release does not end the drag; moving with the left button held moves the window.
    QTest::mouseRelease(&dialog, Qt::RightButton, {}, QPoint(50, 5));
    QVERIFY(dialog.dragging);
    const QPoint before = dialog.frameGeometry().topLeft();
    QMouseEvent move(QEvent::MouseMove, QPointF(80, 40), dialog.mapToGlobal(QPointF(80, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    QCOMPARE(dialog.frameGeometry().topLeft(), before + QPoint(30, 40 - dialog.titleHeight));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(80, 40));
    QVERIFY(!dialog.dragging);
}

void TestKit::framePainting()
{
    ProbeDialog dialog;
    dialog.resize(200, 100);
    dialog.setTitle(u"MMMM"_s);
    QVERIFY(!dialog.closeButton);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Glyph buttons appear on the first paint, at the strip's right end.
    QVERIFY(dialog.closeButton && dialog.minButton);
    QCOMPARE(dialog.closeButton->geometry(), QRect(200 - 21, 5, 16, 16));
    QCOMPARE(dialog.minButton->geometry(), QRect(200 - 39, 5, 16, 16));
    // Border and strip in the kit's blue.
    const QImage image = dialog.grab().toImage();
    QCOMPARE(image.pixelColor(0, 60), QColor(56, 162, 219));
    QCOMPARE(image.pixelColor(199, 99), QColor(56, 162, 219));
    QCOMPARE(image.pixelColor(100, 60), QColor(255, 255, 255));
    QCOMPARE(image.pixelColor(100, 2), QColor(56, 162, 219));
    // Without an icon the title starts at x = 10; with one, at 32.
    const int plain = titleStart(dialog);
    QVERIFY2(plain >= 10 && plain < 16, qPrintable(QString::number(plain)));
    QPixmap icon(16, 16);
    icon.fill(Qt::black);
    dialog.setWindowIcon(QIcon(icon));
    const int withIcon = titleStart(dialog);
    QVERIFY2(withIcon >= 32 && withIcon < 38, qPrintable(QString::number(withIcon)));
    // A window that turns the minimise button off never gets one.
    ProbeDialog bare;
    bare.showMinButton = false;
    bare.resize(100, 50);
    bare.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bare));
    QVERIFY(bare.closeButton && !bare.minButton);
}

void TestKit::linkButton()
{
    TLinkButton link;
    link.setText(u"<b>bold?</b>"_s);
    QCOMPARE(link.textFormat(), Qt::PlainText);
    link.setUrl(u"http://example.invalid/a"_s);
    QCOMPARE(link.text(), u"<b>bold?</b>"_s);
    TLinkButton empty;
    empty.setUrl(u"http://example.invalid/b"_s);
    QCOMPARE(empty.text(), u"http://example.invalid/b"_s);
    empty.setColor(qRgb(19, 113, 232), qRgb(204, 0, 51));
    QCOMPARE(empty.styleSheet(), u"QLabel{color:rgb(19, 113, 232);} QLabel:hover{color:rgb(204, 0, 51);}"_s);
    // A click emits clicked() whatever the address; a press released outside does not.
    TLinkButton target;
    target.resize(100, 20);
    QSignalSpy clicked(&target, &TLinkButton::clicked);
    QTest::mouseClick(&target, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(clicked.size(), 1);
    QTest::mousePress(&target, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&target, Qt::LeftButton, {}, QPoint(150, 5));
    QCOMPARE(clicked.size(), 1);
    // Only web addresses ever reach the desktop's opener.
    QVERIFY(isWebAddress(u"http://127.0.0.1:8731/t/1"_s));
    QVERIFY(isWebAddress(u"HTTPS://example.com/?q=%E4%B8%AD"_s));
    QVERIFY(isWebAddress(u"http://127.0.0.1:8731/任务/1?标题=网站 建设"_s));
    for (const char *bad : {"javascript:alert(1)", "file:///etc/passwd", "mailto:a@b", "/relative/path",
                            "ftp://example.com/", "http://", "data:text/html,<b>x</b>", ""})
        QVERIFY2(!isWebAddress(QString::fromLatin1(bad)), bad);
    QVERIFY(!openWebAddress(u"file:///etc/passwd"_s));
}

QTEST_MAIN(TestKit)
#include "tst_kit.moc"
