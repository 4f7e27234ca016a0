// The pure parts of the search: SQL text from the form, the row builder and its distance filter.
#include "search/DateFieldFormatter.h"
#include "search/ResultRows.h"
#include "search/SearchSql.h"
#include "search/ThumbnailCache.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace tessaly;
using namespace tessaly::search;

namespace {

const QStringList kDistances = {"100.0",   "500.0",   "1000.0",   "2000.0",   "5000.0",
                                "10000.0", "20000.0", "100000.0", "1000000.0"};

// A fresh form: every row on its own field, nothing typed, joined with "all", sorted by make, newest first.
SearchForm freshForm() {
    SearchForm form;
    form.combination = "all";
    const QStringList fields = {"title", "description", "tags", "camera make", "camera model", "sets"};
    for (int i = 0; i < 6; ++i)
        form.rows[i] = {fields[i], "contains", ""};
    form.viewsOperator = "greater than";
    form.sortTitle = "camera make";
    form.sortRow = 0;
    form.distanceIndex = 2;
    return form;
}

} // namespace

TEST(SearchSql, TheFormBecomesOneWhereClause) {
    using Set = std::function<void(SearchForm&)>;
    const std::pair<Set, QString> cases[] = {
        // Nothing asked for: only the order, two blanks before it in the statement.
        {[](SearchForm&) {}, " ORDER BY Make DESC"},
        // Clauses in order, joined by "all" with AND and by anything else with OR.
        {[](SearchForm& f) { f.rows[0].text = "x"; f.familyCheck = true; f.viewsText = "10"; f.viewsValue = 10; },
         R"(WHERE title LIKE "%x%" AND isfamily = 1 AND (views > 10) ORDER BY Make DESC)"},
        {[](SearchForm& f) { f.combination = "any"; f.rows[2].text = "beach"; f.videoCheck = true; f.sortRow = 1; },
         R"(WHERE tags LIKE "%beach%" OR media = "video" ORDER BY Make ASC)"},
        // Every check box, in their fixed order, and rows in row order.
        {[](SearchForm& f) {
             f.rows[4] = {"camera model", "does not contain", "D70"}; f.rows[1] = {"camera make", "contains", "Nikon"};
             f.familyCheck = f.friendCheck = f.publicCheck = f.flashCheck = f.videoCheck = true;
         },
         R"(WHERE Make LIKE "%Nikon%" AND Model NOT LIKE "%D70%" AND isfamily = 1 AND isfriend = 1 AND )"
         R"(ispublic = 1 AND Flash = "On, Fired" AND media = "video" ORDER BY Make DESC)"},
        // Views need a text and a value that is not negative; a text that is no number has the value 0.
        {[](SearchForm& f) { f.viewsText = "-5"; f.viewsValue = -5; }, " ORDER BY Make DESC"},
        {[](SearchForm& f) { f.viewsText = "0"; }, "WHERE (views > 0) ORDER BY Make DESC"},
        {[](SearchForm& f) { f.viewsOperator = "less than"; f.viewsText = "many"; },
         "WHERE (views < 0) ORDER BY Make DESC"},
        {[](SearchForm& f) { f.viewsValue = 3; }, " ORDER BY Make DESC"},
        // Quotes are doubled, wildcards pass through.
        {[](SearchForm& f) { f.rows[0].text = "sun \"set\""; },
         R"(WHERE title LIKE "%sun ""set""%" ORDER BY Make DESC)"},
        {[](SearchForm& f) { f.rows[2] = {"tags", "does not contain", "50%_off"}; },
         R"(WHERE tags NOT LIKE "%50%_off%" ORDER BY Make DESC)"},
        // A quick search looks in five columns and ignores the builder.
        {[](SearchForm& f) { f.quickSearch = "a \"b\""; f.sortTitle = "date taken"; f.rows[0].text = "x"; },
         R"(WHERE title LIKE "%a ""b""%" OR description LIKE "%a ""b""%" OR tags LIKE "%a ""b""%" OR Make LIKE )"
         R"("%a ""b""%" OR Model LIKE "%a ""b""%" ORDER BY datetaken DESC)"},
        // Date ranges take the whole end day; one end alone, or one that is no date, gives no clause.
        {[](SearchForm& f) {
             f.takenBeginning = "2011-05-01"; f.takenEnding = "2011-05-03"; f.lastEnding = "2012-01-01";
             f.uploadBeginning = "2011-01-01 08:30:00"; f.uploadEnding = "2011-02-01 12:00:00"; f.rows[0].text = "x";
         },
         R"(WHERE title LIKE "%x%" AND (datetaken >= "2011-05-01 00:00:00" AND datetaken <= "2011-05-03 23:59:59"))"
         R"( AND (dateupload >= "2011-01-01 08:30:00" AND dateupload <= "2011-02-01 23:59:59") ORDER BY Make DESC)"},
        {[](SearchForm& f) { f.lastBeginning = "2011-13-01"; f.lastEnding = "2012-01-01"; }, " ORDER BY Make DESC"},
    };
    for (const auto& [set, where] : cases) {
        SearchForm form = freshForm();
        set(form);
        const SearchSql sql = makeSearchSQL(form, {}, kDistances);
        EXPECT_EQ(sql.whereString, where);
        EXPECT_TRUE(sql.selectString == kBaseSelect && !sql.distance.distanceSearchOn) << where.toStdString();
    }

    QStringList sorted;
    for (const char* title : {"camera make", "camera model", "date uploaded", "date taken", "last update", "views"})
        sorted << sortColumn(title);
    EXPECT_EQ(sorted, QStringList({"Make", "Model", "dateupload", "datetaken", "lastupdate", "views"}));
    EXPECT_TRUE(DateFieldFormatter::isAcceptable("") && DateFieldFormatter::isAcceptable("2011-06-04 17:30:05"));
    EXPECT_FALSE(DateFieldFormatter::isAcceptable("4 June 2011"));
}

TEST(SearchSql, SetTitlesStandForTheirIDs) {
    const SetLists sets{{"72157", "72158", "72159"}, {"Holiday Snaps", "Summer Holiday", "Zoo"}};
    const struct { const char* text; SetLists sets; const char* id; } cases[] = {
        {"Holiday", sets, "72157"}, // both titles hold the text: the first in list order wins
        {"holiday", sets, "holiday"}, // letters compare case-sensitively: searched as typed
        {"Z?o", sets, "72159"},       // the typed text may hold wildcards of its own
        {"Zoo", {}, "Zoo"},           // before the sets menu ran there is nothing to look up
        {"Zoo", {{"72157"}, {"Holiday Snaps", "Zoo"}}, "Zoo"}, // lists are read only as far as both go
        {"Anna's \"best\"", {{"9"}, {"Anna's \"best\" of 2011"}}, "9"}, // a quote matches as typed
    };
    for (const auto& c : cases) {
        SearchForm form = freshForm();
        form.rows[5].text = c.text;
        EXPECT_EQ(doFieldButton(form, 5, c.sets), QString(R"(photos.setID LIKE "%%1%")").arg(c.id)) << c.text;
    }
    EXPECT_TRUE(wildcardMatch("Summer Holiday", "*Hol*") && wildcardMatch("", "**") && wildcardMatch("aXbXc", "*X?"));
    EXPECT_FALSE(wildcardMatch("Holiday", "*Holidays*"));
}

TEST(SearchSql, CentreOfADistanceSearch) {
    SearchForm form = freshForm();
    form.latlon = "LAT,LON: 48.85,2.35"; // a result row's location line
    form.distanceIndex = 7;
    SearchSql sql = makeSearchSQL(form, {}, kDistances);
    EXPECT_TRUE(sql.centreValid && sql.distance == (DistanceFilter{true, 48.85, 2.35, 100000.0, 7}));
    EXPECT_EQ(sql.whereString, " ORDER BY Make DESC"); // not part of the SQL

    // No comma, a part that is not a number, or more than two parts: no centre.
    for (const QString text : {"48.85", "48.85,east", "48,85,2,35", ","}) {
        form.latlon = text;
        sql = makeSearchSQL(form, {}, kDistances);
        EXPECT_FALSE(sql.centreValid || sql.distance.applies()) << text.toStdString();
    }
    form.latlon = " -33.9 , 151.2 ";
    EXPECT_EQ(makeSearchSQL(form, {}, kDistances).distance.searchLongitude, 151.2);

    form.quickSearch = "beach"; // a quick search leaves no filter behind
    EXPECT_EQ(makeSearchSQL(form, {}, kDistances).distance, DistanceFilter{});
}

TEST(ResultRows, DistanceFilterKeepsTheRadiusAndDropsPicturesWithoutLocation) {
    EXPECT_NEAR(greatCircleDistance(48.8566, 2.3522, 51.5074, -0.1278), 343.5e3, 1e3); // Paris to London

    const double radius = greatCircleDistance(10, 10, 10.5, 10.5);
    DistanceFilter filter{true, 10, 10, radius, 0};
    EXPECT_TRUE(passesDistanceFilter(filter, "10.5", "10.5")); // exactly on the radius
    filter.searchDistance = radius - 1;
    EXPECT_FALSE(passesDistanceFilter(filter, "10.5", "10.5"));

    // 0,0 is within 1000 km of this centre but means "no location".
    const DistanceFilter nearZero{true, 0.5, 0.5, 1000000.0, 8};
    EXPECT_TRUE(!passesDistanceFilter(nearZero, "0", "0") && passesDistanceFilter(nearZero, "0", "0.1"));
    // A centre on the equator or the prime meridian filters like any other;
    // only no centre or a zero radius turns the filter off.
    for (const DistanceFilter zero : {DistanceFilter{true, 0, 2, 100, 0}, DistanceFilter{true, 48, 0, 100, 0}}) {
        EXPECT_FALSE(passesDistanceFilter(zero, "10", "10") || passesDistanceFilter(zero, "0", "0"));
        EXPECT_TRUE(passesDistanceFilter(zero, QString::number(zero.searchLatitude),
                                         QString::number(zero.searchLongitude)));
    }
    for (const DistanceFilter off : {DistanceFilter{true, 48, 2, 0, 0}, DistanceFilter{false, 48, 2, 100, 0}})
        EXPECT_TRUE(passesDistanceFilter(off, "0", "0"));
}

TEST(ResultRows, RowTextThumbnailFileAndFoundCount) {
    const auto built = buildResultsRow(
        {"123", "Dune", "Sand\nand sea", "https://x/1/123_ab_s.jpg", "sea beach", "48.85", "2.35", "photo"}, {},
        "/p/anna_pix");
    ASSERT_TRUE(built);
    EXPECT_TRUE(built->flickrID == "123" && built->row.squareFile() == "/p/anna_pix/123_ab_s.jpg");
    const StyledText text = built->row.resultsText();
    EXPECT_EQ(text.text, "FLICKR ID: 123, Media: photo\nTITLE: Dune\nDESCRIPTION: Sand\nand sea\n"
                         "TAGS: sea beach\nLAT,LON: 48.85,2.35");
    QList<TextSpan> spans;
    for (const QString label : {"FLICKR ID", "TITLE", "DESCRIPTION", "TAGS", "LAT,LON"})
        spans.append({int(text.text.indexOf(label)), int(label.size()), TextColor::DarkGray});
    EXPECT_TRUE(spans[0].start == 0 && text.spans == spans);

    // Short rows (a hand-written statement) read as empty texts; no longitude, no comma.
    const auto shortRow = buildResultsRow({"9", "", "", "", "", "51.5"}, {}, "/p");
    ASSERT_TRUE(shortRow);
    EXPECT_TRUE(shortRow->row.resultsText().text.endsWith("\nLAT,LON: 51.5") && shortRow->row.squareFile() == "");
    EXPECT_EQ(buildResultsRow({"9", "", "", "https://x/..", "", "", "", ""}, {}, "/p")->row.squareFile(), "");
    EXPECT_FALSE(buildResultsRow({"9", "", "", "", "", "0", "0", "photo"}, {true, 0.5, 0.5, 1e6, 8}, "/p"));

    // The count uses the locale's grouping (0, 1 and 2 pictures: SearchTest).
    EXPECT_EQ(foundText(1234, QLocale(QLocale::English, QLocale::UnitedStates)), "Found 1,234 pictures.");
    EXPECT_EQ(foundText(1234, QLocale(QLocale::German, QLocale::Germany)), "Found 1.234 pictures.");
}

TEST(ThumbnailCache, HoldsABoundedNumberOfImagesAtTheDisplaySize) {
    QTemporaryDir dir;
    const qsizetype perImage = 75 * 75 * 4;
    ThumbnailCache cache(2 * perImage + perImage / 2);
    for (int i = 0; i < 6; ++i) {
        const QString file = dir.filePath(QString("%1_s.jpg").arg(i));
        QImage(150, 100, QImage::Format_RGB32).save(file, "PNG");
        EXPECT_EQ(cache.thumbnail(file).size(), QSize(75, 75));
    }
    EXPECT_LE(cache.count(), 2);
    // A missing file shows the missing-file image, and again once it is remembered; after a clear it is looked for.
    const QString later = dir.filePath("later_s.jpg");
    const QSizeF missing = cache.thumbnail(later).deviceIndependentSize();
    QImage(75, 75, QImage::Format_RGB32).save(later, "PNG");
    EXPECT_TRUE(missing == QSizeF(32, 32) && cache.thumbnail(later).deviceIndependentSize() == missing);
    cache.clear();
    EXPECT_EQ(cache.thumbnail(later).size(), QSize(75, 75));
}
