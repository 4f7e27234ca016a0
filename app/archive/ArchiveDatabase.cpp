#include "ArchiveDatabase.h"

#include <QByteArray>

#include <sqlite3.h>

namespace tessaly {

bool SqlResult::isUniquenessViolation() const {
    return extendedCode == SQLITE_CONSTRAINT_PRIMARYKEY || extendedCode == SQLITE_CONSTRAINT_UNIQUE;
}

ArchiveDatabase::~ArchiveDatabase() { close(); }

void ArchiveDatabase::close() {
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_path.clear();
}

SqlResult ArchiveDatabase::open(const QString& path) {
    close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open(path.toUtf8().constData(), &db);
    if (rc != SQLITE_OK) {
        SqlResult result{rc, db ? sqlite3_extended_errcode(db) : rc,
                         QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc))};
        // A failed open still hands out a handle; it must be closed.
        if (db)
            sqlite3_close_v2(db);
        return result;
    }
    sqlite3_extended_result_codes(db, 1);
    // Another program reading the archive (a long search, tessaly-cli) delays
    // a write for a while instead of failing it at once.
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // Searches written by hand compare with double-quoted texts.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 1, nullptr);
    m_db = db;
    m_path = path;
    return {};
}

QString ArchiveDatabase::errorMessage() const {
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("no database is open");
}

SqlResult ArchiveDatabase::resultFor(int code) const {
    if (code == SQLITE_OK || code == SQLITE_DONE || code == SQLITE_ROW)
        return {};
    const int extended = m_db ? sqlite3_extended_errcode(m_db) : code;
    return {code & 0xff, extended, errorMessage()};
}

namespace {

struct ExecContext {
    const RowCallback* callback;
};

int execRow(void* context, int columns, char** values, char** names) {
    const auto* ctx = static_cast<ExecContext*>(context);
    SqlRow row;
    row.values.reserve(columns);
    row.nulls.reserve(columns);
    row.names.reserve(columns);
    for (int i = 0; i < columns; ++i) {
        row.values << (values[i] ? QString::fromUtf8(values[i]) : QString());
        row.nulls << (values[i] == nullptr);
        row.names << QString::fromUtf8(names[i]);
    }
    return (*ctx->callback)(row);
}

} // namespace

SqlResult ArchiveDatabase::exec(const QString& sql, const RowCallback& callback) {
    if (m_pumping)
        return busyResult();
    if (!m_db)
        return {SQLITE_MISUSE, SQLITE_MISUSE, QStringLiteral("no database is open")};
    ExecContext context{&callback};
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), callback ? execRow : nullptr,
                                &context, &error);
    SqlResult result;
    if (rc != SQLITE_OK) {
        result = {rc & 0xff, sqlite3_extended_errcode(m_db),
                  error ? QString::fromUtf8(error) : QString::fromUtf8(sqlite3_errstr(rc))};
        if (rc == SQLITE_ABORT)
            result.extendedCode = SQLITE_ABORT;
    }
    sqlite3_free(error);
    return result;
}

SqlResult ArchiveDatabase::run(const QString& sql, const QVariantList& parameters,
                               const RowCallback& callback) {
    if (m_pumping)
        return busyResult();
    if (!m_db)
        return {SQLITE_MISUSE, SQLITE_MISUSE, QStringLiteral("no database is open")};
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &statement, nullptr);
    if (rc != SQLITE_OK)
        return resultFor(rc);
    for (int i = 0; i < parameters.size(); ++i) {
        const QVariant& value = parameters[i];
        const int index = i + 1;
        if (value.isNull()) {
            sqlite3_bind_null(statement, index);
        } else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
                   value.typeId() == QMetaType::UInt || value.typeId() == QMetaType::ULongLong ||
                   value.typeId() == QMetaType::Bool) {
            sqlite3_bind_int64(statement, index, value.toLongLong());
        } else if (value.typeId() == QMetaType::Double) {
            sqlite3_bind_double(statement, index, value.toDouble());
        } else {
            const QByteArray bytes = value.toString().toUtf8();
            sqlite3_bind_text(statement, index, bytes.constData(), int(bytes.size()),
                              SQLITE_TRANSIENT);
        }
    }
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (!callback)
            continue;
        SqlRow row;
        const int columns = sqlite3_column_count(statement);
        for (int c = 0; c < columns; ++c) {
            const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
            row.values << (value ? QString::fromUtf8(value) : QString());
            row.nulls << (value == nullptr);
            row.names << QString::fromUtf8(sqlite3_column_name(statement, c));
        }
        if (callback(row) != 0) {
            sqlite3_finalize(statement);
            return {SQLITE_ABORT, SQLITE_ABORT, QStringLiteral("query aborted")};
        }
    }
    SqlResult result = resultFor(rc);
    sqlite3_finalize(statement);
    return result;
}

} // namespace tessaly

namespace tessaly {

namespace {

// Lets a statement read tables and call functions, nothing else.
int readOnlyAuthorizer(void* denied, int action, const char*, const char*, const char*,
                       const char*) {
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    default:
        *static_cast<bool*>(denied) = true;
        return SQLITE_DENY;
    }
}

const SqlResult kWriteRefused{SQLITE_READONLY, SQLITE_READONLY,
                              QStringLiteral("attempt to write a readonly database")};

} // namespace

SqlResult ArchiveDatabase::query(const QString& sql, const RowCallback& callback) {
    if (m_pumping)
        return busyResult();
    if (!m_db)
        return {SQLITE_MISUSE, SQLITE_MISUSE, QStringLiteral("no database is open")};
    bool denied = false;
    sqlite3_set_authorizer(m_db, readOnlyAuthorizer, &denied);
    QList<sqlite3_stmt*> statements;
    const auto finish = [&](const SqlResult& result) {
        for (sqlite3_stmt* statement : statements)
            sqlite3_finalize(statement);
        sqlite3_set_authorizer(m_db, nullptr, nullptr);
        return result;
    };

    const QByteArray text = sql.toUtf8();
    const char* tail = text.constData();
    const char* const end = tail + text.size();
    while (tail < end) {
        sqlite3_stmt* statement = nullptr;
        const char* next = nullptr;
        const int rc = sqlite3_prepare_v2(m_db, tail, int(end - tail), &statement, &next);
        if (rc != SQLITE_OK)
            return finish(denied ? kWriteRefused : resultFor(rc));
        tail = next;
        if (!statement) // blanks or a comment
            continue;
        statements << statement;
        if (!sqlite3_stmt_readonly(statement))
            return finish(kWriteRefused);
    }

    for (sqlite3_stmt* statement : std::as_const(statements)) {
        const int columns = sqlite3_column_count(statement);
        QStringList names;
        for (int c = 0; c < columns; ++c)
            names << QString::fromUtf8(sqlite3_column_name(statement, c));
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            if (!callback)
                continue;
            SqlRow row;
            row.names = names;
            row.values.reserve(columns);
            row.nulls.reserve(columns);
            for (int c = 0; c < columns; ++c) {
                const auto* value =
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
                row.values << (value ? QString::fromUtf8(value, sqlite3_column_bytes(statement, c))
                                     : QString());
                row.nulls << (value == nullptr);
            }
            if (callback(row) != 0)
                return finish({SQLITE_ABORT, SQLITE_ABORT, QStringLiteral("query aborted")});
        }
        if (rc != SQLITE_DONE)
            return finish(denied ? kWriteRefused : resultFor(rc));
    }
    return finish({});
}

} // namespace tessaly
