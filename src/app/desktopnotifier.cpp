#include "app/desktopnotifier.h"

#include "core/appversion.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
constexpr int shownTitles = 3;

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent) : QObject(parent) {}

bool DesktopNotifier::notify(const QList<TaskData> &tasks)
{
    // The session bus is reached only once the user chose its notifications: a start without them needs none.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (tasks.isEmpty() || !bus.isConnected() || !bus.interface()->isServiceRegistered(service))
        return false;
    if (!listening) {
        bus.connect(service, path, service, QStringLiteral("ActionInvoked"), this,
                    SLOT(onActionInvoked(uint, QString)));
        bus.connect(service, path, service, QStringLiteral("NotificationClosed"), this, SLOT(onClosed(uint, uint)));
        listening = true;
    }
    QStringList lines;
    for (qsizetype i = 0; i < qMin<qsizetype>(tasks.size(), shownTitles); ++i) {
        // The body may hold markup: titles from the web must read as text.
        lines << tasks[i].task_name.toHtmlEscaped() +
                     (tasks[i].task_price.isEmpty() ? QString()
                                                    : QStringLiteral(" (%1)").arg(tasks[i].task_price.toHtmlEscaped()));
    }
    if (tasks.size() > shownTitles)
        lines << tr("…共 %1 个新任务").arg(tasks.size());
    const QString summary = tasks.size() == 1 ? tasks[0].site_name + QStringLiteral(" - ") + tasks[0].note_name
                                              : tr("%1 个新任务").arg(tasks.size());
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    call << QStringLiteral("Kestrow") << uint(0) << appId() << summary << lines.join(QLatin1Char('\n'))
         << QStringList{QStringLiteral("default"), tr("打开")} << QVariantMap() << int(-1);
    // Asynchronous: a slow notification service must not hold up the program.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, tasks](QDBusPendingCallWatcher *call) {
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isValid())
            shown.insert(reply.value(), tasks.first());
        else
            emit refused(tasks);
        call->deleteLater();
    });
    return true;
}

void DesktopNotifier::onActionInvoked(uint id, const QString &action)
{
    const auto found = shown.constFind(id);
    if (found != shown.constEnd() && action == QLatin1String("default"))
        emit openTask(*found);
}

void DesktopNotifier::onClosed(uint id, uint)
{
    shown.remove(id);
}
