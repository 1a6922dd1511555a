#pragma once

#include <QString>

struct sqlite3;

// One SQLite connection with the character tokenizer registered; closed when destroyed.
class Database
{
public:
    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Read-only unless readWrite; create makes a missing file (with readWrite).
    bool open(const QString &path, bool readWrite, bool create);
    void close();
    bool isOpen() const { return m_handle != nullptr; }
    // Why the last open() failed (an SQLite result code: SQLITE_NOTADB for a file that is no database); 0 after one
    // that succeeded.
    int openError() const { return m_openError; }

    // Prepares, runs one step and finalizes sql; true when the step gave a row or finished.
    bool execute(const QString &sql);
    qint64 lastInsertRowid() const;

    sqlite3 *handle() const { return m_handle; }

private:
    sqlite3 *m_handle = nullptr;
    int m_openError = 0;
};
