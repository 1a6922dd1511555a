#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

struct SiteData;

// The usage reports to the vendor server, sent over the report frame protocol from the update thread. code is 0
// (done, or nothing to do), 1 (network failure) or 2 (no user id yet, or a database could not be opened).

// Until the server has given this installation a user id: the channel and machine description; the answer's first
// field is stored as "uid". False with code 0 when a user id is already stored.
bool sendInstallReport(int &code);
// Once per local date: the user id and, for every catalogue site, the mask of the followed nodes. True when sent now
// or already today.
bool sendDailyRunReport(int &code);

// The decimal mask of a site's followed nodes: bit i for the i-th node in catalogue order, the first 64 only.
QByteArray nodeMask(const QStringList &nodeNames, const QSet<QString> &followed);

// The installer's channel: the trimmed UTF-8 file "channel" beside the program, empty when missing.
QString installChannel();
