#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

struct sqlite3;

namespace tessaly {

// One row handed to a row callback: the column texts (UTF-8), which of them
// are NULL, and the column names.
struct SqlRow {
    QStringList values;
    QList<bool> nulls;
    QStringList names;

    int count() const { return int(values.size()); }
    QString value(int column) const { return column < values.size() ? values[column] : QString(); }
    bool isNull(int column) const { return column >= nulls.size() || nulls[column]; }
};

// Answers 0 to go on; anything else stops the statement (SQLITE_ABORT).
using RowCallback = std::function<int(const SqlRow&)>;

struct SqlResult {
    int code = 0;         // primary result code (SQLITE_OK ...)
    int extendedCode = 0; // extended code, e.g. SQLITE_CONSTRAINT_PRIMARYKEY
    QString message;      // SQLite's error message

    bool ok() const { return code == 0; }
    // A uniqueness violation of a key or UNIQUE column.
    bool isUniquenessViolation() const;
};

// The archive database connection: one per process, held by the controller.
class ArchiveDatabase {
public:
    // How long a statement waits for another connection's lock to go.
    static constexpr int kBusyTimeoutMs = 5000;

    ArchiveDatabase() = default;
    ~ArchiveDatabase();
    ArchiveDatabase(const ArchiveDatabase&) = delete;
    ArchiveDatabase& operator=(const ArchiveDatabase&) = delete;

    // Closes any held connection and opens the file (creating it when
    // missing). On failure the result carries SQLite's code and message and
    // no connection is held.
    SqlResult open(const QString& path);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }
    sqlite3* handle() const { return m_db; }

    // Runs SQL text (one or more statements), calling back for every row.
    SqlResult exec(const QString& sql, const RowCallback& callback = {});
    // Runs one statement with bound parameters (null QVariant binds NULL,
    // integers bind as integers, everything else as text).
    SqlResult run(const QString& sql, const QVariantList& parameters,
                  const RowCallback& callback = {});

    // Runs SQL text (one or more statements) that may only read: every
    // statement is prepared before any runs, and when one would change the
    // archive or the connection, nothing runs and the result is
    // SQLITE_READONLY. Searches typed by hand go through here.
    SqlResult query(const QString& sql, const RowCallback& callback = {});

    QString errorMessage() const;

private:
    SqlResult resultFor(int code) const;

    sqlite3* m_db = nullptr;
    QString m_path;
};

} // namespace tessaly
