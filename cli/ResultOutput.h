#pragma once

#include "archive/ArchiveDatabase.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tessaly::cli {

// How `search` prints its results.
enum class ResultFormat { Text, Json, Csv };

// The names of the base SELECT's eight columns, in its order.
QStringList resultColumnNames();

// One line a result: ID, media and title, separated by tabs.
QString resultsAsText(const QList<SqlRow>& rows);
// An array of objects keyed by the column names; a NULL or missing column is null.
QString resultsAsJson(const QList<SqlRow>& rows);
// A header line of the column names, then a line a result; a field holding a
// comma, a double quote or a line break is quoted, its quotes doubled.
QString resultsAsCsv(const QList<SqlRow>& rows);

} // namespace tessaly::cli
