#include "ui/kit/safeurl.h"
#include "ui/kit/tbutton.h"
#include "ui/kit/tdialog.h"
#include "ui/kit/tlinkbutton.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class TestKit : public QObject
{
    Q_OBJECT

private slots:
    void clicksNeedPressAndReleaseInside();
    void dialogsOpenCentred();
    void linkTextIsPlain();
    void onlyWebAddressesAreOpened_data();
    void onlyWebAddressesAreOpened();
};

void TestKit::clicksNeedPressAndReleaseInside()
{
    QWidget parent;
    TButton glyph(&parent, 0);
    glyph.setGeometry(5, 5, 16, 16);
    TLinkButton link(&parent);
    link.setGeometry(30, 5, 100, 20);
    parent.resize(200, 40);
    parent.show();
    for (QWidget *button : {static_cast<QWidget *>(&glyph), static_cast<QWidget *>(&link)}) {
        QSignalSpy clicked(button, SIGNAL(clicked()));
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(clicked.size(), 1);
        // A press released outside is no click.
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(8, 8));
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(150, 8));
        QCOMPARE(clicked.size(), 1);
    }
}

void TestKit::dialogsOpenCentred()
{
    // A dialog that was not placed opens in the middle of the screen, not at its top-left corner (Qt allows for a
    // window-manager frame of up to 10 by 40 pixels it cannot see on a frameless window).
    TDialog dialog;
    dialog.resize(250, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint offset = dialog.frameGeometry().center() - dialog.screen()->availableGeometry().center();
    QVERIFY2(qAbs(offset.x()) <= 10 && qAbs(offset.y()) <= 40, qPrintable(u"%1,%2"_s.arg(offset.x()).arg(offset.y())));
}

void TestKit::linkTextIsPlain()
{
    TLinkButton link;
    link.setText(u"<b>bold?</b>"_s);
    link.setUrl(u"http://example.invalid/a"_s);
    QCOMPARE(link.textFormat(), Qt::PlainText);
    QCOMPARE(link.text(), u"<b>bold?</b>"_s);
    // An empty link shows its address.
    TLinkButton empty;
    empty.setUrl(u"http://example.invalid/b"_s);
    QCOMPARE(empty.text(), u"http://example.invalid/b"_s);
}

void TestKit::onlyWebAddressesAreOpened_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("web");
    QTest::newRow("http") << u"http://127.0.0.1:8731/t/1"_s << true;
    QTest::newRow("https upper case") << u"HTTPS://example.com/?q=%E4%B8%AD"_s << true;
    QTest::newRow("chinese path") << u"http://127.0.0.1:8731/任务/1?标题=网站 建设"_s << true;
    for (const char *bad : {"javascript:alert(1)", "file:///etc/passwd", "mailto:a@b", "/relative/path",
                            "ftp://example.com/", "http://", "data:text/html,<b>x</b>", ""})
        QTest::newRow(bad) << QString::fromLatin1(bad) << false;
}

void TestKit::onlyWebAddressesAreOpened()
{
    QFETCH(QString, address);
    QFETCH(bool, web);
    QCOMPARE(isWebAddress(address), web);
    if (!web)
        QVERIFY(!openWebAddress(address));
}

QTEST_MAIN(TestKit)
#include "tst_kit.moc"
