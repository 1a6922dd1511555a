#include "ui/kit/tlinkbutton.h"

#include "ui/kit/safeurl.h"

#include <QMouseEvent>

namespace {

QString rgbText(QRgb color)
{
    return QStringLiteral("%1, %2, %3").arg(qRed(color)).arg(qGreen(color)).arg(qBlue(color));
}

} // namespace

TLinkButton::TLinkButton(QWidget *parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    // Link texts come from catalogues and web pages: never interpreted as markup.
    setTextFormat(Qt::PlainText);
}

void TLinkButton::setColor(QRgb color)
{
    setStyleSheet(QStringLiteral("QLabel{color:rgb(%1);}").arg(rgbText(color)));
}

void TLinkButton::setColor(QRgb color, QRgb hoverColor)
{
    setStyleSheet(
        QStringLiteral("QLabel{color:rgb(%1);} QLabel:hover{color:rgb(%2);}").arg(rgbText(color), rgbText(hoverColor)));
}

void TLinkButton::setUrl(const QString &url)
{
    m_url = url;
    if (text().isEmpty())
        setText(url);
}

int TLinkButton::textWidth() const
{
    return fontMetrics().horizontalAdvance(text());
}

void TLinkButton::mousePressEvent(QMouseEvent *)
{
    pressed = true;
}

void TLinkButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (pressed && rect().contains(event->position().toPoint())) {
        if (!m_url.isEmpty())
            openWebAddress(m_url);
        emit clicked();
    }
    pressed = false;
}

void TLinkButton::enterEvent(QEnterEvent *)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
}

void TLinkButton::leaveEvent(QEvent *)
{
    QFont plain = font();
    plain.setUnderline(false);
    setFont(plain);
}
