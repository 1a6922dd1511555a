#pragma once

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QString>

// Whether the user's data can be stored: a failed open or write of the user database reports its problem here, and
// the next successful write clears it. Callable from any thread; the program shows the problem in its tray.
class StoreHealth : public QObject
{
    Q_OBJECT

public:
    static StoreHealth *instance();

    // problem names what failed and where, e.g. "磁盘已满: /home/u/.local/share/Kestrow".
    void reportFailure(const QString &problem);
    void reportSuccess();
    QString problem() const;
    // Nothing is written into the database file at path again while the program runs (it failed its integrity check,
    // or a newer version made it), for reason.
    void refuseWrites(const QString &path, const QString &reason);
    // Why writes into path are refused; empty when they are not.
    QString writeRefusal(const QString &path) const;

signals:
    // The problem now in force; empty once writing works again. Emitted only when it changes.
    void problemChanged(const QString &problem);

private:
    mutable QMutex mutex;
    QString current;
    QHash<QString, QString> refusals;
};
