#pragma once

#include <QColor>
#include <QWidget>

// A 16-pixel glyph button painted with lines: kind 0 a cross (close), kind 1 a bar (minimise).
class TButton : public QWidget
{
    Q_OBJECT

public:
    TButton(QWidget *parent, int kind);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setState(int newState);

    bool pressed = false;
    int kind;
    int state = 0; // 0 normal, 1 pointer inside, 2 pressed
    QColor normalColor{255, 255, 255, 255};
    QColor hoverColor{228, 35, 142, 255};
};
