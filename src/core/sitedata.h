#pragma once

#include "core/attentiondata.h"

#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

// One site of the catalogue, as the attention window and the reports show it.
struct SiteData
{
    QString site_name;
    QString site_url;
    QString site_register_url;
    QIcon favicon;
    QPixmap logo;
    QString site_info;
    QStringList node_names; // in catalogue (rowid) order
};

// A node's page address and its ten markers: table, row, url, title and price, each begin then end (none for a feed).
struct NodeRule
{
    QString node_url;
    QStringList rules;
    NodeKind kind = NodeKind::Page;
};

// What goes before and after a task's address to form the address opened in the browser.
struct OpenUrlParts
{
    QString prefix;
    QString suffix;
};

using OpenUrlTable = QHash<QString, OpenUrlParts>;
