#pragma once

// What the application's tests share: the fixture, Qt's file classes and small
// helpers for files and archive rows.
#include "AppFixture.h"
#include "archive/ArchiveDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

using namespace tessaly;
using tessaly::test::AppFixture;

namespace apptest {

// Writes a file, making its folder first.
inline void writeFile(const QString& file, const QByteArray& bytes = "picture") {
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << file.toStdString();
    f.write(bytes);
}

inline QByteArray readFile(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

// The first column of every row a statement gives, NULL as "<null>".
inline QStringList column(ArchiveDatabase& db, const QString& sql, const QVariantList& values = {}) {
    QStringList result;
    const SqlResult done = db.run(sql, values, [&](const SqlRow& row) {
        result << (row.isNull(0) ? QStringLiteral("<null>") : row.value(0));
        return 0;
    });
    EXPECT_TRUE(done.ok()) << done.message.toStdString();
    return result;
}

// The names of the accounts in the preferences' table, in order.
inline QStringList accountNames(const TSAppState& state) {
    QStringList names;
    for (const auto& row : state.accountRows)
        names << row.accountName();
    return names;
}

} // namespace apptest
