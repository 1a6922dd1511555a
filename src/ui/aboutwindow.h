#pragma once

#include "ui/kit/tdialog.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class TLinkButton;

// The About dialog: version, the maker's links and the message the update engine cached from the vendor server.
class AboutWindow : public TDialog
{
    Q_OBJECT

public:
    explicit AboutWindow(QWidget *parent = nullptr);
    ~AboutWindow() override;

public slots:
    void onClose();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *versionLabel;
    TLinkButton *siteLink;
    QLabel *feedbackLabel;
    TLinkButton *feedbackLink;
    QPushButton *closePushButton;
};
