#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>

// The operating-system services the program uses, behind one small interface.
namespace Platform {

// The user's local (non-roaming) application-data folder; empty when it cannot be determined.
QString localDataRoot();

// The folder that holds the running executable.
QString programDirectory();

// Process-wide settings made once at start: a write beyond the file size limit (RLIMIT_FSIZE) fails like a full disk,
// which is reported, instead of killing the program.
void prepareProcess();

// How readSmallFile() went.
enum class FileRead { Ok, Unreadable, NotAFile, TooLarge };
// Reads the regular file at path whole into out when it holds at most maxBytes. Never blocks (a FIFO, a device) and
// never reads what is not a regular file (/dev/zero), so a path from elsewhere costs at most maxBytes.
FileRead readSmallFile(const QString &path, qint64 maxBytes, QByteArray &out);

// Takes every permission of the group and of others away from the file or folder at path (a folder keeps its owner's
// search permission); false when that fails. Nothing happens when they have none.
bool restrictToOwner(const QString &path);

// Hands freed heap pages back to the system.
void trimWorkingSet();

// Hints that the large buffer at data, fresh and untouched, is about to be filled at once, so the system can back it
// with large pages instead of faulting it in 4 KiB at a time. Harmless where unsupported.
void adviseLargeBuffer(void *data, size_t bytes);

// Whether the program at programPath starts at login: the desktop's autostart entry "Kestrow" runs exactly it.
bool isAutostart(const QString &programPath);
// Creates (on) or removes (off) that autostart entry; false when it could not be done.
bool setAutostart(bool on, const QString &programPath);

// Puts the calling thread into the idle scheduling class, where it runs only when nothing else wants the processor,
// but only where it can leave it again: an unprivileged Linux thread cannot, unless RLIMIT_NICE allows it. True when
// the thread is now idle.
bool lowerCurrentThread();

// While it lives, the calling thread runs in the normal scheduling class; then it goes back to the class it had.
class NormalScheduling
{
public:
    NormalScheduling();
    ~NormalScheduling();
    NormalScheduling(const NormalScheduling &) = delete;
    NormalScheduling &operator=(const NormalScheduling &) = delete;

private:
    int m_policy = -1; // the class to go back to; -1 when the thread was not moved
};

// Whether this process holds an instance, another live process does, or no lock could be made anywhere.
enum class Claim { Held, Taken, Impossible };
// Claims the per-session instance named by key: a lock in the first of folders where one can be made at all. Held
// lasts until exit; a holder that died never blocks a later claim.
Claim claimSingleInstance(const QString &key, const QStringList &folders);

// Whether the desktop's active window is full screen (X11: its _NET_WM_STATE holds _NET_WM_STATE_FULLSCREEN).
// False wherever that cannot be known, so that nothing is held back for ever.
bool activeWindowIsFullScreen();

} // namespace Platform
