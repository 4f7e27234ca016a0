#pragma once

// What the application's tests share: the fixture and small helpers for files and archive rows.
#include "AppFixture.h"
#include "archive/ArchiveDatabase.h"
#include "search/SearchController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

using namespace tessaly;
using tessaly::test::AppFixture;

namespace apptest {

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

// One account, anna, under loc/ with its web address (unless cleared first),
// started on its archive; numbers are shown the English way.
class ArchiveTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        pix = path("loc/anna_pix");
        startWithAccount(pix, webAddresses);
        c = &app->controls();
    }
    // A record of these columns; the others are NULL.
    void insert(const QVariantMap& columns) {
        const QString sql = QString("INSERT INTO photos (%1) VALUES(%2)")
                                .arg(columns.keys().join(','), QStringList(columns.size(), "?").join(','));
        ASSERT_TRUE(app->database().run(sql, columns.values()).ok());
    }
    // Every record (or those of a quick search), sorted by this item, ascending.
    void searchAll(const QString& sortTitle, const QString& quick = {}) {
        auto& s = app->search().controls();
        s.quickSearch->setStringValue(quick);
        s.sortButton->selectItemWithTitle(sortTitle);
        s.sortMatrix->selectCellAtRow(1);
        s.searchButton->performClick();
    }

    QStringList webAddresses = {"https://www.flickr.com/photos/anna"};
    QString pix;
    TSControls* c = nullptr;
};

inline QStringList accountNames(const TSAppState& state) {
    QStringList names;
    for (const auto& row : state.accountRows)
        names << row.accountName();
    return names;
}

} // namespace apptest

using apptest::ArchiveTest;
