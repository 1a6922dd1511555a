#pragma once

#include "core/alertrules.h"
#include "core/nodestatus.h"
#include "store/settingkeys.h"

#include <QString>

// The settings store: key/value texts kept in the user database, cached in memory, callable from any thread. Read and
// write settings as the typed values of the key table (Key::ScanInterval.value()); the texts below are the layer
// those stand on, and what tests use to store texts of their own.

// The value of key; the first value read (stored or default) is kept until the key is written.
QString setting(const QString &key, const QString &defaultValue = QString());
// The stored text of a setting of the key table, or its default's.
template <typename T> QString setting(const Setting<T> &key)
{
    return setting(QLatin1String(key.key), key.text(key.defaultValue));
}

// Stores value under key; when the write fails the old value stays in force.
void setSetting(const QString &key, const QString &value);
template <typename T> void setSetting(const Setting<T> &key, const QString &text)
{
    setSetting(QLatin1String(key.key), text);
}

// What belongs together, read and written as one.
AlertRules alertRules();
void setAlertRules(const AlertRules &rules);
HealthThresholds healthThresholds();

// Opens the store's connection, with an empty cache, and fills in the first-start defaults, recording systemFont as
// the default font. Called at start-up, before anything reads a setting.
void loadSettings(const QString &systemFont);
// Closes the store's connection and empties the cache: until the next loadSettings() settings read as their
// defaults and are not stored. Called once no other thread uses the store, before the statics it needs are gone.
void closeSettings();
