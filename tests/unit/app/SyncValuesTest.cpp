// The values a sync stores: records from Flickr's answers, set membership and the video file chosen and named.
#include "sync/SyncValues.h"

#include <QDateTime>

#include <climits>
#include <gtest/gtest.h>

using namespace tessaly::sync;

TEST(SyncValues, APictureIsStoredAsItsRecordHoldsIt) {
    const PhotoRecord r = photoRecordFrom(
        {{"id", "5001"}, {"title", "Say \\\"cheese\\\" \"now\"\nplease"},
         {"description", QVariantMap{{"_text", "Line one\n\nLine \\\"three\\\""}}}, {"tags", "new york\nsunset"},
         {"views", "12abc"}, {"license", "x"}, {"width_o", "-3"}, {"dateupload", "2240000000"}, // after 2038
         {"lastupdate", "1307208605"}, {"latitude", "48.85"}, {"ispublic", "1"}});
    const auto local = [](qint64 seconds) {
        return QDateTime::fromSecsSinceEpoch(seconds).toString("yyyy-MM-dd HH:mm:ss");
    };
    // A backslash before a quote goes, every line break goes, quotes stay.
    EXPECT_EQ(QStringList({r.flickrID, r.title, r.description, r.tags}),
              QStringList({"5001", "Say \"cheese\" \"now\"please", "Line oneLine \"three\"", "new yorksunset"}));
    // Missing values are empty texts and zeros; a missing date is the epoch.
    EXPECT_EQ(std::tuple(r.views, r.license, r.width_o, r.ispublic, r.permcomment), std::tuple(12, 0, -3, 1, 0));
    EXPECT_TRUE(r.dateupload == local(2240000000LL) && r.lastupdate == local(1307208605LL));
    EXPECT_TRUE(r.url_o + r.geo + r.datetaken == "" && photoRecordFrom({}).dateupload == local(0));

    EXPECT_EQ(insertPhotoText(r).left(31), "INSERT INTO photos (flickrID,ow");
    EXPECT_TRUE(insertPhotoText(r).contains(",\"Say \"\"cheese\"\" \"\"now\"\"please\","));
    EXPECT_TRUE(updatePhotoText(r).endsWith("media=\"\" WHERE flickrID=\"5001\""));
}

// Set records, as stored: the sync tests.
TEST(SyncValues, ExifAndMembership) {
    const auto raw = [](const char* text) { return QVariantMap{{"_text", text}}; };
    const ExifRecord exif = exifRecordFrom(
        {QVariantMap{{"tag", "Make"}, {"raw", raw("Canon")}},
         QVariantMap{{"tag", "Flash"}, {"raw", raw("16")}, {"clean", raw("Off, Did not fire")}},
         QVariantMap{{"tag", "Lens"}}, // neither form: an empty value, not Flash's
         QVariantMap{{"tag", "Model"}, {"raw", raw("EOS \"5D\"\n")}},
         QVariantMap{{"tag", "DateTimeOriginal"}, {"raw", raw("2010:05:01 10:00:00")}}});
    EXPECT_EQ(exif.text, "Make:  Canon\n\nFlash:  Off, Did not fire\n\nLens:  \n\n"
                         "Model:  EOS \"5D\"\n\n\nDateTimeOriginal:  2010:05:01 10:00:00\n\n");
    EXPECT_EQ(QStringList({exif.make, exif.model, exif.flash, exifRecordFrom({}).text}),
              QStringList({"Canon", "EOS \"5D\"\n", "Off, Did not fire", ""}));

    // Whole ids are compared: 72157 is not one of 721570001; an id holding the separator never joins.
    const std::tuple<const char*, const char*, const char*> joins[] = {
        {"", "72157", "72157"},       {"0", "72157", "72157"},     {"721570001", "72157", "721570001,72157"},
        {"1,72157", "72157", "1,72157"}, {"72157", "72157", "72157"}, {"1,2", "1,2", "1,2"}};
    for (const auto& [before, id, after] : joins)
        EXPECT_EQ(membershipWith(before, id), after) << before << " + " << id;

    // One element or many: always a list.
    EXPECT_TRUE(asList(QVariantMap{{"id", "1"}}).size() == 1 && asList(QVariant()).isEmpty());
    EXPECT_EQ(asList(QVariantList{QVariantMap{}, QVariantMap{}}).size(), 2);
    EXPECT_TRUE(leadingInteger("  -42x") == -42 && leadingInteger("99999999999999999999") == LLONG_MAX);
}

TEST(SyncValues, TheBestVideoSizeAndTheNameItsFileTakes) {
    const auto sizes = [](const QVariant& list) { return QVariantMap{{"sizes", QVariantMap{{"size", list}}}}; };
    const auto size = [](const char* label, const char* media, int width, int height, const char* source) {
        return QVariantMap{{"label", label}, {"media", media}, {"width", QString::number(width)},
                           {"height", QString::number(height)}, {"source", source}};
    };
    const QVariantList mp4s = {size("Large", "photo", 4000, 3000, "https://x/1/9_a_b.jpg"),
                               size("Site MP4", "video", 640, 360, "https://x/photos/u/9/play/site/s1/"),
                               size("1080p", "video", 1920, 1080, "https://x/photos/u/9/play/1080p/s1/"),
                               size("720p", "video", 1280, 720, "https://x/photos/u/9/play/720p/s1/"),
                               size("Video Player", "video", 3000, 2000, "https://x/player.swf")};
    EXPECT_EQ(bestVideoSize(sizes(mp4s)).label, "1080p");
    const auto original = size("Video Original", "video", 1920, 1080, "https://x/photos/u/9/play/orig/o2/");
    EXPECT_EQ(bestVideoSize(sizes(QVariantList(mp4s) << original)).source, "https://x/photos/u/9/play/orig/o2/");
    EXPECT_TRUE(bestVideoSize(sizes(QVariantList{mp4s[0]})).source.isEmpty());
    EXPECT_EQ(bestVideoSize(sizes(mp4s[3])).label, "720p"); // one size alone comes as a map, not a list

    EXPECT_EQ(videoFileName("https://www.flickr.com/photos/anna/9/play/720p/5e3c/", "9"), "9_5e3c_720p.mp4");
    EXPECT_EQ(videoFileName("https://live.staticflickr.com/video/9/5e3c/720p.mp4?s=x", "9"), "9_720p.mp4");
    EXPECT_EQ(videoFileName("https://x/1/9_ab_orig.mp4", "9"), "9_ab_orig.mp4");
    for (const char* unusable : {"https://x/photos/u/9/play/../s/", "https://x/", ""})
        EXPECT_TRUE(videoFileName(unusable, "9").isEmpty()) << unusable;
}
