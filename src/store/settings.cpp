#include "store/settings.h"

#include "store/storelog.h"
#include "store/userdb.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSet>

#include <algorithm>
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

// The miss path of setting(): reads the database and caches the result.
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

// Stores text for key when the database holds no value (or an empty one) for it.
void fillDefault(const char *key, const QString &text)
{
    if (setting(QLatin1String(key)).isEmpty())
        setSetting(QLatin1String(key), text);
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

void setSetting(const QString &key, const QString &value)
{
    QMutexLocker writeLocker(&settingsWriteMutex);
    if (!settingsDb || !settingsDb->setConfig(key, value))
        return;
    std::unique_lock locker(settingsLock);
    settingsCache.insert(key, value);
}

void loadSettings(const QString &systemFont)
{
    closeSettings();
    settingsDb = std::make_unique<UserDb>();
    fillDefault(Key::EnableSound.key, Key::EnableSound.text(Key::EnableSound.defaultValue));
    fillDefault(Key::ScanInterval.key, Key::ScanInterval.text(Key::ScanInterval.defaultValue));
    fillDefault(Key::HistoryDays.key, Key::HistoryDays.text(Key::HistoryDays.defaultValue));
    fillDefault(Key::DefaultFont.key, systemFont);
}

void closeSettings()
{
    settingsDb.reset();
    std::unique_lock locker(settingsLock);
    settingsCache.clear();
}

QString storedSettingText(const char *key, const QString &defaultText)
{
    return setting(QLatin1String(key), defaultText);
}

void storeSettingText(const char *key, const QString &text)
{
    setSetting(QLatin1String(key), text);
}

void logInvalidSetting(const char *key, const QString &text)
{
    static QMutex mutex;
    static QSet<QString> told;
    QMutexLocker locker(&mutex);
    if (!told.contains(QLatin1String(key))) {
        told.insert(QLatin1String(key));
        qCDebug(lcStore).noquote() << "setting" << key << "holds" << text << "- its default is used";
    }
}

AlertRules alertRules()
{
    AlertRules rules;
    rules.require = Key::AlertRequire.value();
    rules.exclude = Key::AlertExclude.value();
    rules.minPrice = Key::AlertMinPrice.value();
    rules.quietStart = Key::QuietStart.value();
    rules.quietEnd = Key::QuietEnd.value();
    rules.channel = Key::NotifyVia.value();
    return rules;
}

void setAlertRules(const AlertRules &rules)
{
    Key::AlertRequire.setValue(rules.require);
    Key::AlertExclude.setValue(rules.exclude);
    Key::AlertMinPrice.setValue(int(rules.minPrice));
    Key::QuietStart.setValue(rules.quietStart);
    Key::QuietEnd.setValue(rules.quietEnd);
    Key::NotifyVia.setValue(rules.channel);
}

HealthThresholds healthThresholds()
{
    return {Key::NodeFailingPasses.value(), Key::NodeBrokenPasses.value()};
}

bool SettingText<bool>::read(const QString &text, bool &value)
{
    value = text == QLatin1String("true");
    return value || text == QLatin1String("false");
}

QString SettingText<bool>::write(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

bool SettingText<int>::read(const QString &text, int &value)
{
    bool ok = false;
    value = text.toInt(&ok, 10);
    return ok;
}

QString SettingText<int>::write(int value)
{
    return QString::number(value);
}

bool SettingText<std::chrono::seconds>::read(const QString &text, std::chrono::seconds &value)
{
    bool ok = false;
    value = std::chrono::seconds(text.toLongLong(&ok, 10));
    return ok;
}

QString SettingText<std::chrono::seconds>::write(std::chrono::seconds value)
{
    return QString::number(value.count());
}

bool SettingText<QTime>::read(const QString &text, QTime &value)
{
    value = QTime::fromString(text, QLatin1String(format));
    return text.isEmpty() || value.isValid();
}

QString SettingText<QTime>::write(const QTime &value)
{
    return value.isValid() ? value.toString(QLatin1String(format)) : QString();
}

bool SettingText<QSize>::read(const QString &text, QSize &value)
{
    value = QSize();
    if (text.isEmpty())
        return true;
    const QStringList parts = text.split(QLatin1Char('x'));
    bool wide = false, high = false;
    if (parts.size() == 2)
        value = QSize(parts[0].toInt(&wide), parts[1].toInt(&high));
    return wide && high;
}

QString SettingText<QSize>::write(const QSize &value)
{
    return value.isValid() ? QStringLiteral("%1x%2").arg(value.width()).arg(value.height()) : QString();
}

bool SettingText<QList<PushChannel>>::read(const QString &text, QList<PushChannel> &value)
{
    value.clear();
    for (const QJsonValue &entry : QJsonDocument::fromJson(text.toUtf8()).array()) {
        const QJsonObject object = entry.toObject();
        const auto kind = std::find(std::begin(pushKindNames), std::end(pushKindNames),
                                    object.value(QLatin1String("kind")).toString().toStdString());
        if (kind == std::end(pushKindNames) || !object.value(QLatin1String("url")).isString())
            continue;
        PushChannel channel;
        channel.kind = PushChannel::Kind(kind - std::begin(pushKindNames));
        channel.url = object.value(QLatin1String("url")).toString();
        channel.secret = object.value(QLatin1String("secret")).toString();
        channel.topic = object.value(QLatin1String("topic")).toString();
        channel.enabled = object.value(QLatin1String("enabled")).toBool(true);
        channel.ignoreQuiet = object.value(QLatin1String("ignore_quiet")).toBool(false);
        value.append(channel);
    }
    return true;
}

QString SettingText<QList<PushChannel>>::write(const QList<PushChannel> &value)
{
    QJsonArray array;
    for (const PushChannel &channel : value) {
        array.append(QJsonObject{{QStringLiteral("kind"), QLatin1String(pushKindNames[int(channel.kind)])},
                                 {QStringLiteral("url"), channel.url},
                                 {QStringLiteral("secret"), channel.secret},
                                 {QStringLiteral("topic"), channel.topic},
                                 {QStringLiteral("enabled"), channel.enabled},
                                 {QStringLiteral("ignore_quiet"), channel.ignoreQuiet}});
    }
    return value.isEmpty() ? QString() : QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

bool SettingText<QStringList>::read(const QString &text, QStringList &value)
{
    value = AlertRules::words(text);
    return true;
}

QString SettingText<QStringList>::write(const QStringList &value)
{
    return value.join(QLatin1Char(' '));
}

bool SettingText<NotifyChannel>::read(const QString &text, NotifyChannel &value)
{
    value = text == QLatin1String("desktop") ? NotifyChannel::Desktop : NotifyChannel::Popup;
    return value == NotifyChannel::Desktop || text == QLatin1String("popup");
}

QString SettingText<NotifyChannel>::write(NotifyChannel value)
{
    return value == NotifyChannel::Desktop ? QStringLiteral("desktop") : QStringLiteral("popup");
}
