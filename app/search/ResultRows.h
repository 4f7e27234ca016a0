#pragma once

#include "SearchSql.h"
#include "StyledText.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace tessaly {

// One row of the results table: the square thumbnail's file and the
// five-line description of the picture. Never changed after creation.
class ResultsRow {
public:
    ResultsRow(const QString& squareFile, const StyledText& resultsText)
        : m_squareFile(squareFile), m_resultsText(resultsText) {}

    // The thumbnail column shows this file (or the missing-file image).
    QString squareFile() const { return m_squareFile; }
    StyledText resultsText() const { return m_resultsText; }

private:
    QString m_squareFile;
    StyledText m_resultsText;
};

namespace search {

// Distance in metres between two points along the Earth's surface
// (great circle, mean Earth radius).
double greatCircleDistance(double latitude1, double longitude1, double latitude2,
                           double longitude2);

// Whether a row with this location passes the distance filter: within the
// radius (the radius itself included), and not a picture without a location
// ("0", "0").
bool passesDistanceFilter(const DistanceFilter& filter, const QString& latitude,
                          const QString& longitude);

// The five-line text of a result row, its labels in dark grey.
StyledText resultRowText(const QString& flickrID, const QString& media, const QString& title,
                         const QString& description, const QString& tags, const QString& latitude,
                         const QString& longitude);

// One row of a search's result: the picture's ID and its table row.
struct BuiltRow {
    QString flickrID;
    ResultsRow row;
};

// The row builder: the columns of one statement row (positions as in the base
// SELECT; missing or NULL columns count as empty), or nothing when the
// distance filter drops the row.
std::optional<BuiltRow> buildResultsRow(const QStringList& columns, const DistanceFilter& filter,
                                        const QString& pixPath);

// "Found 1 picture." / "Found 1,234 pictures." with the locale's grouping.
QString foundText(qsizetype count, const QLocale& locale = QLocale());

} // namespace search
} // namespace tessaly
