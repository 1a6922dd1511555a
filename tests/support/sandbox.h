#pragma once

#include "core/clock.h"
#include "core/paths.h"
#include "core/taskdata.h"

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>

// The tests' clock: a local time of the test's choosing (or the system's), and the waits it wants. Installed in place
// of the one before while it lives. Set it only from the test's thread between the engines' reads.
class MockClock : public Clock::Source
{
public:
    explicit MockClock(const Clock::Timing &timing) : m_timing(timing), m_replaced(Clock::install(this)) {}
    ~MockClock() override { Clock::install(m_replaced); }
    Q_DISABLE_COPY_MOVE(MockClock)
    // Clock::now() answers when from now on; an invalid time goes back to the system's.
    void setNow(const QDateTime &when) { m_now = when; }
    void setTiming(const Clock::Timing &timing) { m_timing = timing; }
    QDateTime now() const override { return m_now.isValid() ? m_now : QDateTime::currentDateTime(); }
    Clock::Timing timing() const override { return m_timing; }

private:
    QDateTime m_now;
    Clock::Timing m_timing;
    const Clock::Source *m_replaced;
};

// A private world for one test: fresh XDG data and config folders, a fresh settings store, no catalogue beside the
// program, and a clock of its own with short engine waits. The destructor puts everything back, also after a failed
// assertion.
class Sandbox
{
public:
    // A pass gives up after 2 s, one "scan_interval" second lasts 10 ms, housekeeping checks come every 300 ms and
    // retries every 200 ms, a stalled vendor fetch fails after 1 s.
    static constexpr Clock::Timing testTiming{2000, 10, 300, 200, 1000};

    explicit Sandbox(bool withSettings = true);
    ~Sandbox();
    QString root() const { return m_dir.path(); }
    // The time and the waits the program sees while the sandbox lives.
    MockClock clock{testTiming};
    QString userDbPath() const { return root() + QStringLiteral("/data/Kestrow/udb.dll"); }
    // sdb.dll beside the program: removed on entry and on exit.
    static QString catalogPath() { return appFilePath(QStringLiteral("sdb.dll")); }

private:
    QTemporaryDir m_dir; // not copyable, and so neither is the sandbox
    QByteArray m_oldData, m_oldConfig;
};

// SQL on a plain SQLite connection without the tokenizer; false (with a warning) when a statement fails.
bool rawExec(const QString &path, const QString &sql);

// Writes a catalogue row by row in the program's layout; raw() takes any SQL, for malformed rows.
class CatalogBuilder
{
public:
    explicit CatalogBuilder(const QString &path = Sandbox::catalogPath());
    // Adds a site; texts are url, info, open-address prefix and suffix, in that order.
    bool site(const QString &name, const QStringList &texts = {}, const QByteArray &favicon = {},
              const QByteArray &logo = {});
    // Adds a node, and its site when the catalogue does not have it yet.
    bool node(const QString &site, const QString &node, const QString &url, const QStringList &markers);
    // Adds a feed node: no markers, and a row in the kind table.
    bool feed(const QString &site, const QString &node, const QString &url);
    bool raw(const QString &sql) const { return rawExec(m_path, sql); }
    // SQL literals of text in the catalogue's encoding, stored as a BLOB (as keys must be) or as TEXT.
    static QString blob(const QString &text);
    static QString text(const QString &text);

private:
    QString m_path;
};

// The first column of every row, as text.
QStringList rawColumn(const QString &path, const QString &sql);

// The list markup the tests serve: <ul> table, <li> rows, href address, <b> title, <i> price.
extern const QStringList listMarkers;
// A page of that markup with one row per title, each priced "9 元" and linked to /t/<hex of the title>.
QByteArray listPage(const QStringList &titles);
// A task as the history stores it: site 站, node 节点, an address made from the title.
TaskData makeTask(const QString &title, const QString &price = QStringLiteral("100元"),
                  const QString &site = QStringLiteral("站"));
QStringList taskTitles(const QList<TaskData> &tasks);

// Writes bytes to path, making its folder; false when that fails. readFile is empty for a file it cannot read.
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// Takes the addresses handed to the desktop's opener for the schemes given, until it goes away.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    explicit UrlCatcher(const QStringList &schemes = {QStringLiteral("http"), QStringLiteral("https")});
    ~UrlCatcher() override;
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }

private:
    QStringList m_schemes;
};

// Runs body(0) … body(threads - 1) at once; false when they are not all done within timeoutMs (a deadlock).
bool runConcurrently(int threads, const std::function<void(int)> &body, int timeoutMs = 120000);
