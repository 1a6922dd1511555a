#pragma once

#include <QLabel>
#include <QRgb>

// A label that acts as a link: underlined under the pointer, clicked() on a click, and opens its address (when it
// has one) in the browser. Its text is always plain text.
class TLinkButton : public QLabel
{
    Q_OBJECT

public:
    explicit TLinkButton(QWidget *parent = nullptr);

    void setColor(QRgb color);
    void setColor(QRgb color, QRgb hoverColor);
    // Stores the address; an empty label shows it as its text.
    void setUrl(const QString &url);
    QString url() const { return m_url; }
    int textWidth() const;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool pressed = false;
    QString m_url;
};
