#include "ui/configwindow.h"

#include "core/paths.h"
#include "platform/platform.h"
#include "store/settings.h"
#include "ui/kit/placed.h"
#include "ui/kit/tlinkbutton.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {

// The interval entries and the "scan_interval" values they stand for.
const std::chrono::seconds intervals[] = {std::chrono::seconds(30), std::chrono::seconds(60),
                                          std::chrono::seconds(180)};

// The language entries and the "language" values they stand for.
const QStringList languages = {QString(), QStringLiteral("zh"), QStringLiteral("en")};

} // namespace

ConfigWindow::ConfigWindow(QWidget *parent) : TDialog(parent)
{
    setObjectName(QStringLiteral("ConfigWindow"));
    setWindowTitle(tr("Kestrow - 设置"));
    setFixedSize(250, 200);
    backgroundColor = QColor(255, 255, 255, 225);

    autostartCheck = placed(new QCheckBox(tr("开机启动"), this), "autostartCheck", 10, 40, 80, 21);
    autostartCheck->setChecked(isAutostart());
    soundCheck = placed(new QCheckBox(tr("播放提示声音"), this), "soundCheck", 95, 40, 185, 21);
    soundCheck->setChecked(Key::EnableSound.value());

    intervalLabel = placed(new QLabel(tr("任务更新时间:"), this), "intervalLabel", 10, 70, 80, 21);
    intervalCombo = placed(new QComboBox(this), "intervalCombo", 90, 70, 150, 21);
    intervalCombo->addItems({tr("快速 - 30 秒"), tr("较快 - 1分钟"), tr("默认 - 3分钟")});
    const auto interval = std::find(std::cbegin(intervals), std::cend(intervals), Key::ScanInterval.value());
    if (interval != std::cend(intervals))
        intervalCombo->setCurrentIndex(int(interval - std::cbegin(intervals)));

    retentionLabel = placed(new QLabel(tr("自动删除早于此时间的历史任务:"), this), "retentionLabel", 10, 100, 180, 21);
    retentionSpin = placed(new QSpinBox(this), "retentionSpin", 190, 100, 50, 21);
    retentionSpin->setSuffix(tr("天"));
    retentionSpin->setRange(1, 30);
    retentionSpin->setValue(Key::HistoryDays.value());

    fontLabel = placed(new QLabel(tr("界面字体:"), this), "fontLabel", 10, 130, 60, 21);
    fontCombo = placed(new QFontComboBox(this), "fontCombo", 70, 130, 120, 21);
    fontCombo->setWritingSystem(QFontDatabase::SimplifiedChinese);
    fontCombo->setFontFilters(QFontComboBox::ScalableFonts);
    // The list holds Chinese scalable fonts only; an interface font outside it (Debian's "Sans Serif") is shown as
    // the first entry, so that closing the window keeps it instead of switching to whatever comes first.
    const QString family = QApplication::font().family();
    if (fontCombo->currentText() != family) {
        fontCombo->insertItem(0, family);
        fontCombo->setCurrentIndex(0);
    }
    defaultFontButton = placed(new QPushButton(tr("默认"), this), "defaultFontButton", 195, 130, 45, 21);
    connect(defaultFontButton, &QPushButton::clicked, this, &ConfigWindow::onDefaultFont);

    // The interface's language, taken at the next start; named in both languages, so that it is found in either.
    languageCombo = placed(new QComboBox(this), "languageCombo", 10, 170, 80, 21);
    languageCombo->addItems({tr("跟随系统"), QStringLiteral("中文"), QStringLiteral("English")});
    languageCombo->setToolTip(QStringLiteral("界面语言 / Language"));
    languageCombo->setAccessibleName(QStringLiteral("界面语言 / Language"));
    languageCombo->setCurrentIndex(int(languages.indexOf(Key::Language.value())));

    closePushButton = placed(new QPushButton(tr("关闭"), this), "closePushButton", 95, 170, 60, 21);
    connect(closePushButton, &QPushButton::clicked, this, &ConfigWindow::onClose);

    // Below the fixed controls, in the free corner: the alert settings.
    auto *alertLink = placed(new TLinkButton(this), "alertLink", 175, 172, 70, 18);
    alertLink->setText(tr("提醒设置..."));
    connect(alertLink, &TLinkButton::clicked, this, &ConfigWindow::openAlertWindow);
}

ConfigWindow::~ConfigWindow()
{
    trimWorkingSet();
}

bool ConfigWindow::isAutostart()
{
    return Platform::isAutostart(QCoreApplication::applicationFilePath());
}

void ConfigWindow::setAutostart(bool on)
{
    Platform::setAutostart(on, QCoreApplication::applicationFilePath());
}

void ConfigWindow::onDefaultFont()
{
    QFont font = QApplication::font();
    font.setFamily(Key::DefaultFont.value());
    fontCombo->setCurrentFont(font);
}

void ConfigWindow::onClose()
{
    close();
}

void ConfigWindow::closeEvent(QCloseEvent *event)
{
    setAutostart(autostartCheck->isChecked());
    Key::EnableSound.setValue(soundCheck->isChecked());
    const int index = intervalCombo->currentIndex();
    if (index >= 0 && index < int(std::size(intervals)))
        Key::ScanInterval.setValue(intervals[index]);
    Key::HistoryDays.setValue(retentionSpin->value());
    Key::Language.setValue(languages.value(languageCombo->currentIndex()));
    QFont font = QApplication::font();
    font.setFamily(fontCombo->currentFont().family());
    Key::CurrentFont.setValue(font.family());
    QApplication::setFont(font);
    event->accept();
}
