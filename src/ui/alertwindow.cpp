#include "ui/alertwindow.h"

#include "core/alertrules.h"
#include "store/settings.h"
#include "ui/kit/placed.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>

namespace {

const QString timeFormat = QStringLiteral("HH:mm");

} // namespace

AlertWindow::AlertWindow(QWidget *parent) : TDialog(parent)
{
    setObjectName(QStringLiteral("AlertWindow"));
    setWindowTitle(tr("Kestrow - 提醒设置"));
    setFixedSize(300, 260);
    backgroundColor = QColor(255, 255, 255, 225);

    placed(new QLabel(tr("标题含以下任一词才提醒:"), this), "requireLabel", 10, 35, 280, 21);
    requireEdit = placed(new QLineEdit(setting(Key::AlertRequire), this), "requireEdit", 10, 55, 280, 21);
    requireEdit->setPlaceholderText(tr("不限; 多个词用空格或逗号隔开"));
    placed(new QLabel(tr("标题含以下任一词不提醒:"), this), "excludeLabel", 10, 80, 280, 21);
    excludeEdit = placed(new QLineEdit(setting(Key::AlertExclude), this), "excludeEdit", 10, 100, 280, 21);
    excludeEdit->setPlaceholderText(tr("不限"));

    placed(new QLabel(tr("最低预算:"), this), "minPriceLabel", 10, 130, 80, 21);
    minPriceSpin = placed(new QSpinBox(this), "minPriceSpin", 90, 130, 120, 21);
    minPriceSpin->setRange(0, 100000000);
    minPriceSpin->setSingleStep(100);
    minPriceSpin->setSpecialValueText(tr("不限"));
    minPriceSpin->setSuffix(tr(" 元"));
    minPriceSpin->setValue(setting(Key::AlertMinPrice).toInt());

    const QTime start = QTime::fromString(setting(Key::QuietStart), timeFormat);
    const QTime end = QTime::fromString(setting(Key::QuietEnd), timeFormat);
    quietCheck = placed(new QCheckBox(tr("免打扰:"), this), "quietCheck", 10, 160, 80, 21);
    quietCheck->setChecked(start.isValid() && end.isValid() && start != end);
    quietStartEdit =
        placed(new QTimeEdit(start.isValid() ? start : QTime(22, 0), this), "quietStartEdit", 90, 160, 80, 21);
    placed(new QLabel(QStringLiteral("-"), this), "quietToLabel", 175, 160, 10, 21);
    quietEndEdit = placed(new QTimeEdit(end.isValid() ? end : QTime(8, 0), this), "quietEndEdit", 190, 160, 80, 21);
    for (QTimeEdit *edit : {quietStartEdit, quietEndEdit}) {
        edit->setDisplayFormat(timeFormat);
        edit->setEnabled(quietCheck->isChecked());
        connect(quietCheck, &QCheckBox::toggled, edit, &QWidget::setEnabled);
    }

    desktopCheck = placed(new QCheckBox(tr("用桌面通知代替弹窗"), this), "desktopCheck", 10, 190, 280, 21);
    desktopCheck->setChecked(setting(Key::NotifyVia) == QLatin1String("desktop"));

    auto *closeButton = placed(new QPushButton(tr("关闭"), this), "closePushButton", 120, 228, 60, 21);
    connect(closeButton, &QPushButton::clicked, this, &AlertWindow::onClose);
}

void AlertWindow::onClose()
{
    close();
}

void AlertWindow::closeEvent(QCloseEvent *event)
{
    // Stored as the user typed them, words joined by single spaces.
    setSetting(Key::AlertRequire, AlertRules::words(requireEdit->text()).join(QLatin1Char(' ')));
    setSetting(Key::AlertExclude, AlertRules::words(excludeEdit->text()).join(QLatin1Char(' ')));
    setSetting(Key::AlertMinPrice, QString::number(minPriceSpin->value()));
    const bool quiet = quietCheck->isChecked();
    setSetting(Key::QuietStart, quiet ? quietStartEdit->time().toString(timeFormat) : QString());
    setSetting(Key::QuietEnd, quiet ? quietEndEdit->time().toString(timeFormat) : QString());
    setSetting(Key::NotifyVia, desktopCheck->isChecked() ? QStringLiteral("desktop") : QStringLiteral("popup"));
    event->accept();
}
