#include "store/query.h"

#include "store/database.h"

#include <QDateTime>
#include <sqlite3.h>

Query::Query(Database &db) : m_db(db) {}

Query::Query(Database &db, const QString &sql) : m_db(db)
{
    prepare(sql);
}

Query::~Query()
{
    finalize();
}

bool Query::prepare(const QString &sql)
{
    finalize();
    if (!m_db.handle())
        return false;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db.handle(), text.constData(), int(text.size()), &m_statement, nullptr) != SQLITE_OK) {
        finalize();
        return false;
    }
    return m_statement != nullptr;
}

void Query::bind(const QVariant &value)
{
    if (!m_statement)
        return;
    const int index = m_position + 1;
    // Date and time values are bound as 64-bit seconds: the same numbers as before 2038, and still right after it.
    switch (value.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int(m_statement, index, value.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
        sqlite3_bind_int(m_statement, index, value.toInt());
        break;
    case QMetaType::UInt:
        sqlite3_bind_int(m_statement, index, int(value.toUInt()));
        break;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        sqlite3_bind_int64(m_statement, index, value.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_bind_double(m_statement, index, value.toDouble());
        break;
    case QMetaType::QString: {
        const QByteArray utf8 = value.toString().toUtf8();
        sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(m_statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QDate:
        sqlite3_bind_int64(m_statement, index, value.toDate().startOfDay().toSecsSinceEpoch());
        break;
    case QMetaType::QTime:
        sqlite3_bind_int64(m_statement, index, QDateTime(QDate::currentDate(), value.toTime()).toSecsSinceEpoch());
        break;
    case QMetaType::QDateTime:
        sqlite3_bind_int64(m_statement, index, value.toDateTime().toSecsSinceEpoch());
        break;
    default:
        return;
    }
    ++m_position;
}

bool Query::exec()
{
    if (!m_statement)
        return false;
    // Always the first step: a statement run before starts over, with its bindings kept.
    sqlite3_reset(m_statement);
    m_failed = false;
    switch (sqlite3_step(m_statement)) {
    case SQLITE_ROW:
        m_state = State::Pending;
        return true;
    case SQLITE_DONE:
        m_state = State::Done;
        return true;
    default:
        m_failed = true;
        m_state = State::Done;
        return false;
    }
}

bool Query::exec(const QString &sql)
{
    if (!sql.isEmpty() && !prepare(sql))
        return false;
    return exec();
}

bool Query::next()
{
    switch (m_state) {
    case State::Done:
        return false;
    case State::Pending:
        m_state = State::OnRow;
        return true;
    case State::OnRow:
        break;
    }
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    m_failed = rc != SQLITE_DONE;
    m_state = State::Done;
    return false;
}

QByteArrayView Query::bytes(int column) const
{
    if (m_state == State::Done || column < 0 || column >= sqlite3_column_count(m_statement))
        return {};
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_statement, column));
}

QVariant Query::value(int column) const
{
    if (m_state == State::Done || column < 0 || column >= sqlite3_column_count(m_statement))
        return QVariant();
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, column));
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_statement, column)));
    }
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
        return QVariant(QByteArray(bytes, sqlite3_column_bytes(m_statement, column)));
    }
    default:
        return QVariant();
    }
}

void Query::reset()
{
    if (m_statement) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    m_position = 0;
    m_state = State::Done;
    m_failed = false;
}

void Query::finalize()
{
    if (m_statement)
        sqlite3_finalize(m_statement);
    m_statement = nullptr;
    m_position = 0;
    m_state = State::Done;
    m_failed = false;
}
