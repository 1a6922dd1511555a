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

void StoreHealth::markDamaged(const QString &path)
{
    qCDebug(lcStore).noquote() << "damaged, no longer written:" << path;
    QMutexLocker locker(&mutex);
    damaged.insert(path);
}

bool StoreHealth::isDamaged(const QString &path) const
{
    QMutexLocker locker(&mutex);
    return damaged.contains(path);
}
