// Exported copies that carry their Flickr information, read back with Exiv2,
// and copies that could not be made, named in the closing message.
#include "AppFixture.h"
#include "export/ExportController.h"
#include "search/SearchController.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <exiv2/exiv2.hpp>

using namespace tessaly;
using tessaly::test::AppFixture;

namespace {

std::string utf8(const QString& text) { return text.toStdString(); }

struct Metadata {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
};

Metadata readBack(const QString& file) {
    auto image = Exiv2::ImageFactory::open(utf8(file));
    image->readMetadata();
    return {image->exifData(), image->iptcData(), image->xmpData()};
}

std::string text(const Exiv2::XmpData& xmp, const char* key) {
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    return it == xmp.end() ? "(none)" : it->toString();
}
std::string text(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? "(none)" : it->toString();
}
std::vector<std::string> all(const Exiv2::IptcData& iptc, const char* key) {
    std::vector<std::string> values;
    for (const auto& datum : iptc)
        if (datum.key() == key)
            values.push_back(datum.toString());
    return values;
}

} // namespace

class ExportMetadataTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        pix = path("loc/anna_pix");
        out = path("out");
        QDir().mkpath(out);
        startWithAccount(pix);
    }
    void add(const QString& id, const QString& file, const QString& title, const QString& tags,
             const QString& latitude, const QString& longitude) {
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
        auto& s = app->search().controls();
        s.sortButton->selectItemWithTitle("views");
        s.searchButton->performClick();
        app->controls().resultsTableView->selectRowIndexes({0, 1, 2});
        app->controls().exportButton->performClick();
        ExportControls& x = app->exporting().controls();
        x.metadataCheck->setState(metadata ? Button::On : Button::Off);
        platform.openPanelAnswers.enqueue({folder});
        x.doExportButton->performClick();
    }
    static QByteArray bytes(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QString pix, out;
};

TEST_F(ExportMetadataTest, CopiesCarryTheirFlickrInformationAndTheCameraDataStays) {
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
    QFile cut(pix + "/3_o.jpg");
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes(pix + "/1_o.jpg").left(40));
    cut.close();
    const QString title = QString::fromUtf8("Zürich – Straße ☀ \"am\" See");
    add("1", "1_o.jpg", title, "sunset \"new york\" Zürich", "48.8584", "-2.2945");
    add("2", "2_o.png", "Harbour", "", "0", "0");
    add("3", "3_o.jpg", "Cut", "", "0", "0");
    const QByteArray original = bytes(pix + "/1_o.jpg");

    exportAll(true, out);
    EXPECT_EQ(bytes(pix + "/1_o.jpg"), original); // the picture folder is never touched
    const Metadata jpeg = readBack(out + "/" + title + ".jpg");
    EXPECT_EQ(text(jpeg.xmp, "Xmp.dc.title"), "lang=\"x-default\" " + utf8(title));
    EXPECT_EQ(text(jpeg.xmp, "Xmp.dc.description"), "lang=\"x-default\" First line.Second line.");
    EXPECT_EQ(text(jpeg.xmp, "Xmp.dc.subject"), utf8(QString::fromUtf8("sunset, new york, Zürich")));
    EXPECT_EQ(text(jpeg.xmp, "Xmp.photoshop.DateCreated"), "2011-06-04T18:45:30");
    EXPECT_EQ(text(jpeg.xmp, "Xmp.xmpRights.UsageTerms"), "lang=\"x-default\" Attribution License");
    EXPECT_EQ(text(jpeg.xmp, "Xmp.dc.source"), "https://www.flickr.com/photos/12345678@N01/1/");
    EXPECT_EQ(all(jpeg.iptc, "Iptc.Application2.ObjectName"), std::vector{utf8(title)});
    EXPECT_EQ(all(jpeg.iptc, "Iptc.Application2.Caption"), std::vector<std::string>{"First line.Second line."});
    EXPECT_EQ(all(jpeg.iptc, "Iptc.Application2.Keywords"),
              (std::vector<std::string>{"sunset", "new york", utf8(QString::fromUtf8("Zürich"))}));
    EXPECT_EQ(all(jpeg.iptc, "Iptc.Envelope.CharacterSet"), std::vector<std::string>{"\x1b%G"});
    // The camera's data stays, its date taken first of all; the place is added.
    EXPECT_EQ(text(jpeg.exif, "Exif.Image.Make"), "Canon");
    EXPECT_EQ(text(jpeg.exif, "Exif.Photo.DateTimeOriginal"), "2001:02:03 04:05:06");
    EXPECT_EQ(text(jpeg.exif, "Exif.GPSInfo.GPSLatitudeRef"), "N");
    EXPECT_EQ(text(jpeg.exif, "Exif.GPSInfo.GPSLongitudeRef"), "W");
    const auto degrees = [&](const char* key) {
        const Exiv2::Exifdatum& d = *jpeg.exif.findKey(Exiv2::ExifKey(key));
        const auto part = [&](long i) { return double(d.toRational(i).first) / d.toRational(i).second; };
        return part(0) + part(1) / 60 + part(2) / 3600;
    };
    EXPECT_NEAR(degrees("Exif.GPSInfo.GPSLatitude"), 48.8584, 1e-6);
    EXPECT_NEAR(degrees("Exif.GPSInfo.GPSLongitude"), 2.2945, 1e-6);

    // A PNG without a date or place of its own gets the date taken, and no
    // place where Flickr has none.
    const Metadata png = readBack(out + "/Harbour.png");
    EXPECT_EQ(text(png.xmp, "Xmp.dc.title"), "lang=\"x-default\" Harbour");
    EXPECT_EQ(text(png.exif, "Exif.Photo.DateTimeOriginal"), "2011:06:04 18:45:30");
    EXPECT_EQ(text(png.exif, "Exif.GPSInfo.GPSLatitude"), "(none)");
    EXPECT_EQ(text(png.xmp, "Xmp.dc.subject"), "(none)");

    // A copy that cannot be made is named, and left nowhere.
    ASSERT_EQ(platform.alerts.size(), 1);
    EXPECT_TRUE(platform.alerts.last().message.endsWith("except as listed here:\n\n\"Cut\" (3): it could not be "
                                                        "copied (" + QString::fromUtf8(Exiv2::Error(Exiv2::kerFailedToReadImageData).what()) + ")"))
        << platform.alerts.last().message.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // Without the choice the copies are the files as they are; into a folder
    // that has gone, nothing is claimed.
    const QString plain = path("plain");
    QDir().mkpath(plain);
    exportAll(false, plain);
    EXPECT_EQ(bytes(plain + "/" + title + ".jpg"), original);
    exportAll(false, path("gone"));
    EXPECT_TRUE(platform.alerts.last().message.startsWith("No picture file could be exported to " + path("gone")));
    EXPECT_EQ(platform.alerts.last().message.count("it could not be copied"), 3);
}
