#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One scraped task as it travels from the page to the popup and the history.
struct TaskData
{
    QString site_name;
    QString note_name;
    QString task_name;
    QString task_price;
    QString task_url;
    QString note_url;
    qint32 attr_mark = 0;

    // Identity: same address, site, node, title and price, compared exactly; note_url and attr_mark do not count.
    bool isSameTask(const TaskData &other) const;
};

Q_DECLARE_METATYPE(TaskData)

// Makes QList<TaskData> known under that name for queued signals; call before the first queued delivery.
void registerTaskListType();
