#pragma once

#include "ArchiveDatabase.h"

#include <QVariant>

struct sqlite3_stmt;

namespace tessaly {

// One prepared statement, kept for reuse: bind, step, reset. Values bind as
// ArchiveDatabase::run binds them (integers as integers, other values as text,
// a null QVariant as NULL).
class SqlStatement {
public:
    SqlStatement(ArchiveDatabase& database, const QString& sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    // The outcome of preparing; a statement that failed to prepare runs as that failure.
    const SqlResult& prepared() const { return m_prepared; }

    // Runs once with these values, calling back for every row (0 goes on).
    SqlResult run(const QVariantList& values, const RowCallback& callback = {});
    // Rows changed by the last run.
    int changes() const;

private:
    ArchiveDatabase& m_database;
    sqlite3_stmt* m_statement = nullptr;
    SqlResult m_prepared;
};

// A transaction on the archive: begun when made, committed by commit(),
// rolled back when dropped uncommitted.
class SqlTransaction {
public:
    explicit SqlTransaction(ArchiveDatabase& database);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;

    SqlResult commit();

private:
    ArchiveDatabase& m_database;
    bool m_open = false;
};

} // namespace tessaly
