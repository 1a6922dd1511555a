#include "ui/kit/twindowframe.h"

#include "ui/kit/tbutton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

void TWindowFrame::paintFrame(QWidget *window)
{
    const int w = window->width();
    const int h = window->height();
    QPainter painter(window);
    painter.fillRect(0, 0, w, h, backgroundColor);
    painter.setPen(QPen(titleColor, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.drawRect(QRectF(0, 0, w - 1, h - 1));

    if (showCloseButton && !closeButton) {
        closeButton = new TButton(window, 0);
        closeButton->setGeometry(w - 21, 5, 16, 16);
        QObject::connect(closeButton, &TButton::clicked, window, &QWidget::close);
        closeButton->show();
    }
    if (showMinButton && !minButton) {
        minButton = new TButton(window, 1);
        minButton->setGeometry(w - 39, 5, 16, 16);
        QObject::connect(minButton, &TButton::clicked, window, &QWidget::showMinimized);
        minButton->show();
    }
    // A window that can be resized keeps them in its corner.
    if (closeButton)
        closeButton->move(w - 21, 5);
    if (minButton)
        minButton->move(w - 39, 5);
    if (!showTitleBar)
        return;
    painter.fillRect(0, 0, w, titleHeight, titleColor);
    int left = 10;
    if (showIcon && !window->windowIcon().isNull()) {
        painter.drawPixmap(10, 5, window->windowIcon().pixmap(16, 16, QIcon::Normal, QIcon::Off));
        left = 32;
    }
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() + 1);
    painter.setFont(font);
    painter.setPen(QPen(Qt::white, 1.0));
    // From the left edge to x = w - 40 and from y = 6 to y = 20, both inclusive.
    painter.drawText(QRect(left, 6, w - 40 - left + 1, 15), Qt::AlignLeft | Qt::AlignVCenter, window->windowTitle());
}

void TWindowFrame::pressFrame(QWidget *window, QMouseEvent *event)
{
    QRect strip = window->rect();
    strip.setBottom(titleHeight); // rows 0 to titleHeight inclusive, whether or not the strip is painted
    if (event->button() == Qt::LeftButton && strip.contains(event->position().toPoint())) {
        dragOffset = event->globalPosition().toPoint() - window->frameGeometry().topLeft();
        dragging = true;
    }
    event->ignore();
}

void TWindowFrame::moveFrame(QWidget *window, QMouseEvent *event)
{
    if (dragging && (event->buttons() & Qt::LeftButton))
        window->move(event->globalPosition().toPoint() - dragOffset);
    event->ignore();
}

void TWindowFrame::releaseFrame(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        dragging = false;
    event->ignore();
}
