#include "core/paths.h"

#include "platform/platform.h"

#include <QDir>
#include <QStandardPaths>

namespace {

QString joined(const QString &dirPath, const QString &name)
{
    return name.isEmpty() ? dirPath : QDir(dirPath).filePath(name);
}

} // namespace

QString appFilePath(const QString &name)
{
    return joined(Platform::programDirectory(), name);
}

QString dataFolder()
{
    return QDir(Platform::localDataRoot()).filePath(QStringLiteral("Kestrow"));
}

QString dataFilePath(const QString &name)
{
    if (Platform::localDataRoot().isEmpty())
        return QString();
    // The XDG data folder may not exist yet on a fresh account, so the whole path is made. mkpath succeeds when
    // another thread made the directory first, so racing callers both get the path.
    const QString dirPath = dataFolder();
    if (!QDir().mkpath(dirPath))
        return QString();
    return joined(dirPath, name);
}

void trimWorkingSet()
{
    Platform::trimWorkingSet();
}

QString runtimeFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

Platform::Claim claimInstance(const QString &key)
{
    // The session's runtime folder; the data folder where no lock can be made there.
    return Platform::claimSingleInstance(key, {runtimeFolder(), dataFolder()});
}
