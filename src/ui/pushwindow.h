#pragma once

#include "core/pushchannel.h"
#include "ui/kit/tdialog.h"

class PushSender;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "推送到手机": the push channels (group robots, ntfy, webhooks), each added, edited, switched on and off, tested with
// the service's answer shown, or removed. Closing stores them; Esc leaves without saving.
class PushWindow : public TDialog
{
    Q_OBJECT

public:
    explicit PushWindow(QWidget *parent = nullptr);
    ~PushWindow() override;

    // A channel of kind, selected, to be filled in.
    void addChannel(PushChannel::Kind kind);
    void removeChannel();
    // Sends a test message on the selected channel; the answer shows below the list.
    void testChannel();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showChannel(int row);
    void showRow(int row);
    void takeForm();

    QList<PushChannel> channels;
    int current = -1;
    bool loading = false; // while the form shows a channel: its edits are not the user's
    QTableWidget *channelTable;
    QPushButton *addButton;
    QPushButton *removeButton;
    QPushButton *testButton;
    QLabel *kindLabel;
    QLineEdit *urlEdit;
    QLabel *secretLabel;
    QLineEdit *secretEdit;
    QLabel *topicLabel;
    QLineEdit *topicEdit;
    QCheckBox *enabledCheck;
    QCheckBox *ignoreQuietCheck;
    QLabel *statusLabel;
    PushSender *tester;
};
