#pragma once

#include "archive/ArchiveDatabase.h"

#include <gtest/gtest.h>

namespace tessaly::test {

// Reads an archive tessaly-cli wrote, as any SQLite client would.
class CliArchive {
public:
    explicit CliArchive(const QString& path) {
        EXPECT_TRUE(m_db.open(path).ok()) << path.toStdString();
    }

    QList<SqlRow> rows(const QString& sql, const QVariantList& parameters = {}) {
        QList<SqlRow> found;
        const SqlResult result = m_db.run(sql, parameters, [&](const SqlRow& row) {
            found << row;
            return 0;
        });
        EXPECT_TRUE(result.ok()) << result.message.toStdString();
        return found;
    }
    QStringList column(const QString& sql, const QVariantList& parameters = {}) {
        QStringList values;
        for (const SqlRow& row : rows(sql, parameters))
            values << row.value(0);
        return values;
    }
    void change(const QString& sql, const QVariantList& parameters = {}) {
        const SqlResult result = m_db.run(sql, parameters);
        EXPECT_TRUE(result.ok()) << result.message.toStdString();
    }

private:
    ArchiveDatabase m_db;
};

} // namespace tessaly::test
