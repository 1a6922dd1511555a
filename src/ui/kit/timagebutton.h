#pragma once

#include <QPixmap>
#include <QPushButton>

// A push button drawn as one image per state (normal, pressed, pointer inside), clipped to the image's shape.
class TImageButton : public QPushButton
{
    Q_OBJECT

public:
    TImageButton(QWidget *parent, const QPixmap &normal, const QPixmap &hover, const QPixmap &pressed);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int state = 0; // 0 normal, 1 pressed, 2 pointer inside
    QPixmap images[3];
};
