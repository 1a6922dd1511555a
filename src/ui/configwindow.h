#pragma once

#include "ui/kit/tdialog.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The settings dialog: start at login, sound, scan interval, history retention, interface font and language. Reads
// them when built and writes them all when closed; Esc leaves without saving.
class ConfigWindow : public TDialog
{
    Q_OBJECT

public:
    explicit ConfigWindow(QWidget *parent = nullptr);
    ~ConfigWindow() override;

    // Whether the desktop starts this program (at its current path) at login.
    static bool isAutostart();
    static void setAutostart(bool on);

signals:
    // The link to the alert rules was clicked.
    void openAlertWindow();

public slots:
    void onDefaultFont();
    void onClose();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QCheckBox *autostartCheck;
    QCheckBox *soundCheck;
    QLabel *intervalLabel;
    QComboBox *intervalCombo;
    QLabel *retentionLabel;
    QSpinBox *retentionSpin;
    QLabel *fontLabel;
    QFontComboBox *fontCombo;
    QPushButton *defaultFontButton;
    QComboBox *languageCombo;
    QPushButton *closePushButton;
};
