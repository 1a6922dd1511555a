#pragma once

#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <QStringList>

// One followed node; the scan engine completes the page address and markers from the catalogue.
struct AttentionData
{
    QString site_name;
    QString note_name;
    QString node_url;
    QStringList rules;
};

// A (site name, node name) pair as the attention window hands it over for saving.
using AttentionPair = QPair<QString, QString>;

Q_DECLARE_METATYPE(AttentionData)
