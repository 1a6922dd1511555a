#include "ui/kit/timagebutton.h"

#include <QBitmap>
#include <QMouseEvent>

TImageButton::TImageButton(QWidget *parent, const QPixmap &normal, const QPixmap &hover, const QPixmap &pressed)
    : QPushButton(parent), images{normal, pressed, hover}
{
    setAutoFillBackground(true);
}

void TImageButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        state = 1;
        update();
    }
    QPushButton::mousePressEvent(event);
}

void TImageButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        state = 0;
        update();
    }
    QPushButton::mouseReleaseEvent(event);
}

void TImageButton::enterEvent(QEnterEvent *event)
{
    state = 2;
    update();
    QPushButton::enterEvent(event);
}

void TImageButton::leaveEvent(QEvent *event)
{
    state = 0;
    update();
    QPushButton::leaveEvent(event);
}

void TImageButton::paintEvent(QPaintEvent *)
{
    if (!isEnabled())
        return;
    // The background fill shows the image; the mask clips the button to the image's opaque shape.
    QPalette imagePalette = palette();
    imagePalette.setBrush(QPalette::All, backgroundRole(), QBrush(images[state]));
    setPalette(imagePalette);
    setMask(images[state].mask());
}
