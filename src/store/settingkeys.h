#pragma once

#include "store/setting.h"

// Every setting kept in tb_config: its key, its default, the values it may take and its text form (see Setting).
// Readers and writers of a setting name it here only. Keys and texts are those the user database has always held.
namespace Key {

inline bool positive(const int &value)
{
    return value > 0;
}
inline bool notNegative(const int &value)
{
    return value >= 0;
}
// Above zero, and no longer than a 32-bit count of seconds (as the interval was always read): in milliseconds it
// still fits.
inline bool positiveSeconds(const std::chrono::seconds &value)
{
    return value.count() > 0 && value.count() <= 0xFFFFFFFFLL;
}

inline const Setting<bool> EnableSound{"enable_sound", true, false}; // any text but "true" is silence
// Between passes; zero would scan without pause.
inline const Setting<std::chrono::seconds> ScanInterval{"scan_interval", std::chrono::seconds(180), positiveSeconds};
inline const Setting<int> HistoryDays{"db_vacuum_interval", 3, positive}; // days a task stays in the history
inline const Setting<QString> DefaultFont{"default_font", QString()};     // the system's font, recorded at first start
inline const Setting<QString> CurrentFont{"current_font", QString()};     // the chosen font; empty: the system's
inline const Setting<QString> UseVersion{"use_version", QString()};       // the version last welcomed
inline const Setting<QString> Uid{"uid", QString()};                      // the user id the vendor server gave
inline const Setting<QString> RunDate{"run_date", QString()};             // local date of the last daily run report
inline const Setting<int> NodeFailingPasses{"node_failing_passes", 3, positive}; // failed passes: failing
inline const Setting<int> NodeBrokenPasses{"node_broken_passes", 6, positive};   // empty answers: broken
inline const Setting<QStringList> AlertRequire{"alert_require", {}};             // words a title must hold one of
inline const Setting<QStringList> AlertExclude{"alert_exclude", {}}; // words that keep a task from being announced
inline const Setting<int> AlertMinPrice{"alert_min_price", 0, notNegative}; // the smallest budget announced; 0: any
inline const Setting<QTime> QuietStart{"quiet_start", QTime()};             // equal to the end or none: never quiet
inline const Setting<QTime> QuietEnd{"quiet_end", QTime()};
inline const Setting<NotifyChannel> NotifyVia{"notify_via", NotifyChannel::Popup};
// The history window's size as the user left it; none (or one beyond any screen) opens it at its first size.
inline bool windowSize(const QSize &value)
{
    return !value.isValid() || (value.width() <= 16384 && value.height() <= 16384);
}
inline const Setting<QSize> HistoryWindowSize{"history_window_size", QSize(), windowSize};
// The interface's language, taken at start: "zh", "en", or empty for the desktop's.
inline bool languageCode(const QString &value)
{
    return value.isEmpty() || value == QLatin1String("zh") || value == QLatin1String("en");
}
inline const Setting<QString> Language{"language", QString(), languageCode};
inline const Setting<QList<PushChannel>> PushChannels{"push_channels", {}}; // none: nothing leaves for a phone

} // namespace Key
