#pragma once

#include <QString>

// The operating-system services the program uses, behind one small interface.
namespace Platform {

// The user's local (non-roaming) application-data folder; empty when it cannot be determined.
QString localDataRoot();

// The folder that holds the running executable.
QString programDirectory();

// Hands freed heap pages back to the system.
void trimWorkingSet();

// Claims the per-session instance named by key. True when this process now holds it (until exit), false when
// another live process holds it. A holder that died never blocks a later claim.
bool claimSingleInstance(const QString &key);

} // namespace Platform
