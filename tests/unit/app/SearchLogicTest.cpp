// The pure parts of the search: SQL text from the form, the row builder and
// its distance filter.
#include "search/DateFieldFormatter.h"
#include "search/ResultRows.h"
#include "search/SearchSql.h"
#include "search/ThumbnailCache.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::search;

namespace {

const QStringList kDistances = {"100.0",   "500.0",   "1000.0",   "2000.0",   "5000.0",
                                "10000.0", "20000.0", "100000.0", "1000000.0"};

// A fresh form: every row on its own field, nothing typed, joined with "all".
SearchForm freshForm() {
    SearchForm form;
    form.combination = "all";
    const QStringList fields = {"title",       "description",  "tags",
                                "camera make", "camera model", "sets"};
    for (int i = 0; i < 6; ++i)
        form.rows[i] = {fields[i], "contains", ""};
    form.viewsOperator = "greater than";
    form.sortTitle = "camera make";
    form.sortRow = 0;
    form.distanceIndex = 2;
    return form;
}

QString where(const SearchForm& form, const SetLists& sets = {}) {
    return makeSearchSQL(form, sets, kDistances).whereString;
}

} // namespace

TEST(SearchSql, BuilderClausesJoinInOrderWithOneCombiner) {
    // Tags contain beach, family only, more than 10 views, by make, newest first.
    SearchForm form = freshForm();
    form.rows[0] = {"tags", "contains", "beach"};
    form.familyCheck = true;
    form.viewsText = "10";
    form.viewsValue = 10;
    const SearchSql sql = makeSearchSQL(form, {}, kDistances);
    EXPECT_EQ(sql.whereString,
              R"(WHERE tags LIKE "%beach%" AND isfamily = 1 AND (views > 10) ORDER BY Make DESC)");
    EXPECT_EQ(sql.selectString, "SELECT photos.flickrID,photos.title,description,url_sq,tags,"
                                "latitude,longitude,media FROM photos ");
    EXPECT_FALSE(sql.distance.distanceSearchOn);

    // Nothing asked for: only the order, two blanks before it in the statement.
    const SearchSql none = makeSearchSQL(freshForm(), {}, kDistances);
    EXPECT_EQ(none.whereString, " ORDER BY Make DESC");
    EXPECT_TRUE((none.selectString + none.whereString).endsWith("FROM photos  ORDER BY Make DESC"));

    // Any other combination item joins with OR, whatever the kind of clause.
    form = freshForm();
    form.combination = "any";
    form.rows[0] = {"tags", "contains", "beach"};
    form.videoCheck = true;
    form.sortRow = 1;
    form.sortTitle = "date uploaded";
    EXPECT_EQ(where(form),
              R"(WHERE tags LIKE "%beach%" OR media = "video" ORDER BY dateupload ASC)");

    // Every check box, in their fixed order, and rows in row order.
    form = freshForm();
    form.rows[4] = {"camera model", "does not contain", "D70"};
    form.rows[1] = {"camera make", "contains", "Nikon"};
    form.familyCheck = form.friendCheck = form.publicCheck = form.flashCheck = form.videoCheck =
        true;
    EXPECT_EQ(where(form), R"(WHERE Make LIKE "%Nikon%" AND Model NOT LIKE "%D70%" AND )"
                           R"(isfamily = 1 AND isfriend = 1 AND ispublic = 1 AND )"
                           R"(Flash = "On, Fired" AND media = "video" ORDER BY Make DESC)");
}

TEST(SearchSql, ViewsNeedATextAndANonNegativeValue) {
    SearchForm form = freshForm();
    form.viewsText = "-5";
    form.viewsValue = -5;
    EXPECT_EQ(where(form), " ORDER BY Make DESC");
    form.viewsText = "0";
    form.viewsValue = 0;
    EXPECT_EQ(where(form), "WHERE (views > 0) ORDER BY Make DESC");
    form.viewsOperator = "less than";
    form.viewsText = "many"; // not a number: its value is 0
    EXPECT_EQ(where(form), "WHERE (views < 0) ORDER BY Make DESC");
    form.viewsText = "";
    EXPECT_EQ(where(form), " ORDER BY Make DESC");
}

TEST(SearchSql, QuotesAreDoubledAndWildcardsPassThrough) {
    SearchForm form = freshForm();
    form.rows[0] = {"title", "contains", "sun \"set\""};
    EXPECT_EQ(doFieldButton(form, 0, {}), R"(title LIKE "%sun ""set""%")");
    form.rows[2].text = "50%_off";
    form.rows[2].op = "does not contain";
    EXPECT_EQ(doFieldButton(form, 2, {}), R"(tags NOT LIKE "%50%_off%")");

    // A quick search looks in five columns and ignores the builder.
    form.quickSearch = "a \"b\"";
    form.sortTitle = "date taken";
    const SearchSql sql = makeSearchSQL(form, {}, kDistances);
    EXPECT_EQ(
        sql.whereString,
        R"(WHERE title LIKE "%a ""b""%" OR description LIKE "%a ""b""%" OR tags LIKE )"
        R"("%a ""b""%" OR Make LIKE "%a ""b""%" OR Model LIKE "%a ""b""%" ORDER BY datetaken DESC)");
}

TEST(SearchSql, SetTitlesStandForTheirIDs) {
    SearchForm form = freshForm();
    form.rows[5].text = "Holiday";
    const SetLists sets{{"72157", "72158", "72159"}, {"Holiday Snaps", "Summer Holiday", "Zoo"}};
    // Both titles hold the text: the first in list order wins.
    EXPECT_EQ(doFieldButton(form, 5, sets), R"(photos.setID LIKE "%72157%")");
    // Letters compare case-sensitively: searched as typed.
    form.rows[5].text = "holiday";
    EXPECT_EQ(doFieldButton(form, 5, sets), R"(photos.setID LIKE "%holiday%")");
    // The typed text may hold wildcards of its own.
    form.rows[5].text = "Z?o";
    EXPECT_EQ(doFieldButton(form, 5, sets), R"(photos.setID LIKE "%72159%")");
    // Before the sets menu ran there is nothing to look up.
    form.rows[5].text = "Zoo";
    EXPECT_EQ(doFieldButton(form, 5, {}), R"(photos.setID LIKE "%Zoo%")");
    // Lists that do not pair up are read only as far as both go.
    EXPECT_EQ(doFieldButton(form, 5, {{"72157"}, {"Holiday Snaps", "Zoo"}}),
              R"(photos.setID LIKE "%Zoo%")");
    // A title with a quote matches the text as the user typed it.
    form.rows[5].text = "Anna's \"best\"";
    EXPECT_EQ(doFieldButton(form, 5, {{"9"}, {"Anna's \"best\" of 2011"}}),
              R"(photos.setID LIKE "%9%")");

    EXPECT_TRUE(wildcardMatch("Summer Holiday", "*Hol*"));
    EXPECT_TRUE(wildcardMatch("", "**"));
    EXPECT_FALSE(wildcardMatch("Holiday", "*Holidays*"));
    EXPECT_TRUE(wildcardMatch("aXbXc", "*X?"));
}

TEST(SearchSql, DateRangesTakeTheWholeEndDayInLocalTime) {
    SearchForm form = freshForm();
    form.takenBeginning = "2011-05-01";
    form.takenEnding = "2011-05-03";
    form.uploadBeginning = "2011-01-01 08:30:00";
    form.uploadEnding = "2011-02-01 12:00:00";
    form.lastEnding = "2012-01-01"; // one end only: no clause
    form.rows[0].text = "x";
    EXPECT_EQ(
        where(form),
        R"(WHERE title LIKE "%x%" AND (datetaken >= "2011-05-01 00:00:00" AND datetaken <= )"
        R"("2011-05-03 23:59:59") AND (dateupload >= "2011-01-01 08:30:00" AND dateupload <= )"
        R"("2011-02-01 23:59:59") ORDER BY Make DESC)");
    form.lastBeginning = "2011-13-01"; // not a date: no clause either
    EXPECT_EQ(where(form).count("lastupdate"), 0);

    EXPECT_TRUE(DateFieldFormatter::isAcceptable(""));
    EXPECT_TRUE(DateFieldFormatter::isAcceptable("2011-06-04 17:30:05"));
    EXPECT_FALSE(DateFieldFormatter::isAcceptable("4 June 2011"));
    EXPECT_EQ(DateFieldFormatter::stringFromDate(*DateFieldFormatter::dateFromString("2011-06-04")),
              "2011-06-04");
}

TEST(SearchSql, CentreOfADistanceSearch) {
    SearchForm form = freshForm();
    form.latlon = "LAT,LON: 48.85,2.35"; // a result row's location line
    form.distanceIndex = 7;
    SearchSql sql = makeSearchSQL(form, {}, kDistances);
    EXPECT_TRUE(sql.centreValid);
    EXPECT_EQ(sql.distance, (DistanceFilter{true, 48.85, 2.35, 100000.0, 7}));
    EXPECT_EQ(sql.whereString, " ORDER BY Make DESC"); // not part of the SQL

    // No comma, a part that is not a number, or more than two parts: no centre.
    for (const QString text : {"48.85", "48.85,east", "48,85,2,35", ","}) {
        form.latlon = text;
        sql = makeSearchSQL(form, {}, kDistances);
        EXPECT_FALSE(sql.centreValid) << text.toStdString();
        EXPECT_FALSE(sql.distance.applies()) << text.toStdString();
    }
    form.latlon = " -33.9 , 151.2 ";
    EXPECT_EQ(makeSearchSQL(form, {}, kDistances).distance.searchLongitude, 151.2);

    // A quick search leaves no filter behind.
    form.quickSearch = "beach";
    EXPECT_EQ(makeSearchSQL(form, {}, kDistances).distance, DistanceFilter{});
}

TEST(SearchSql, SortTitlesNameColumns) {
    EXPECT_EQ(sortColumn("camera make"), "Make");
    EXPECT_EQ(sortColumn("camera model"), "Model");
    EXPECT_EQ(sortColumn("date uploaded"), "dateupload");
    EXPECT_EQ(sortColumn("date taken"), "datetaken");
    EXPECT_EQ(sortColumn("last update"), "lastupdate");
    EXPECT_EQ(sortColumn("views"), "views");
}

TEST(ResultRows, DistanceFilterKeepsTheRadiusAndDropsPicturesWithoutLocation) {
    const double paris = greatCircleDistance(48.8566, 2.3522, 51.5074, -0.1278);
    EXPECT_NEAR(paris, 343.5e3, 1e3); // Paris to London

    const double radius = greatCircleDistance(10, 10, 10.5, 10.5);
    DistanceFilter filter{true, 10, 10, radius, 0};
    EXPECT_TRUE(passesDistanceFilter(filter, "10.5", "10.5")); // exactly on the radius
    filter.searchDistance = radius - 1;
    EXPECT_FALSE(passesDistanceFilter(filter, "10.5", "10.5"));

    // 0,0 is within 1000 km of this centre but means "no location".
    const DistanceFilter nearZero{true, 0.5, 0.5, 1000000.0, 8};
    EXPECT_FALSE(passesDistanceFilter(nearZero, "0", "0"));
    EXPECT_TRUE(passesDistanceFilter(nearZero, "0", "0.1"));
    // A centre on the equator or the prime meridian filters like any other;
    // only no centre or a zero radius turns the filter off.
    for (const DistanceFilter zero : {DistanceFilter{true, 0, 2, 100, 0}, DistanceFilter{true, 48, 0, 100, 0}}) {
        EXPECT_FALSE(passesDistanceFilter(zero, "10", "10"));
        EXPECT_FALSE(passesDistanceFilter(zero, "0", "0"));
        EXPECT_TRUE(passesDistanceFilter(zero, QString::number(zero.searchLatitude), QString::number(zero.searchLongitude)));
    }
    for (const DistanceFilter off : {DistanceFilter{true, 48, 2, 0, 0}, DistanceFilter{false, 48, 2, 100, 0}})
        EXPECT_TRUE(passesDistanceFilter(off, "0", "0"));
}

TEST(ResultRows, RowTextAndThumbnailFile) {
    const auto built = buildResultsRow({"123", "Dune", "Sand\nand sea", "https://x/1/123_ab_s.jpg",
                                        "sea beach", "48.85", "2.35", "photo"},
                                       {}, "/p/anna_pix");
    ASSERT_TRUE(built);
    EXPECT_EQ(built->flickrID, "123");
    EXPECT_EQ(built->row.squareFile(), "/p/anna_pix/123_ab_s.jpg");
    const StyledText text = built->row.resultsText();
    EXPECT_EQ(text.text, "FLICKR ID: 123, Media: photo\nTITLE: Dune\nDESCRIPTION: Sand\nand sea\n"
                         "TAGS: sea beach\nLAT,LON: 48.85,2.35");
    const int title = int(text.text.indexOf("TITLE"));
    const int description = int(text.text.indexOf("DESCRIPTION"));
    const int tags = int(text.text.indexOf("TAGS"));
    const int latlon = int(text.text.indexOf("LAT,LON"));
    const auto gray = TextColor::DarkGray;
    EXPECT_EQ(text.spans, (QList<TextSpan>{{0, 9, gray},
                                           {title, 5, gray},
                                           {description, 11, gray},
                                           {tags, 4, gray},
                                           {latlon, 7, gray}}));

    // Short rows (a hand-written statement) read as empty texts; no longitude, no comma.
    const auto shortRow = buildResultsRow({"9", "", "", "", "", "51.5"}, {}, "/p");
    ASSERT_TRUE(shortRow);
    EXPECT_TRUE(shortRow->row.resultsText().text.endsWith("\nLAT,LON: 51.5"));
    EXPECT_EQ(shortRow->row.squareFile(), ""); // no file name to look for
    EXPECT_EQ(
        buildResultsRow({"9", "", "", "https://x/..", "", "", "", ""}, {}, "/p")->row.squareFile(),
        "");

    EXPECT_FALSE(
        buildResultsRow({"9", "", "", "", "", "0", "0", "photo"}, {true, 0.5, 0.5, 1e6, 8}, "/p"));
}

TEST(ResultRows, FoundCountUsesTheLocalesGrouping) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(foundText(0, english), "Found 0 pictures.");
    EXPECT_EQ(foundText(1, english), "Found 1 picture.");
    EXPECT_EQ(foundText(1234, english), "Found 1,234 pictures.");
    EXPECT_EQ(foundText(1234, QLocale(QLocale::German, QLocale::Germany)), "Found 1.234 pictures.");
}

TEST(ThumbnailCache, HoldsABoundedNumberOfImagesAtTheDisplaySize) {
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < 6; ++i) {
        files << dir.filePath(QString("%1_s.jpg").arg(i));
        QImage(150, 100, QImage::Format_RGB32).save(files.last(), "PNG");
    }
    const qsizetype perImage = 75 * 75 * 4;
    ThumbnailCache cache(2 * perImage + perImage / 2);
    for (const QString& file : files)
        EXPECT_EQ(cache.thumbnail(file).size(), QSize(75, 75));
    EXPECT_LE(cache.count(), 2);

    // A missing file shows the missing-file image, and again once it is
    // remembered; after a clear the file is looked for anew.
    const QString later = dir.filePath("later_s.jpg");
    EXPECT_EQ(cache.thumbnail(later).deviceIndependentSize(), QSizeF(32, 32));
    QImage(75, 75, QImage::Format_RGB32).save(later, "PNG");
    EXPECT_EQ(cache.thumbnail(later).deviceIndependentSize(), QSizeF(32, 32));
    cache.clear();
    EXPECT_EQ(cache.thumbnail(later).size(), QSize(75, 75));
}
