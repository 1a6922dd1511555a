#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace Platform {

void prepareProcess()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

FileRead readSmallFile(const QString &path, qint64 maxBytes, QByteArray &out)
{
    out.clear();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return FileRead::Unreadable;
    struct stat info
    {
    };
    FileRead result = FileRead::Ok;
    if (fstat(fd, &info) != 0)
        result = FileRead::Unreadable;
    else if (!S_ISREG(info.st_mode))
        result = FileRead::NotAFile;
    else if (info.st_size > maxBytes)
        result = FileRead::TooLarge;
    if (result == FileRead::Ok) {
        // As large as the file says it is, and one byte more, which tells a file that grew since fstat: a smaller
        // array keeps the memory it had, so the buffer is never made larger than the read needs.
        out.resize(qsizetype(std::min<qint64>(info.st_size, maxBytes)) + 1);
        qsizetype total = 0;
        while (total < qsizetype(maxBytes) + 1) {
            if (total == out.size())
                out.resize(qsizetype(std::min<qint64>(qint64(out.size()) * 2, maxBytes + 1)));
            const ssize_t n = ::read(fd, out.data() + total, size_t(out.size() - total));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                result = n < 0 ? FileRead::Unreadable : FileRead::Ok;
                break;
            }
            total += n;
        }
        out.resize(total);
        if (total > maxBytes)
            result = FileRead::TooLarge;
        if (result != FileRead::Ok)
            out.clear();
    }
    ::close(fd);
    return result;
}

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

// The Exec value of a desktop entry that runs exactly programPath. Inside the double quotes '"', '`', '$' and '\'
// take a backslash and '%' is doubled (it starts field codes); then the string-value rules escape every backslash
// again and the control characters a line cannot hold.
QString execValue(const QString &programPath)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : programPath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    QString value;
    for (const QChar c : std::as_const(quoted)) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

} // namespace

bool restrictToOwner(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0)
        return false;
    const mode_t others = S_IRWXG | S_IRWXO;
    return (info.st_mode & others) == 0 || ::chmod(name.constData(), info.st_mode & 07777 & ~others) == 0;
}

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
    // TryExec: once the program is removed, the session no longer tries to start it.
    file.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Kestrow\nTryExec=%1\nExec=%2\nTerminal=false\n"
                              "X-GNOME-Autostart-Delay=2\nX-KDE-autostart-after=panel\n")
                   .arg(programPath, execValue(programPath))
                   .toUtf8());
    return file.commit();
}

namespace {

bool setCurrentPolicy(int policy)
{
    sched_param param{};
    param.sched_priority = 0;
    return pthread_setschedparam(pthread_self(), policy, &param) == 0;
}

int currentPolicy()
{
    int policy = -1;
    sched_param param{};
    return pthread_getschedparam(pthread_self(), &policy, &param) == 0 ? policy : -1;
}

// Whether a thread of this process may leave the idle class, tried once on a thread of its own.
bool canLeaveIdle()
{
    static const bool allowed = [] {
        bool ok = false;
        std::thread probe([&ok] { ok = setCurrentPolicy(SCHED_IDLE) && setCurrentPolicy(SCHED_OTHER); });
        probe.join();
        return ok;
    }();
    return allowed;
}

} // namespace

bool lowerCurrentThread()
{
    return canLeaveIdle() && setCurrentPolicy(SCHED_IDLE);
}

NormalScheduling::NormalScheduling()
{
    const int policy = currentPolicy();
    if (policy != SCHED_OTHER && policy != -1 && setCurrentPolicy(SCHED_OTHER))
        m_policy = policy;
}

NormalScheduling::~NormalScheduling()
{
    if (m_policy != -1)
        setCurrentPolicy(m_policy);
}

Claim claimSingleInstance(const QString &key, const QStringList &folders)
{
    static QMutex mutex;
    static std::unique_ptr<QLockFile> held; // lives until process exit, like the claim itself

    QMutexLocker locker(&mutex);
    for (const QString &folder : folders) {
        if (folder.isEmpty())
            continue;
        auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(key + QStringLiteral(".lock")));
        // No age limit: a lock is stale only when the process that wrote it is gone.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            held = std::move(lock);
            return Claim::Held;
        }
        if (lock->error() == QLockFile::LockFailedError)
            return Claim::Taken;
        // A folder where no lock can be made at all: the next one. Running without a lock would let every start run.
    }
    return Claim::Impossible;
}

} // namespace Platform

namespace {

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return value;
}

// The values of a 32-bit property of window; empty when it has none.
std::vector<uint32_t> property(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    std::vector<uint32_t> values;
    xcb_get_property_reply_t *reply =
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, name, type, 0, 64), nullptr);
    if (reply && reply->format == 32) {
        const auto *data = static_cast<const uint32_t *>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    free(reply);
    return values;
}

} // namespace

bool Platform::activeWindowIsFullScreen()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    bool fullScreen = false;
    if (!xcb_connection_has_error(connection)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const std::vector<uint32_t> active =
            property(connection, root, atom(connection, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
        if (!active.empty() && active[0] != XCB_WINDOW_NONE) {
            const xcb_atom_t fullScreenState = atom(connection, "_NET_WM_STATE_FULLSCREEN");
            const std::vector<uint32_t> states =
                property(connection, active[0], atom(connection, "_NET_WM_STATE"), XCB_ATOM_ATOM);
            fullScreen = std::find(states.begin(), states.end(), fullScreenState) != states.end();
        }
    }
    xcb_disconnect(connection);
    return fullScreen;
}
