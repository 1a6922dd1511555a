#include "platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QMutex>
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
