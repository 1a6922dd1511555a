#include "store/storehealth.h"

#include "store/storelog.h"

#include <QCoreApplication>

StoreHealth *StoreHealth::instance()
{
    // Made on first use and kept until exit; it lives on the GUI thread so its signals reach the GUI queued.
    static StoreHealth *health = [] {
        auto *object = new StoreHealth;
        if (QCoreApplication::instance())
            object->moveToThread(QCoreApplication::instance()->thread());
        return object;
    }();
    return health;
}

void StoreHealth::reportFailure(const QString &problem)
{
    qCDebug(lcStore).noquote() << "store failure:" << problem;
    {
        QMutexLocker locker(&mutex);
        if (current == problem)
            return;
        current = problem;
    }
    emit problemChanged(problem);
}

void StoreHealth::reportSuccess()
{
    {
        QMutexLocker locker(&mutex);
        if (current.isEmpty())
            return;
        current.clear();
    }
    qCDebug(lcStore) << "storing works again";
    emit problemChanged(QString());
}

QString StoreHealth::problem() const
{
    QMutexLocker locker(&mutex);
    return current;
}

void StoreHealth::refuseWrites(const QString &path, const QString &reason)
{
    qCDebug(lcStore).noquote() << "no longer written:" << path << reason;
    QMutexLocker locker(&mutex);
    refusals.insert(path, reason);
}

QString StoreHealth::writeRefusal(const QString &path) const
{
    QMutexLocker locker(&mutex);
    return refusals.value(path);
}
