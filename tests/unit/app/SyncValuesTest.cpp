#include "sync/SyncValues.h"

#include <QDateTime>

#include <gtest/gtest.h>

using namespace tessaly::sync;

TEST(SyncValues, APictureIsStoredAsItsRecordHoldsIt) {
    QVariantMap photo = {{"id", "5001"},
                         {"title", "Say \\\"cheese\\\" \"now\"\nplease"},
                         {"description", QVariantMap{{"_text", "Line one\n\nLine \\\"three\\\""}}},
                         {"tags", "new york\nsunset"},
                         {"views", "12abc"},
                         {"license", "x"},
                         {"width_o", "-3"},
                         {"dateupload", "2240000000"}, // after 2038
                         {"lastupdate", "1307208605"},
                         {"latitude", "48.85"},
                         {"ispublic", "1"}};
    const PhotoRecord r = photoRecordFrom(photo);
    EXPECT_EQ(r.flickrID, "5001");
    // A backslash before a quote goes, every line break goes, quotes stay.
    EXPECT_EQ(r.title, "Say \"cheese\" \"now\"please");
    EXPECT_EQ(r.description, "Line oneLine \"three\"");
    EXPECT_EQ(r.tags, "new yorksunset");
    EXPECT_EQ(r.views, 12);
    EXPECT_EQ(r.license, 0);
    EXPECT_EQ(r.width_o, -3);
    EXPECT_EQ(r.ispublic, 1);
    EXPECT_EQ(r.dateupload,
              QDateTime::fromSecsSinceEpoch(2240000000LL).toString("yyyy-MM-dd HH:mm:ss"));
    EXPECT_TRUE(r.dateupload.startsWith("2040-"));
    EXPECT_EQ(r.lastupdate,
              QDateTime::fromSecsSinceEpoch(1307208605LL).toString("yyyy-MM-dd HH:mm:ss"));
    // Missing values are empty texts and zeros; a missing date is the epoch.
    EXPECT_EQ(r.url_o, "");
    EXPECT_EQ(r.geo, "");
    EXPECT_EQ(r.permcomment, 0);
    EXPECT_EQ(r.datetaken, "");
    EXPECT_EQ(photoRecordFrom({}).dateupload, QDateTime::fromSecsSinceEpoch(0).toString("yyyy-MM-dd HH:mm:ss"));

    EXPECT_EQ(insertPhotoText(r).left(31), "INSERT INTO photos (flickrID,ow");
    EXPECT_TRUE(insertPhotoText(r).contains(",\"Say \"\"cheese\"\" \"\"now\"\"please\","));
    EXPECT_TRUE(updatePhotoText(r).endsWith("media=\"\" WHERE flickrID=\"5001\""));
}

TEST(SyncValues, SetsExifAndMembership) {
    const SetRecord set = setRecordFrom({{"id", "72157"},
                                         {"title", QVariantMap{{"_text", "Favourites \"best of\""}}},
                                         {"description", QVariantMap{{"_text", "a\nb"}}}});
    EXPECT_EQ(set.setID, "72157");
    EXPECT_EQ(set.title, "Favourites \"best of\"");
    EXPECT_EQ(set.description, "ab");

    const QVariantList entries = {
        QVariantMap{{"tag", "Make"}, {"raw", QVariantMap{{"_text", "Canon"}}}},
        QVariantMap{{"tag", "Flash"}, {"raw", QVariantMap{{"_text", "16"}}},
                    {"clean", QVariantMap{{"_text", "Off, Did not fire"}}}},
        QVariantMap{{"tag", "Lens"}}, // neither form: an empty value, not Flash's
        QVariantMap{{"tag", "Model"}, {"raw", QVariantMap{{"_text", "EOS \"5D\"\n"}}}},
        QVariantMap{{"tag", "DateTimeOriginal"}, {"raw", QVariantMap{{"_text", "2010:05:01 10:00:00"}}}}};
    const ExifRecord exif = exifRecordFrom(entries);
    EXPECT_EQ(exif.text, "Make:  Canon\n\nFlash:  Off, Did not fire\n\nLens:  \n\n"
                         "Model:  EOS \"5D\"\n\n\nDateTimeOriginal:  2010:05:01 10:00:00\n\n");
    EXPECT_EQ(exif.make, "Canon");
    EXPECT_EQ(exif.model, "EOS \"5D\"\n");
    EXPECT_EQ(exif.flash, "Off, Did not fire");
    EXPECT_EQ(exifRecordFrom({}).text, "");

    // Whole ids are compared: 72157 is not one of 721570001.
    EXPECT_EQ(membershipWith("", "72157"), "72157");
    EXPECT_EQ(membershipWith("0", "72157"), "72157");
    EXPECT_EQ(membershipWith("721570001", "72157"), "721570001,72157");
    EXPECT_EQ(membershipWith("1,72157", "72157"), "1,72157");
    EXPECT_EQ(membershipWith("72157", "72157"), "72157");
    EXPECT_EQ(membershipWith("1,2", "1,2"), "1,2"); // an id holding the separator never joins

    // One element or many: always a list.
    EXPECT_EQ(asList(QVariantMap{{"id", "1"}}).size(), 1);
    EXPECT_EQ(asList(QVariantList{QVariantMap{}, QVariantMap{}}).size(), 2);
    EXPECT_TRUE(asList(QVariant()).isEmpty());
    EXPECT_EQ(leadingInteger("  -42x"), -42);
    EXPECT_EQ(leadingInteger("99999999999999999999"), std::numeric_limits<qint64>::max());
}

TEST(SyncValues, TheBestVideoSizeAndTheNameItsFileTakes) {
    const auto sizes = [](const QVariantList& list) { return QVariantMap{{"sizes", QVariantMap{{"size", list}}}}; };
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
    EXPECT_EQ(bestVideoSize(sizes(QVariantList(mp4s) << size("Video Original", "video", 1920, 1080,
                                                             "https://x/photos/u/9/play/orig/o2/")))
                  .source,
              "https://x/photos/u/9/play/orig/o2/");
    EXPECT_TRUE(bestVideoSize(sizes({mp4s[0]})).source.isEmpty());
    // One size alone comes as a map, not a list.
    EXPECT_EQ(bestVideoSize(QVariantMap{{"sizes", QVariantMap{{"size", mp4s[3]}}}}).label, "720p");

    EXPECT_EQ(videoFileName("https://www.flickr.com/photos/anna/9/play/720p/5e3c/", "9"), "9_5e3c_720p.mp4");
    EXPECT_EQ(videoFileName("https://live.staticflickr.com/video/9/5e3c/720p.mp4?s=x", "9"), "9_720p.mp4");
    EXPECT_EQ(videoFileName("https://x/1/9_ab_orig.mp4", "9"), "9_ab_orig.mp4");
    for (const char* unusable : {"https://x/photos/u/9/play/../s/", "https://x/", ""})
        EXPECT_TRUE(videoFileName(unusable, "9").isEmpty()) << unusable;
}
