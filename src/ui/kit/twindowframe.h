#pragma once

#include <QColor>
#include <QPoint>

class QMouseEvent;
class QWidget;
class TButton;

// The look and the title-strip dragging shared by TDialog and TMainWindow; its fields are theirs.
class TWindowFrame
{
protected:
    bool dragging = false;
    QPoint dragOffset;
    bool showTitleBar = true;
    int titleHeight = 27;
    bool showIcon = true;
    QColor titleColor{56, 162, 219, 255};
    QColor backgroundColor{255, 255, 255, 255};
    bool showMinButton = true;
    TButton *minButton = nullptr;
    bool showCloseButton = true;
    TButton *closeButton = nullptr;

    // Paints background, border and title strip; creates the glyph buttons on the first call.
    void paintFrame(QWidget *window);
    void pressFrame(QWidget *window, QMouseEvent *event);
    void moveFrame(QWidget *window, QMouseEvent *event);
    void releaseFrame(QMouseEvent *event);
};

#include <QMouseEvent>
#include <QPaintEvent>
#include <QShowEvent>

// Base is QDialog or QMainWindow: the kit's frame put on it. The handlers leave their events unaccepted.
template <typename Base> class TFramed : public Base, protected TWindowFrame
{
public:
    explicit TFramed(QWidget *parent, Qt::WindowFlags flags, Qt::WindowFlags kitFlags) : Base(parent, flags)
    {
        this->setWindowFlags(kitFlags | Qt::FramelessWindowHint);
        this->setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override { pressFrame(this, event); }
    void mouseReleaseEvent(QMouseEvent *event) override { releaseFrame(event); }
    void mouseMoveEvent(QMouseEvent *event) override { moveFrame(this, event); }
    void paintEvent(QPaintEvent *event) override
    {
        paintFrame(this);
        event->ignore();
    }
    // The base places the window (a dialog is centred over its parent or the screen), then a synchronous repaint,
    // so the window never shows unpainted.
    void showEvent(QShowEvent *event) override
    {
        Base::showEvent(event);
        this->repaint();
        event->ignore();
    }
};
