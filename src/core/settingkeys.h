#pragma once

// Every setting kept in tb_config: its key and the value it has until one is stored. Readers and writers of a
// setting name it through this table only.
struct SettingKey
{
    const char *name;
    const char *defaultValue;
};

namespace Key {

inline constexpr SettingKey EnableSound{"enable_sound", "true"};
inline constexpr SettingKey ScanInterval{"scan_interval", "180"};   // seconds between passes
inline constexpr SettingKey HistoryDays{"db_vacuum_interval", "3"}; // days a task stays in the history
inline constexpr SettingKey DefaultFont{"default_font", ""};        // the system's font, recorded at first start
inline constexpr SettingKey CurrentFont{"current_font", ""};        // the chosen interface font; empty: the system's
inline constexpr SettingKey UseVersion{"use_version", ""};          // the version last welcomed
inline constexpr SettingKey Uid{"uid", ""};                         // the user id the vendor server gave
inline constexpr SettingKey RunDate{"run_date", ""};                // local date of the last daily run report
inline constexpr SettingKey NodeFailingPasses{"node_failing_passes", "3"}; // failed passes before a node is failing
inline constexpr SettingKey AlertRequire{"alert_require", ""};             // words a title must hold one of
inline constexpr SettingKey AlertExclude{"alert_exclude", ""};     // words that keep a task from being announced
inline constexpr SettingKey AlertMinPrice{"alert_min_price", "0"}; // the smallest budget announced; 0: any
inline constexpr SettingKey QuietStart{"quiet_start", ""};         // "HH:mm"; equal to the end or empty: never quiet
inline constexpr SettingKey QuietEnd{"quiet_end", ""};
inline constexpr SettingKey NotifyVia{"notify_via", "popup"}; // "popup", or "desktop" for the notification service
inline constexpr SettingKey NodeBrokenPasses{"node_broken_passes", "6"}; // empty answers before a node is broken

} // namespace Key
