#pragma once

#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <QStringList>

// What a node's address serves: a task-list page cut by its markers, or an RSS or Atom feed of tasks.
enum class NodeKind { Page, Feed };

// One followed node; the scan engine completes the page address, markers and kind from the catalogue.
struct AttentionData
{
    QString site_name;
    QString note_name;
    QString node_url;
    QStringList rules;
    NodeKind kind = NodeKind::Page;
};

// A (site name, node name) pair as the attention window hands it over for saving.
using AttentionPair = QPair<QString, QString>;

Q_DECLARE_METATYPE(AttentionData)
