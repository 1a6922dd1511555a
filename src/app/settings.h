#pragma once

#include <QString>

// The settings store: key/value texts kept in the user database, cached in memory, callable from any thread.

// The value of key; the first value read (stored or default) is kept until the key is written.
QString setting(const QString &key, const QString &defaultValue = QString());

// Stores value under key; when the write fails the old value stays in force.
void setSetting(const QString &key, const QString &value);

// Opens the store's connection, fills in the default settings and applies the chosen interface font. Called once at
// start-up on the GUI thread, after the application object exists and before anything reads a setting.
void loadSettings();

// The miss path of setting(): reads the database and caches the result.
QString fetchSetting(const QString &key, const QString &defaultValue);

// Drops the store's connection and cache, so that the next loadSettings() starts as a new process would.
// Only for tests: no other thread may be using the store.
void resetSettingsStore();
