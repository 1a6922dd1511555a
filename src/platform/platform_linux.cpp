#include "platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>

#include <memory>

#include <sys/mman.h>
#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace Platform {

QString localDataRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString programDirectory()
{
    return QCoreApplication::applicationDirPath();
}

void trimWorkingSet()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void adviseLargeBuffer(void *data, size_t bytes)
{
#ifdef MADV_HUGEPAGE
    const auto page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

namespace {

QString autostartFile()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation);
    return config.isEmpty() ? QString() : config + QStringLiteral("/autostart/Kestrow.desktop");
}

// The Exec value of a desktop entry: the path in double quotes, with the characters the format reserves escaped.
QString execValue(const QString &programPath)
{
    QString escaped;
    for (const QChar c : programPath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace

bool isAutostart(const QString &programPath)
{
    QFile file(autostartFile());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QString wanted = QStringLiteral("Exec=") + execValue(programPath);
    while (!file.atEnd()) {
        if (QString::fromUtf8(file.readLine()).trimmed() == wanted)
            return true;
    }
    return false;
}

bool setAutostart(bool on, const QString &programPath)
{
    const QString path = autostartFile();
    if (path.isEmpty())
        return false;
    if (!on)
        return !QFile::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Kestrow\nExec=%1\nTerminal=false\n"
                              "X-GNOME-Autostart-Delay=2\nX-KDE-autostart-after=panel\n")
                   .arg(execValue(programPath))
                   .toUtf8());
    return file.commit();
}

bool claimSingleInstance(const QString &key)
{
    static QMutex mutex;
    static std::unique_ptr<QLockFile> held; // lives until process exit, like the claim itself

    QMutexLocker locker(&mutex);
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    auto lock = std::make_unique<QLockFile>(QDir(dir).filePath(key + QStringLiteral(".lock")));
    // No age limit: a lock is stale only when the process that wrote it is gone.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        held = std::move(lock);
        return true;
    }
    // Only a live holder means another instance; a lock file we cannot write at all must not keep the
    // program from ever starting.
    return lock->error() != QLockFile::LockFailedError;
}

} // namespace Platform
