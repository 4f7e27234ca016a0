#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace tessaly::search {

// The base SELECT of every search. The result-row builder reads its columns
// by position: flickrID, title, description, url_sq, tags, latitude,
// longitude, media.
inline const QString kBaseSelect = QStringLiteral(
    "SELECT photos.flickrID,photos.title,description,url_sq,tags,latitude,longitude,media FROM "
    "photos ");

// One builder row: the selected titles of its field and operator pop-ups and
// its text.
struct SearchRow {
    QString field;
    QString op;
    QString text;
};

// The search form as the controls hold it when a search starts.
struct SearchForm {
    QString quickSearch;
    QString combination; // "all" joins with AND, anything else with OR
    std::array<SearchRow, 6> rows;
    QString takenBeginning, takenEnding;
    QString uploadBeginning, uploadEnding;
    QString lastBeginning, lastEnding;
    bool familyCheck = false;
    bool friendCheck = false;
    bool publicCheck = false;
    bool flashCheck = false;
    bool videoCheck = false;
    QString viewsOperator; // "greater than" or anything else ("<")
    QString viewsText;
    int viewsValue = 0; // the number field's integer value
    QString latlon;
    int distanceIndex = -1;
    QString sortTitle;
    int sortRow = 0; // 0 descending, anything else ascending
};

// Set titles and their IDs, entry by entry, as the sets menu last read them.
struct SetLists {
    QStringList setIDList;
    QStringList setTitleList;
};

// The distance filter that the row builder applies after the SQL has run.
struct DistanceFilter {
    bool distanceSearchOn = false;
    double searchLatitude = 0;  // degrees
    double searchLongitude = 0; // degrees
    double searchDistance = 0;  // metres
    int distanceIndex = 0;

    // A centre on the equator or the prime meridian is a place like any
    // other; only a missing centre or a zero radius filters nothing.
    bool applies() const { return distanceSearchOn && searchDistance != 0; }
    friend bool operator==(const DistanceFilter&, const DistanceFilter&) = default;
};

struct SearchSql {
    QString selectString;
    QString whereString;
    DistanceFilter distance;
    // Whether the centre text reads as exactly two numbers (an empty text
    // counts as valid: there is no centre).
    bool centreValid = true;
};

// The distance filter of a centre typed as "latitude,longitude" (a result
// row's "LAT,LON: " line may be pasted as it is) and a radius in metres.
// `valid` tells whether the centre reads as exactly two numbers.
DistanceFilter distanceFilterFor(const QString& latlon, double radius, bool* valid);
// Whether the centre lies on the Earth (the bounds themselves included).
bool centreInRange(const DistanceFilter& filter);

// The form turned into SQL text and distance-filter values.
SearchSql makeSearchSQL(const SearchForm& form, const SetLists& sets,
                        const QStringList& distanceValues);
// The condition of builder row `row` (0 to 5; "" for any other row).
QString doFieldButton(const SearchForm& form, int row, const SetLists& sets);

// A text with every double quote doubled, for use inside a "..." literal.
QString doubledQuotes(QString text);
// The leading decimal number of a text (after blanks), 0 when there is none.
double doubleValue(const QString& text);
// Whether `text` matches `pattern`, where * stands for any run of characters
// and ? for any one; letters compare case-sensitively.
bool wildcardMatch(const QString& text, const QString& pattern);
// The column a sort item's title names ("camera make" gives Make).
QString sortColumn(QString title);

} // namespace tessaly::search
