#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

struct sqlite3;

namespace tessaly {

class StatementWatch;

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

    // True while a long statement lets the event loop run (StatementWatch):
    // then nothing else may use the connection, and exec(), run() and
    // query() refuse with SQLITE_BUSY.
    bool isBusy() const { return m_pumping; }
    // Runs `call` now, or when the statement that keeps the archive busy has
    // ended (unless `context` is gone by then), in the order asked.
    void whenFree(QObject* context, std::function<void()> call);

private:
    friend class StatementWatch;
    SqlResult resultFor(int code) const;
    SqlResult busyResult() const;

    sqlite3* m_db = nullptr;
    QString m_path;
    bool m_pumping = false;
    QList<QPair<QPointer<QObject>, std::function<void()>>> m_waiting;
};

} // namespace tessaly
