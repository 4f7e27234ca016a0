#include "SqlStatement.h"

#include <sqlite3.h>

namespace tessaly {

namespace {

SqlResult failure(sqlite3* db, int code) {
    return {code & 0xff, db ? sqlite3_extended_errcode(db) : code,
            QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(code))};
}

void bind(sqlite3_stmt* statement, int index, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        sqlite3_bind_int64(statement, index, value.toLongLong());
        return;
    case QMetaType::Double:
        sqlite3_bind_double(statement, index, value.toDouble());
        return;
    default:
        break;
    }
    if (value.isNull()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    const QByteArray bytes = value.toString().toUtf8();
    sqlite3_bind_text(statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

} // namespace

SqlStatement::SqlStatement(ArchiveDatabase& database, const QString& sql) : m_database(database) {
    if (!database.handle()) {
        m_prepared = {SQLITE_MISUSE, SQLITE_MISUSE, QStringLiteral("no database is open")};
        return;
    }
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(database.handle(), text.constData(), int(text.size()),
                                      &m_statement, nullptr);
    if (rc != SQLITE_OK)
        m_prepared = failure(database.handle(), rc);
}

SqlStatement::~SqlStatement() { sqlite3_finalize(m_statement); }

SqlResult SqlStatement::run(const QVariantList& values, const RowCallback& callback) {
    if (!m_prepared.ok() || !m_statement)
        return m_prepared.ok() ? SqlResult{SQLITE_MISUSE, SQLITE_MISUSE, "empty statement"} : m_prepared;
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    for (int i = 0; i < values.size(); ++i)
        bind(m_statement, i + 1, values[i]);
    int rc;
    while ((rc = sqlite3_step(m_statement)) == SQLITE_ROW) {
        if (!callback)
            continue;
        SqlRow row;
        const int columns = sqlite3_column_count(m_statement);
        for (int c = 0; c < columns; ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, c));
            row.values << (text ? QString::fromUtf8(text) : QString());
            row.nulls << (text == nullptr);
            row.names << QString::fromUtf8(sqlite3_column_name(m_statement, c));
        }
        if (callback(row) != 0) {
            sqlite3_reset(m_statement);
            return {SQLITE_ABORT, SQLITE_ABORT, QStringLiteral("query aborted")};
        }
    }
    const SqlResult result = rc == SQLITE_DONE ? SqlResult{} : failure(m_database.handle(), rc);
    sqlite3_reset(m_statement);
    return result;
}

int SqlStatement::changes() const {
    return m_database.handle() ? sqlite3_changes(m_database.handle()) : 0;
}

SqlTransaction::SqlTransaction(ArchiveDatabase& database) : m_database(database) {
    m_open = database.isOpen() && database.exec(QStringLiteral("BEGIN")).ok();
}

SqlTransaction::~SqlTransaction() {
    if (m_open)
        m_database.exec(QStringLiteral("ROLLBACK"));
}

SqlResult SqlTransaction::commit() {
    if (!m_open)
        return {};
    m_open = false;
    SqlResult result = m_database.exec(QStringLiteral("COMMIT"));
    if (!result.ok())
        m_database.exec(QStringLiteral("ROLLBACK"));
    return result;
}

} // namespace tessaly
