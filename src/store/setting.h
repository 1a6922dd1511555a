#pragma once

#include "core/alertrules.h"
#include "core/pushchannel.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <QTime>

#include <chrono>

// How a value is written in tb_config and read back: read() is false for a text that is no such value.
template <typename T> struct SettingText;

template <> struct SettingText<QString>
{
    static bool read(const QString &text, QString &value) { return value = text, true; }
    static QString write(const QString &value) { return value; }
};

// "true" or "false".
template <> struct SettingText<bool>
{
    static bool read(const QString &text, bool &value);
    static QString write(bool value);
};

// A decimal number.
template <> struct SettingText<int>
{
    static bool read(const QString &text, int &value);
    static QString write(int value);
};

// Whole seconds as a decimal number.
template <> struct SettingText<std::chrono::seconds>
{
    static bool read(const QString &text, std::chrono::seconds &value);
    static QString write(std::chrono::seconds value);
};

// "HH:mm"; empty for no time (an invalid QTime).
template <> struct SettingText<QTime>
{
    static constexpr const char *format = "HH:mm";
    static bool read(const QString &text, QTime &value);
    static QString write(const QTime &value);
};

// "WIDTHxHEIGHT", as "700x500"; empty for no size (an invalid QSize).
template <> struct SettingText<QSize>
{
    static bool read(const QString &text, QSize &value);
    static QString write(const QSize &value);
};

// Words separated by spaces (see AlertRules::words).
template <> struct SettingText<QStringList>
{
    static bool read(const QString &text, QStringList &value);
    static QString write(const QStringList &value);
};

// "popup" or "desktop".
template <> struct SettingText<NotifyChannel>
{
    static bool read(const QString &text, NotifyChannel &value);
    static QString write(NotifyChannel value);
};

// A JSON array of objects {"kind", "url", "secret", "topic", "enabled", "ignore_quiet"}. Always reads: an entry that is
// no channel is left out, and nothing of the text is ever logged, as it holds secrets.
template <> struct SettingText<QList<PushChannel>>
{
    static bool read(const QString &text, QList<PushChannel> &value);
    static QString write(const QList<PushChannel> &value);
};

// The text of a setting as stored, with its default; a stored text that does not read logs a line, once a key.
QString storedSettingText(const char *key, const QString &defaultText);
void storeSettingText(const char *key, const QString &text);
void logInvalidSetting(const char *key, const QString &text);

// One setting of tb_config, declared once: its key, its default, the values it may take, and what a stored text
// outside them reads as (the default, unless the setting says otherwise).
template <typename T> class Setting
{
public:
    using Valid = bool (*)(const T &);

    Setting(const char *key, T defaultValue, Valid valid = nullptr)
        : key(key), defaultValue(defaultValue), whenInvalid(defaultValue), valid(valid)
    {
    }
    Setting(const char *key, T defaultValue, T whenInvalid, Valid valid = nullptr)
        : key(key), defaultValue(defaultValue), whenInvalid(whenInvalid), valid(valid)
    {
    }

    T value() const
    {
        const QString stored = storedSettingText(key, text(defaultValue));
        T read{};
        if (SettingText<T>::read(stored, read) && (!valid || valid(read)))
            return read;
        logInvalidSetting(key, stored);
        return whenInvalid;
    }
    void setValue(const T &value) const { storeSettingText(key, text(value)); }
    static QString text(const T &value) { return SettingText<T>::write(value); }

    const char *const key;
    const T defaultValue;

private:
    const T whenInvalid;
    const Valid valid;
};
