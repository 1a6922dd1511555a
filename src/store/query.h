#pragma once

#include <QString>
#include <QVariant>

class Database;
struct sqlite3_stmt;

// One prepared statement with positional binding; exec() runs the first step, next() hands out rows starting
// with the one that step produced.
class Query
{
public:
    explicit Query(Database &db);
    Query(Database &db, const QString &sql);
    ~Query();
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    bool prepare(const QString &sql);
    // Binds the next positional parameter; a value of an unsupported type binds nothing.
    void bind(const QVariant &value);
    bool exec();
    bool exec(const QString &sql);
    bool next();
    // Whether the last step failed (rather than finishing): rows read so far are then not all there are.
    bool failed() const { return m_failed; }
    // The current row's column; invalid when there is no row or the column is NULL.
    QVariant value(int column) const;
    // The current row's column as UTF-8 text, straight from SQLite and valid until the next step: empty for NULL or
    // no row.
    QByteArrayView bytes(int column) const;
    // Keeps the prepared statement but clears its bindings, so the next bind() fills parameter 1 again.
    void reset();
    void finalize();

private:
    enum class State { Done, Pending, OnRow };

    Database &m_db;
    sqlite3_stmt *m_statement = nullptr;
    quint16 m_position = 0;
    State m_state = State::Done;
    bool m_failed = false;
};
