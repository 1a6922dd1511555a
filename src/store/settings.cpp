#include "store/settings.h"

#include "store/userdb.h"

#include <QHash>
#include <QMutex>

#include <memory>
#include <mutex>
#include <shared_mutex>

namespace {

QHash<QString, QString> settingsCache;
std::shared_mutex settingsLock;
// The store's own connection, shared by all threads; the user database layer serialises its use.
std::unique_ptr<UserDb> settingsDb;
// Orders concurrent writes so that the cache ends with the value the database ends with. Always taken first and
// never while settingsLock or the user database lock is held, so it cannot deadlock with them.
QMutex settingsWriteMutex;

// Stores value for key when the database holds no value (or an empty one) for it.
void fillDefault(const SettingKey &key, const QString &value)
{
    if (setting(QLatin1String(key.name)).isEmpty())
        setSetting(key, value);
}

} // namespace

QString setting(const QString &key, const QString &defaultValue)
{
    {
        std::shared_lock locker(settingsLock);
        const auto found = settingsCache.constFind(key);
        if (found != settingsCache.constEnd())
            return *found;
    }
    return fetchSetting(key, defaultValue);
}

QString setting(const SettingKey &key)
{
    return setting(QLatin1String(key.name), QLatin1String(key.defaultValue));
}

int positiveSetting(const SettingKey &key)
{
    bool ok = false;
    const int value = setting(key).toInt(&ok);
    return ok && value > 0 ? value : QByteArray(key.defaultValue).toInt();
}

QString fetchSetting(const QString &key, const QString &defaultValue)
{
    const QString value = settingsDb ? settingsDb->config(key, defaultValue) : defaultValue;
    // A value another thread stored while we read is at least as new as ours: keep it.
    std::unique_lock locker(settingsLock);
    auto entry = settingsCache.find(key);
    if (entry == settingsCache.end())
        entry = settingsCache.insert(key, value);
    return *entry;
}

void setSetting(const QString &key, const QString &value)
{
    QMutexLocker writeLocker(&settingsWriteMutex);
    if (!settingsDb || !settingsDb->setConfig(key, value))
        return;
    std::unique_lock locker(settingsLock);
    settingsCache.insert(key, value);
}

void setSetting(const SettingKey &key, const QString &value)
{
    setSetting(QLatin1String(key.name), value);
}

void loadSettings(const QString &systemFont)
{
    if (!settingsDb)
        settingsDb = std::make_unique<UserDb>();
    for (const SettingKey &key : {Key::EnableSound, Key::ScanInterval, Key::HistoryDays})
        fillDefault(key, QLatin1String(key.defaultValue));
    fillDefault(Key::DefaultFont, systemFont);
}

void resetSettingsStore()
{
    settingsDb.reset();
    std::unique_lock locker(settingsLock);
    settingsCache.clear();
}
