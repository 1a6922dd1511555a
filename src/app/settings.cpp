#include "settings.h"

#include "userdb.h"

#include <QApplication>
#include <QFont>
#include <QHash>
#include <QMutex>
#include <QReadWriteLock>

#include <memory>

namespace {

QHash<QString, QString> settingsCache;
QReadWriteLock settingsLock(QReadWriteLock::NonRecursive);
// The store's own connection, shared by all threads; the user database layer serialises its use.
std::unique_ptr<UserDb> settingsDb;
// Orders concurrent writes so that the cache ends with the value the database ends with. Always taken first and
// never while settingsLock or the user database lock is held, so it cannot deadlock with them.
QMutex settingsWriteMutex;

void fillDefault(const QString &key, const QString &defaultValue)
{
    if (setting(key).isEmpty())
        setSetting(key, defaultValue);
}

} // namespace

QString setting(const QString &key, const QString &defaultValue)
{
    {
        QReadLocker locker(&settingsLock);
        const auto found = settingsCache.constFind(key);
        if (found != settingsCache.constEnd())
            return *found;
    }
    return fetchSetting(key, defaultValue);
}

QString fetchSetting(const QString &key, const QString &defaultValue)
{
    const QString value = settingsDb ? settingsDb->config(key, defaultValue) : defaultValue;
    // A value another thread stored while we read is at least as new as ours: keep it.
    QWriteLocker locker(&settingsLock);
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
    QWriteLocker locker(&settingsLock);
    settingsCache.insert(key, value);
}

void loadSettings()
{
    if (!settingsDb)
        settingsDb = std::make_unique<UserDb>();
    fillDefault(QStringLiteral("enable_sound"), QStringLiteral("true"));
    fillDefault(QStringLiteral("scan_interval"), QString::number(180));
    fillDefault(QStringLiteral("default_font"), QApplication::font().family());
    fillDefault(QStringLiteral("db_vacuum_interval"), QStringLiteral("3"));
    const QString currentFont = setting(QStringLiteral("current_font"));
    if (!currentFont.isEmpty()) {
        QFont font = QApplication::font();
        font.setFamily(currentFont);
        QApplication::setFont(font);
    }
}

void resetSettingsStore()
{
    settingsDb.reset();
    QWriteLocker locker(&settingsLock);
    settingsCache.clear();
}
