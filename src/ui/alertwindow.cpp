#include "ui/alertwindow.h"

#include "core/alertrules.h"
#include "store/settings.h"
#include "ui/kit/placed.h"
#include "ui/kit/tlinkbutton.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>

AlertWindow::AlertWindow(QWidget *parent) : TDialog(parent)
{
    setObjectName(QStringLiteral("AlertWindow"));
    setWindowTitle(tr("Kestrow - 提醒设置"));
    setFixedSize(300, 260);
    backgroundColor = QColor(255, 255, 255, 225);

    const AlertRules rules = alertRules();
    placed(new QLabel(tr("标题含以下任一词才提醒:"), this), "requireLabel", 10, 35, 280, 21);
    requireEdit = placed(new QLineEdit(Key::AlertRequire.text(rules.require), this), "requireEdit", 10, 55, 280, 21);
    requireEdit->setPlaceholderText(tr("不限; 多个词用空格或逗号隔开"));
    placed(new QLabel(tr("标题含以下任一词不提醒:"), this), "excludeLabel", 10, 80, 280, 21);
    excludeEdit = placed(new QLineEdit(Key::AlertExclude.text(rules.exclude), this), "excludeEdit", 10, 100, 280, 21);
    excludeEdit->setPlaceholderText(tr("不限"));

    placed(new QLabel(tr("最低预算:"), this), "minPriceLabel", 10, 130, 80, 21);
    minPriceSpin = placed(new QSpinBox(this), "minPriceSpin", 90, 130, 120, 21);
    minPriceSpin->setRange(0, 100000000);
    minPriceSpin->setSingleStep(100);
    minPriceSpin->setSpecialValueText(tr("不限"));
    minPriceSpin->setSuffix(tr(" 元"));
    minPriceSpin->setValue(int(rules.minPrice));

    const QTime start = rules.quietStart, end = rules.quietEnd;
    quietCheck = placed(new QCheckBox(tr("免打扰:"), this), "quietCheck", 10, 160, 80, 21);
    quietCheck->setChecked(start.isValid() && end.isValid() && start != end);
    quietStartEdit =
        placed(new QTimeEdit(start.isValid() ? start : QTime(22, 0), this), "quietStartEdit", 90, 160, 80, 21);
    placed(new QLabel(QStringLiteral("-"), this), "quietToLabel", 175, 160, 10, 21);
    quietEndEdit = placed(new QTimeEdit(end.isValid() ? end : QTime(8, 0), this), "quietEndEdit", 190, 160, 80, 21);
    for (QTimeEdit *edit : {quietStartEdit, quietEndEdit}) {
        edit->setDisplayFormat(QLatin1String(SettingText<QTime>::format)); // as stored
        edit->setEnabled(quietCheck->isChecked());
        connect(quietCheck, &QCheckBox::toggled, edit, &QWidget::setEnabled);
    }

    desktopCheck = placed(new QCheckBox(tr("用桌面通知代替弹窗"), this), "desktopCheck", 10, 190, 280, 21);
    desktopCheck->setChecked(rules.channel == NotifyChannel::Desktop);

    // New tasks on the phone too: the push channels have a window of their own.
    auto *pushLink = placed(new TLinkButton(this), "pushLink", 10, 230, 100, 18);
    pushLink->setText(tr("推送到手机…"));
    connect(pushLink, &TLinkButton::clicked, this, &AlertWindow::openPushWindow);

    auto *closeButton = placed(new QPushButton(tr("关闭"), this), "closePushButton", 120, 228, 60, 21);
    connect(closeButton, &QPushButton::clicked, this, &AlertWindow::onClose);
}

void AlertWindow::onClose()
{
    close();
}

void AlertWindow::closeEvent(QCloseEvent *event)
{
    AlertRules rules;
    rules.require = AlertRules::words(requireEdit->text());
    rules.exclude = AlertRules::words(excludeEdit->text());
    rules.minPrice = minPriceSpin->value();
    if (quietCheck->isChecked())
        rules.quietStart = quietStartEdit->time(), rules.quietEnd = quietEndEdit->time();
    rules.channel = desktopCheck->isChecked() ? NotifyChannel::Desktop : NotifyChannel::Popup;
    setAlertRules(rules);
    event->accept();
}
