#include "ui/aboutwindow.h"

#include "core/appversion.h"
#include "core/paths.h"
#include "ui/kit/tlinkbutton.h"

#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QLabel *selectableLabel(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A link exactly as wide as its text; text empty means the address is the text.
TLinkButton *link(QWidget *parent, const QString &address, const QString &text, int x, int y)
{
    auto *button = new TLinkButton(parent);
    button->setUrl(address);
    if (!text.isEmpty())
        button->setText(text);
    button->setGeometry(x, y, button->textWidth(), 21);
    button->setColor(qRgb(19, 113, 232));
    button->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return button;
}

} // namespace

AboutWindow::AboutWindow(QWidget *parent) : TDialog(parent)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(tr("Kestrow - 关于"));
    setFixedSize(250, 250);
    backgroundColor = QColor(255, 255, 255, 225);

    versionLabel = selectableLabel(this, tr("Kestrow v%1 开源版").arg(appVersion()), QRect(15, 35, 220, 21));
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    siteLink = link(this, QStringLiteral(KESTROW_SITE_URL), QString(), 15, 55);
    siteLink->setObjectName(QStringLiteral("siteLink"));
    feedbackLabel = selectableLabel(this, tr("问题及反馈请 "), QRect(15, 75, 80, 21));
    feedbackLink = link(this, QStringLiteral(KESTROW_FEEDBACK_URL), tr("点击这里"), 95, 75);
    feedbackLink->setObjectName(QStringLiteral("feedbackLink"));
    selectableLabel(this, tr("特别感谢: "), QRect(15, 95, 80, 21));
    link(this, QStringLiteral(KESTROW_THANKS_URL), tr("Qt 与 SQLite"), 95, 95)
        ->setObjectName(QStringLiteral("thanksLink"));
    selectableLabel(this, tr("来自作者的消息: "), QRect(15, 125, 220, 21));

    auto *messageEdit = new QPlainTextEdit(this);
    messageEdit->setObjectName(QStringLiteral("messageEdit"));
    messageEdit->setGeometry(15, 150, 220, 65);
    messageEdit->setReadOnly(true);
    messageEdit->setStyleSheet(QStringLiteral("QPlainTextEdit { background-color:rgba(255, 255, 255, 0); border:1px "
                                              "solid; border-color:rgba(56, 162, 219, 255); }"));
    QFile message(dataFilePath(QStringLiteral("aboutmsg")));
    if (message.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = message.readAll();
        if (!bytes.isEmpty())
            messageEdit->setPlainText(QString::fromUtf8(bytes));
    }

    closePushButton = new QPushButton(tr("关闭"), this);
    closePushButton->setGeometry(95, 222, 60, 21);
    connect(closePushButton, &QPushButton::clicked, this, &AboutWindow::onClose);
}

AboutWindow::~AboutWindow()
{
    trimWorkingSet();
}

void AboutWindow::onClose()
{
    close();
}

void AboutWindow::paintEvent(QPaintEvent *event)
{
    TDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(QColor(56, 162, 219), 1.0));
    painter.drawLine(10, 120, 240, 120);
}
