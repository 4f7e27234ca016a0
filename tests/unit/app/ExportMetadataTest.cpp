// Exported copies that carry their Flickr information, read back with Exiv2,
// and copies that could not be made, named in the closing message.
#include "AppTest.h"
#include "export/ExportController.h"

#include <exiv2/exiv2.hpp>

using apptest::readFile;

namespace {

std::string utf8(const QString& text) { return text.toStdString(); }

struct Metadata {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;

    explicit Metadata(const QString& file) {
        auto image = Exiv2::ImageFactory::open(utf8(file));
        image->readMetadata();
        exif = image->exifData(), iptc = image->iptcData(), xmp = image->xmpData();
    }
    template <typename Data, typename Key>
    static std::string text(const Data& data, const char* key) {
        const auto it = data.findKey(Key(key));
        return it == data.end() ? "(none)" : it->toString();
    }
    std::string xmpText(const char* key) const { return text<Exiv2::XmpData, Exiv2::XmpKey>(xmp, key); }
    std::string exifText(const char* key) const { return text<Exiv2::ExifData, Exiv2::ExifKey>(exif, key); }
    std::vector<std::string> iptcAll(const char* key) const {
        std::vector<std::string> values;
        for (const auto& datum : iptc)
            if (datum.key() == key)
                values.push_back(datum.toString());
        return values;
    }
};

} // namespace

class ExportMetadataTest : public ArchiveTest {
protected:
    ExportMetadataTest() { webAddresses.clear(); } // the source named by the owner's ID
    void add(const QString& id, const QString& file, const QString& title, const QString& tags = {},
             const QString& latitude = "0", const QString& longitude = "0") {
        ASSERT_TRUE(app->database()
                        .run("INSERT INTO photos (flickrID,title,description,tags,datetaken,latitude,longitude,"
                             "license,owner,url_o,url_sq,views) VALUES(?,?,?,?,'2011-06-04 18:45:30',?,?,4,"
                             "'12345678@N01',?,?,?)",
                             {id, title, "First line.Second line.", tags, latitude, longitude,
                              "https://farm1.example.com/1/" + file, "https://farm1.example.com/1/" + id + "_s.jpg",
                              id.toInt()})
                        .ok());
    }
    void exportAll(bool metadata, const QString& folder) {
        searchAll("views");
        app->controls().resultsTableView->selectRowIndexes({0, 1, 2});
        app->controls().exportButton->performClick();
        ExportControls& x = app->exporting().controls();
        x.metadataCheck->setState(metadata ? Button::On : Button::Off);
        platform.openPanelAnswers.enqueue({folder});
        x.doExportButton->performClick();
    }
};

TEST_F(ExportMetadataTest, CopiesCarryTheirFlickrInformationAndTheCameraDataStays) {
    const QString out = path("out");
    QDir().mkpath(out);
    QDir().mkpath(path("plain"));
    // A camera JPEG with its own EXIF data, a PNG without any, and a JPEG cut short.
    QImage image(48, 32, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(pix + "/1_o.jpg", "JPEG"));
    {
        auto camera = Exiv2::ImageFactory::open(utf8(pix + "/1_o.jpg"));
        camera->readMetadata();
        camera->exifData()["Exif.Image.Make"] = "Canon";
        camera->exifData()["Exif.Photo.DateTimeOriginal"] = "2001:02:03 04:05:06";
        camera->writeMetadata();
    }
    ASSERT_TRUE(image.save(pix + "/2_o.png", "PNG"));
    const QByteArray original = readFile(pix + "/1_o.jpg");
    apptest::writeFile(pix + "/3_o.jpg", original.left(40));
    const QString title = QString::fromUtf8("Zürich – Straße ☀ \"am\" See");
    add("1", "1_o.jpg", title, "sunset \"new york\" Zürich", "48.8584", "-2.2945");
    add("2", "2_o.png", "Harbour");
    add("3", "3_o.jpg", "Cut");

    exportAll(true, out);
    EXPECT_EQ(readFile(pix + "/1_o.jpg"), original); // the picture folder is never touched
    const Metadata jpeg(out + "/" + title + ".jpg");
    EXPECT_EQ(jpeg.xmpText("Xmp.dc.title"), "lang=\"x-default\" " + utf8(title));
    EXPECT_EQ(jpeg.xmpText("Xmp.dc.description"), "lang=\"x-default\" First line.Second line.");
    EXPECT_EQ(jpeg.xmpText("Xmp.dc.subject"), utf8(QString::fromUtf8("sunset, new york, Zürich")));
    EXPECT_EQ(jpeg.xmpText("Xmp.photoshop.DateCreated"), "2011-06-04T18:45:30");
    EXPECT_EQ(jpeg.xmpText("Xmp.xmpRights.UsageTerms"), "lang=\"x-default\" Attribution License");
    EXPECT_EQ(jpeg.xmpText("Xmp.dc.source"), "https://www.flickr.com/photos/12345678@N01/1/");
    EXPECT_EQ(jpeg.iptcAll("Iptc.Application2.ObjectName"), std::vector{utf8(title)});
    EXPECT_EQ(jpeg.iptcAll("Iptc.Application2.Caption"), std::vector<std::string>{"First line.Second line."});
    EXPECT_EQ(jpeg.iptcAll("Iptc.Application2.Keywords"),
              (std::vector<std::string>{"sunset", "new york", utf8(QString::fromUtf8("Zürich"))}));
    EXPECT_EQ(jpeg.iptcAll("Iptc.Envelope.CharacterSet"), std::vector<std::string>{"\x1b%G"});
    // The camera's data stays, its date taken first of all; the place is added.
    EXPECT_EQ(jpeg.exifText("Exif.Image.Make"), "Canon");
    EXPECT_EQ(jpeg.exifText("Exif.Photo.DateTimeOriginal"), "2001:02:03 04:05:06");
    EXPECT_EQ(jpeg.exifText("Exif.GPSInfo.GPSLatitudeRef"), "N");
    EXPECT_EQ(jpeg.exifText("Exif.GPSInfo.GPSLongitudeRef"), "W");
    const auto degrees = [&](const char* key) {
        const Exiv2::Exifdatum& d = *jpeg.exif.findKey(Exiv2::ExifKey(key));
        const auto part = [&](long i) { return double(d.toRational(i).first) / d.toRational(i).second; };
        return part(0) + part(1) / 60 + part(2) / 3600;
    };
    EXPECT_NEAR(degrees("Exif.GPSInfo.GPSLatitude"), 48.8584, 1e-6);
    EXPECT_NEAR(degrees("Exif.GPSInfo.GPSLongitude"), 2.2945, 1e-6);

    // A PNG without a date or place of its own gets the date taken, and no
    // place where Flickr has none.
    const Metadata png(out + "/Harbour.png");
    EXPECT_EQ(png.xmpText("Xmp.dc.title"), "lang=\"x-default\" Harbour");
    EXPECT_EQ(png.exifText("Exif.Photo.DateTimeOriginal"), "2011:06:04 18:45:30");
    EXPECT_EQ(png.exifText("Exif.GPSInfo.GPSLatitude"), "(none)");
    EXPECT_EQ(png.xmpText("Xmp.dc.subject"), "(none)");

    // A copy that cannot be made is named, and left nowhere.
    ASSERT_EQ(platform.alerts.size(), 1);
    const QString failure = QString::fromUtf8(Exiv2::Error(Exiv2::kerFailedToReadImageData).what());
    EXPECT_TRUE(platform.lastAlertMessage().endsWith("except as listed here:\n\n\"Cut\" (3): it could not be copied (" +
                                                     failure + ")"))
        << platform.lastAlertMessage().toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // Without the choice the copies are the files as they are; into a folder
    // that has gone, nothing is claimed.
    exportAll(false, path("plain"));
    EXPECT_EQ(readFile(path("plain") + "/" + title + ".jpg"), original);
    exportAll(false, path("gone"));
    EXPECT_TRUE(platform.alerts.last().message.startsWith("No picture file could be exported to " + path("gone")));
    EXPECT_EQ(platform.alerts.last().message.count("it could not be copied"), 3);
}
