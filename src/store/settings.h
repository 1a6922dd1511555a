#pragma once

#include "core/settingkeys.h"

#include <QString>

// The settings store: key/value texts kept in the user database, cached in memory, callable from any thread.

// The value of key; the first value read (stored or default) is kept until the key is written.
QString setting(const QString &key, const QString &defaultValue = QString());
// The value of a setting of the key table, with its default.
QString setting(const SettingKey &key);

// The value of a setting that must be a whole number above zero; its default when the stored text is not one.
int positiveSetting(const SettingKey &key);

// Stores value under key; when the write fails the old value stays in force.
void setSetting(const QString &key, const QString &value);
void setSetting(const SettingKey &key, const QString &value);

// Opens the store's connection and fills in the first-start defaults, recording systemFont as the default font.
// Called once at start-up, before anything reads a setting.
void loadSettings(const QString &systemFont);

// The miss path of setting(): reads the database and caches the result.
QString fetchSetting(const QString &key, const QString &defaultValue);

// Drops the store's connection and cache, so that the next loadSettings() starts as a new process would.
// Only for tests: no other thread may be using the store.
void resetSettingsStore();
