#include "core/nodestatus.h"

#include <QCoreApplication>
#include <QDateTime>

QString NodeStatus::describe(const HealthThresholds &thresholds) const
{
    const auto when = [](qint64 seconds) {
        return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    };
    QStringList lines;
    switch (health(thresholds)) {
    case Health::Failing:
        lines << QCoreApplication::translate("NodeStatus", "连续%1次获取失败").arg(failures);
        break;
    case Health::Broken:
        lines << QCoreApplication::translate("NodeStatus", "连续%1次未找到任务, 页面或标记可能已改变").arg(emptyPasses);
        break;
    case Health::Ok:
        return QString();
    }
    if (!lastError.isEmpty())
        lines << QCoreApplication::translate("NodeStatus", "最后错误: %1").arg(lastError);
    if (since > 0)
        lines << QCoreApplication::translate("NodeStatus", "开始于: %1").arg(when(since));
    lines << (lastGood > 0 ? QCoreApplication::translate("NodeStatus", "上次正常: %1").arg(when(lastGood))
                           : QCoreApplication::translate("NodeStatus", "从未正常"));
    return lines.join(QLatin1Char('\n'));
}

void registerNodeStatusTypes()
{
    qRegisterMetaType<NodeStatus>("NodeStatus");
    qRegisterMetaType<QList<NodeStatus>>("QList<NodeStatus>");
}
