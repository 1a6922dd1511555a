#include "ui/siteview.h"

#include "store/settings.h"
#include "store/userdb.h"
#include "ui/kit/safeurl.h"
#include "ui/kit/timagebutton.h"
#include "ui/kit/tlinkbutton.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>

namespace {

// Halving that rounds down, also for negative values (an image wider than the area).
int halfFloor(int value)
{
    return value >= 0 ? value / 2 : -((-value + 1) / 2);
}

} // namespace

SiteView::SiteView(QWidget *parent) : QWidget(parent)
{
    setGeometry(0, 0, parent ? parent->width() : 0, parent ? parent->height() : 0);
    infoLabel = new QLabel(this);
    infoLabel->setObjectName(QStringLiteral("infoLabel"));
    infoLabel->setGeometry(230, 5, 340, 120);
    infoLabel->setWordWrap(true);
    infoLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    infoLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    infoLabel->setTextFormat(Qt::PlainText); // catalogue text

    const QString registerText = tr(">>快速注册<<");
    const int textWidth = fontMetrics().horizontalAdvance(registerText);
    registerLink = new TLinkButton(this);
    registerLink->setObjectName(QStringLiteral("registerLink"));
    registerLink->setColor(qRgb(0, 0, 255), qRgb(204, 0, 51));
    registerLink->setText(registerText);
    registerLink->setGeometry(halfFloor(230 - textWidth), 100, textWidth, 25);
}

QPixmap SiteView::placeholderLogo(const QString &siteName)
{
    QPixmap logo(180, 48);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3a, 0x7b, 0xd5));
    painter.drawEllipse(QRectF(4, 4, 40, 40));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(4, 4, 40, 40), Qt::AlignCenter, siteName.left(1));
    font.setPixelSize(17);
    painter.setFont(font);
    painter.setPen(QColor(0x3a, 0x7b, 0xd5));
    painter.drawText(QRectF(52, 0, 128, 48), Qt::AlignVCenter | Qt::AlignLeft,
                     QFontMetrics(font).elidedText(siteName, Qt::ElideRight, 128));
    return logo;
}

void SiteView::setLogo(const QPixmap &logo)
{
    delete logoButton;
    logoButton = new TImageButton(this, logo, logo, logo);
    logoButton->setObjectName(QStringLiteral("logoButton"));
    logoButton->setGeometry(halfFloor(230 - logo.width()), halfFloor(100 - logo.height()), logo.width(), logo.height());
    logoButton->setCursor(Qt::PointingHandCursor);
    connect(logoButton, &TImageButton::clicked, this, &SiteView::onClickedLogo);
    logoButton->show();
}

void SiteView::setNodes(const QString &siteName, const QStringList &nodeNames)
{
    UserDb db;
    if (!db.isOpen()) {
        complete = nodeNames.isEmpty();
        return;
    }
    qDeleteAll(nodeBoxes);
    nodeBoxes.clear();
    // Followed nodes that are failing or broken get a red mark and the reason as their tool tip.
    const HealthThresholds thresholds = healthThresholds();
    QHash<QString, QString> trouble;
    for (const NodeStatus &status : db.nodeStatuses()) {
        if (status.site_name == siteName)
            trouble.insert(status.note_name, status.describe(thresholds));
    }
    int x = 10;
    int y = 135;
    for (const QString &name : nodeNames) {
        auto *box = new QCheckBox(name, this);
        box->setGeometry(x, y, 145, 21);
        x += 145;
        if (x > 445) {
            x = 10;
            y += 21;
        }
        box->setChecked(db.isAttention(siteName, name));
        connect(box, &QCheckBox::clicked, this, [this, name](bool checked) { emit nodeClicked(name, checked); });
        const QString reason = trouble.value(name);
        if (box->isChecked() && !reason.isEmpty()) {
            box->setStyleSheet(QStringLiteral("QCheckBox { color: #d32f2f; }"));
            box->setToolTip(reason);
        }
        nodeBoxes.append(box);
    }
    complete = true;
}

void SiteView::setOwnSite()
{
    int x = 570;
    for (const auto &[text, name, signal] : {std::tuple{tr("删除站点"), "removeSiteLink", &SiteView::removeSite},
                                             {tr("编辑站点"), "editSiteLink", &SiteView::editSite}}) {
        auto *link = new TLinkButton(this);
        link->setObjectName(QLatin1String(name));
        link->setColor(qRgb(0, 0, 255), qRgb(204, 0, 51));
        link->setText(text);
        x -= link->textWidth() + 12;
        link->setGeometry(x, 365, link->textWidth() + 4, 21);
        connect(link, &TLinkButton::clicked, this, signal);
        link->show();
    }
}

void SiteView::setNodeChecked(const QString &node, bool checked)
{
    for (QCheckBox *box : std::as_const(nodeBoxes)) {
        if (box->text() == node)
            box->setChecked(checked);
    }
}

QStringList SiteView::selectedNodes() const
{
    QStringList names;
    for (const QCheckBox *box : nodeBoxes) {
        if (box->isChecked())
            names.append(box->text());
    }
    return names;
}

void SiteView::onClickedLogo()
{
    openWebAddress(siteUrl);
}

void SiteView::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(QColor(56, 162, 219), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.drawLine(10, 130, 570, 130);
}
