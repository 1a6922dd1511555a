#pragma once

#include "ui/kit/tdialog.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;
class QTimeEdit;

// "提醒设置": which new tasks are announced (title words to require or exclude, a minimum budget), quiet hours, and
// the desktop's notifications instead of the corner popup.
// Reads the settings when built and writes them when closed; Esc leaves without saving.
class AlertWindow : public TDialog
{
    Q_OBJECT

public:
    explicit AlertWindow(QWidget *parent = nullptr);

signals:
    // The link to the push channels was clicked.
    void openPushWindow();

public slots:
    void onClose();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLineEdit *requireEdit;
    QLineEdit *excludeEdit;
    QSpinBox *minPriceSpin;
    QCheckBox *quietCheck;
    QTimeEdit *quietStartEdit;
    QTimeEdit *quietEndEdit;
    QCheckBox *desktopCheck;
};
