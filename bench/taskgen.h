#pragma once

#include "core/taskdata.h"

#include <QRandomGenerator>
#include <QString>

#include <iterator>

// Generated history tasks for the benchmarks: titles of three to five words from a mixed Chinese and Latin pool.
inline const char *const benchWords[] = {"企业",   "网站", "建设", "设计", "Logo", "品牌",   "小程序", "开发", "APP",   "微信",
                             "公众号", "推广", "文案", "翻译", "视频", "剪辑",   "海报",   "包装", "产品",  "画册",
                             "UI",     "界面", "数据", "采集", "爬虫", "商城",   "系统",   "维护", "优化",  "SEO",
                             "插画",   "动画", "三维", "建模", "装修", "效果图", "名片",   "宣传", "brand", "mobile"};
inline const char *const benchSites[] = {"鹰眼众包", "蜂巢威客", "星火任务网"};

inline TaskData makeTask(QRandomGenerator &random, int serial)
{
    QString title;
    const int count = 3 + random.bounded(3);
    for (int i = 0; i < count; ++i)
        title += QString::fromUtf8(benchWords[random.bounded(int(std::size(benchWords)))]);
    title += QStringLiteral(" #%1").arg(serial);
    const QString site = QString::fromUtf8(benchSites[serial % 3]);
    return TaskData{site,
                    QStringLiteral("节点%1").arg(serial % 7),
                    title,
                    QStringLiteral("%1元").arg(100 + random.bounded(5000)),
                    QStringLiteral("http://127.0.0.1:8731/task/%1").arg(serial),
                    QStringLiteral("http://127.0.0.1:8731/list"),
                    0};
}

