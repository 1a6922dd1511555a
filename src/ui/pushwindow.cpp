#include "ui/pushwindow.h"

#include "push/pushformat.h"
#include "push/pushsender.h"
#include "store/settings.h"
#include "ui/kit/placed.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

namespace {

// The kinds as the window names them, in PushChannel::Kind's order.
const char *const kindNames[] = {QT_TRANSLATE_NOOP("PushWindow", "企业微信群机器人"),
                                 QT_TRANSLATE_NOOP("PushWindow", "钉钉群机器人"),
                                 QT_TRANSLATE_NOOP("PushWindow", "飞书群机器人"),
                                 QT_TRANSLATE_NOOP("PushWindow", "ntfy"), QT_TRANSLATE_NOOP("PushWindow", "Webhook")};

// The address as the list shows it: without its query, where the robots keep their keys.
QString shownAddress(const QString &url)
{
    return QUrl(url).adjusted(QUrl::RemoveQuery | QUrl::RemoveUserInfo).toDisplayString();
}

} // namespace

PushWindow::PushWindow(QWidget *parent)
    : TDialog(parent), channels(Key::PushChannels.value()), tester(new PushSender({}, this))
{
    setObjectName(QStringLiteral("PushWindow"));
    setWindowTitle(tr("Kestrow - 推送到手机"));
    setFixedSize(520, 330);
    backgroundColor = QColor(255, 255, 255, 225);

    channelTable = placed(new QTableWidget(0, 4, this), "channelTable", 10, 35, 500, 112);
    channelTable->setHorizontalHeaderLabels({tr("类型"), tr("地址"), tr("启用"), tr("免打扰时也发")});
    channelTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    channelTable->setSelectionMode(QAbstractItemView::SingleSelection);
    channelTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    channelTable->verticalHeader()->hide();
    channelTable->verticalHeader()->setDefaultSectionSize(24);
    channelTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    channelTable->setWordWrap(false);
    channelTable->setColumnWidth(0, 140);
    channelTable->setColumnWidth(1, 200);
    channelTable->setColumnWidth(2, 50);
    channelTable->horizontalHeader()->setStretchLastSection(true);
    connect(channelTable, &QTableWidget::currentCellChanged, this, [this](int row) { showChannel(row); });

    addButton = placed(new QPushButton(tr("添加"), this), "addButton", 10, 150, 80, 23);
    auto *kinds = new QMenu(addButton);
    for (int kind = 0; kind < int(std::size(kindNames)); ++kind)
        connect(kinds->addAction(tr(kindNames[kind])), &QAction::triggered, this,
                [this, kind] { addChannel(PushChannel::Kind(kind)); });
    addButton->setMenu(kinds);
    removeButton = placed(new QPushButton(tr("删除"), this), "removeButton", 95, 150, 80, 23);
    connect(removeButton, &QPushButton::clicked, this, &PushWindow::removeChannel);
    testButton = placed(new QPushButton(tr("发送测试"), this), "testButton", 180, 150, 90, 23);
    connect(testButton, &QPushButton::clicked, this, &PushWindow::testChannel);

    kindLabel = placed(new QLabel(this), "kindLabel", 10, 180, 500, 21);
    placed(new QLabel(tr("地址:"), this), "urlLabel", 10, 205, 70, 21);
    urlEdit = placed(new QLineEdit(this), "urlEdit", 80, 205, 430, 21);
    secretLabel = placed(new QLabel(this), "secretLabel", 10, 230, 70, 21);
    secretEdit = placed(new QLineEdit(this), "secretEdit", 80, 230, 200, 21);
    secretEdit->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    topicLabel = placed(new QLabel(tr("主题:"), this), "topicLabel", 290, 230, 50, 21);
    topicEdit = placed(new QLineEdit(this), "topicEdit", 340, 230, 170, 21);
    enabledCheck = placed(new QCheckBox(tr("启用"), this), "enabledCheck", 10, 255, 100, 21);
    ignoreQuietCheck = placed(new QCheckBox(tr("免打扰时段也发送"), this), "ignoreQuietCheck", 120, 255, 390, 21);
    for (QLineEdit *edit : {urlEdit, secretEdit, topicEdit})
        connect(edit, &QLineEdit::textChanged, this, &PushWindow::takeForm);
    for (QCheckBox *check : {enabledCheck, ignoreQuietCheck})
        connect(check, &QCheckBox::toggled, this, &PushWindow::takeForm);
    statusLabel = placed(new QLabel(this), "statusLabel", 10, 278, 500, 21);
    statusLabel->setTextFormat(Qt::PlainText);

    auto *closeButton = placed(new QPushButton(tr("关闭"), this), "closePushButton", 230, 302, 60, 21);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    for (int row = 0; row < channels.size(); ++row) {
        channelTable->insertRow(row);
        showRow(row);
    }
    channelTable->setCurrentCell(channels.isEmpty() ? -1 : 0, 0);
    showChannel(channels.isEmpty() ? -1 : 0);
    if (channels.isEmpty())
        statusLabel->setText(tr("点“添加”选择一种推送方式: 新任务会同时发到手机。"));
}

PushWindow::~PushWindow() = default;

void PushWindow::addChannel(PushChannel::Kind kind)
{
    PushChannel channel;
    channel.kind = kind;
    channels.append(channel);
    channelTable->insertRow(int(channels.size() - 1));
    showRow(int(channels.size() - 1));
    channelTable->setCurrentCell(int(channels.size() - 1), 0);
    urlEdit->setFocus();
}

void PushWindow::removeChannel()
{
    if (current < 0)
        return;
    const int row = current;
    channels.removeAt(row);
    current = -1;
    channelTable->removeRow(row);
    showChannel(channelTable->currentRow());
}

void PushWindow::testChannel()
{
    if (current < 0)
        return;
    statusLabel->setText(tr("正在发送…"));
    const QPointer<QLabel> status = statusLabel;
    tester->sendTest(channels[current], [status](const QString &failure) {
        if (status)
            status->setText(failure.isEmpty() ? tr("已送达。") : tr("发送失败: %1").arg(failure));
    });
}

void PushWindow::showChannel(int row)
{
    current = row >= 0 && row < channels.size() ? row : -1;
    const bool any = current >= 0;
    const PushChannel channel = any ? channels[current] : PushChannel();
    loading = true;
    for (QWidget *widget : std::initializer_list<QWidget *>{urlEdit, secretEdit, topicEdit, enabledCheck,
                                                            ignoreQuietCheck, removeButton, testButton})
        widget->setEnabled(any);
    kindLabel->setText(any ? tr("类型: %1").arg(tr(kindNames[int(channel.kind)])) : QString());
    urlEdit->setText(channel.url);
    urlEdit->setCursorPosition(0);
    const bool signs = channel.kind == PushChannel::Kind::DingTalk || channel.kind == PushChannel::Kind::Feishu;
    const bool ntfy = channel.kind == PushChannel::Kind::Ntfy;
    secretLabel->setText(ntfy ? tr("访问令牌:") : tr("签名密钥:"));
    secretEdit->setPlaceholderText(tr("可选"));
    secretEdit->setText(channel.secret);
    secretEdit->setCursorPosition(0);
    for (QWidget *widget : std::initializer_list<QWidget *>{secretLabel, secretEdit})
        widget->setVisible(any && (signs || ntfy));
    topicEdit->setText(channel.topic);
    for (QWidget *widget : std::initializer_list<QWidget *>{topicLabel, topicEdit})
        widget->setVisible(any && ntfy);
    enabledCheck->setChecked(channel.enabled);
    ignoreQuietCheck->setChecked(channel.ignoreQuiet);
    loading = false;
}

void PushWindow::showRow(int row)
{
    const PushChannel &channel = channels[row];
    const QStringList texts = {tr(kindNames[int(channel.kind)]), shownAddress(channel.url),
                               channel.enabled ? tr("是") : tr("否"), channel.ignoreQuiet ? tr("是") : tr("否")};
    for (int column = 0; column < texts.size(); ++column)
        channelTable->setItem(row, column, new QTableWidgetItem(texts[column]));
}

void PushWindow::takeForm()
{
    if (loading || current < 0)
        return;
    PushChannel &channel = channels[current];
    channel.url = urlEdit->text().trimmed();
    channel.secret = secretEdit->text().trimmed();
    channel.topic = topicEdit->text().trimmed();
    channel.enabled = enabledCheck->isChecked();
    channel.ignoreQuiet = ignoreQuietCheck->isChecked();
    showRow(current);
    statusLabel->setText(channel.url.isEmpty() || PushFormat::allowedAddress(channel.url)
                             ? QString()
                             : tr("地址须以 https:// 开头 (或 http://127.0.0.1 用于测试)"));
}

void PushWindow::closeEvent(QCloseEvent *event)
{
    // A channel left without an address is no channel.
    QList<PushChannel> kept;
    for (const PushChannel &channel : std::as_const(channels)) {
        if (!channel.url.isEmpty())
            kept.append(channel);
    }
    Key::PushChannels.setValue(kept);
    event->accept();
}
