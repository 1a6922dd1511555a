#include "ui/kit/tbutton.h"

#include <QMouseEvent>
#include <QPainter>

TButton::TButton(QWidget *parent, int kind) : QWidget(parent), kind(kind) {}

void TButton::setState(int newState)
{
    state = newState;
    repaint();
}

void TButton::mousePressEvent(QMouseEvent *event)
{
    pressed = true;
    setState(2);
    event->accept();
}

void TButton::mouseReleaseEvent(QMouseEvent *event)
{
    setState(0);
    if (pressed && rect().contains(event->position().toPoint()))
        emit clicked();
    pressed = false;
    event->accept();
}

void TButton::enterEvent(QEnterEvent *event)
{
    setState(1);
    event->accept();
}

void TButton::leaveEvent(QEvent *event)
{
    setState(0);
    event->accept();
}

void TButton::paintEvent(QPaintEvent *event)
{
    const int w = width();
    const int h = height();
    const int q = w / 4;
    const int r = h / 4;
    const QColor color = state == 1 ? hoverColor : normalColor;
    QPainter painter(this);
    if (kind == 0) {
        painter.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        const int down = state == 2 ? 2 : 0;
        painter.drawLine(q, r + down, w - q, h - r + down);
        painter.drawLine(q, h - r + down, w - q, r + down);
    } else if (kind == 1) {
        painter.setPen(QPen(color, 3.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        const int y = h / 2 + (state == 2 ? 5 : 3);
        painter.drawLine(q, y, w / 2 + q, y);
    }
    event->accept();
}
