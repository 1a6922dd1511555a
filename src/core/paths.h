#pragma once

#include "platform/platform.h"

#include <QString>

// Where the program's files live, and the process-level services every part leans on.

// The program directory joined with name, or the directory itself when name is empty.
QString appFilePath(const QString &name = QString());

// The per-user data directory "Kestrow" joined with name, or the directory itself when name is empty.
// Creates the directory on first use; empty when it cannot be found or made. Safe from any thread.
QString dataFilePath(const QString &name = QString());

// The path of the per-user data directory "Kestrow", whether or not it exists or can be made.
QString dataFolder();

// Returns freed memory to the system; called when windows go away.
void trimWorkingSet();

// The session's runtime folder ($XDG_RUNTIME_DIR), or the temporary folder where there is none.
QString runtimeFolder();

// Claims the program's single instance named key (see Platform::claimSingleInstance; the data folder is the fallback).
Platform::Claim claimInstance(const QString &key);
