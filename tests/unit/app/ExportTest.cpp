// Exporting selected results as the user does it: the panel, the folder chosen, and what lands in that folder
// (with the Flickr information written into the copies, read back with Exiv2), on a real archive and picture folder.
#include "AppTest.h"
#include "export/ExportController.h"
#include "export/ExportNaming.h"
#include "viewer/ViewerController.h"

#include <exiv2/exiv2.hpp>

using apptest::readFile;
using apptest::writeFile;

namespace {

std::string utf8(const QString& text) { return text.toStdString(); }

// Every EXIF, IPTC and XMP value of a file by its key, repeated keys' values joined by " | ".
std::map<std::string, std::string> embedded(const QString& file) {
    auto image = Exiv2::ImageFactory::open(utf8(file));
    image->readMetadata();
    std::map<std::string, std::string> values;
    const auto add = [&](const auto& data) {
        for (const auto& datum : data) {
            std::string& value = values[datum.key()];
            value += (value.empty() ? "" : " | ") + datum.toString();
        }
    };
    add(image->exifData()), add(image->iptcData()), add(image->xmpData());
    return values;
}

} // namespace

class ExportTest : public ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        out = path("out folder");
        QDir().mkpath(out);
        x = &app->exporting().controls();
    }

    // A record with the sizes named (o, b, s), each file written unless the size is given in capitals (an
    // address without its file), and these other columns.
    void add(const QString& id, const QString& title, const QString& sizes, const QVariantMap& more = {}) {
        QVariantMap columns{
            {"flickrID", id}, {"title", title}, {"media", "photo"}, {"ownername", "anna"}, {"views", ++views}};
        for (const auto& [size, key] : {std::pair{'o', "url_o"}, {'b', "url_l"}, {'s', "url_sq"}}) {
            const QString name = QString("%1_%2.jpg").arg(id).arg(size);
            const bool address = sizes.contains(QChar(size), Qt::CaseInsensitive);
            columns.insert(key, address ? "https://farm1.example.com/1/" + name : "");
            if (sizes.contains(QLatin1Char(size)))
                writeFile(pix + "/" + name, QString("%1 %2").arg(id).arg(size).toUtf8());
        }
        columns.insert(more);
        insert(columns);
    }
    void exportRows(const QList<int>& rows, int size, int naming, bool textFiles, const QString& prefix = {}) {
        c->resultsTableView->selectRowIndexes(rows);
        c->exportButton->performClick();
        x->exportSizeButton->selectItemAtIndex(size);
        x->exportNameButton->selectItemAtIndex(naming);
        x->exportPrefixTextField->setStringValue(prefix);
        x->textFileCheck->setState(textFiles ? Button::On : Button::Off);
        x->metadataCheck->setState(withMetadata ? Button::On : Button::Off);
        platform.openPanelAnswers.enqueue({out});
        x->doExportButton->performClick();
    }
    QStringList exported() const { return QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QString infoText(int row) {
        c->resultsTableView->selectRow(row);
        app->viewer().getPictureInfo();
        return app->viewer().infoText().text;
    }

    QString out;
    int views = 0;
    bool withMetadata = false;
    ExportControls* x = nullptr;
};

TEST_F(ExportTest, NamesByTitleStayInTheFolderAndNeverReplaceAFile) {
    add("11", "Harbour", "obs", {{"exifdata", "Make:  Canon\n\nModel:  EOS\n\n"}});
    add("12", "Harbour", "bs");  // no original: its large file
    add("13", "Harbour", "obs"); // its row's name is taken too
    add("14", "../boats/at dawn", "os");
    add("15", "Zürich – Straße ☀", "os", {{"exifdata", "Make:  Nikon\n\n"}});
    add("16", "", "os");
    add("17", "Lost", "Os"); // the original file is missing
    add("18", "Not selected", "os");
    searchAll("views"); // in the order they were added
    ASSERT_EQ(app->state().resultIDs.size(), 8);
    writeFile(out + "/Harbour3.jpg", "the user's own");
    // A name is taken when the copy's or its text file's is: by a file, or by a link that points nowhere yet (writing
    // through it would create a file elsewhere).
    writeFile(out + "/Harbour.txt", "the user's notes");
    ASSERT_TRUE(QFile::link(path("victim.txt"), out + "/Harbour2.txt"));

    exportRows({0, 1, 2, 3, 4, 5, 6}, 0, 0, true);

    EXPECT_EQ(exported(), QStringList({".jpg", ".txt", "Harbour.txt", "Harbour1.jpg", "Harbour1.txt", "Harbour2-2.jpg",
                                       "Harbour2-2.txt", "Harbour3-2.jpg", "Harbour3-2.txt", "Harbour3.jpg",
                                       "Zürich – Straße ☀.jpg", "Zürich – Straße ☀.txt", "_.._boats_at dawn.jpg",
                                       "_.._boats_at dawn.txt"}));
    EXPECT_EQ(QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    for (const auto& [file, bytes] : {std::pair{"Harbour1.jpg", "11 o"}, {"Harbour2-2.jpg", "12 b"},
                                      {"Harbour3-2.jpg", "13 o"}, {"Harbour3.jpg", "the user's own"},
                                      {"Harbour.txt", "the user's notes"}, {".jpg", "16 o"}})
        EXPECT_EQ(readFile(out + "/" + file), bytes) << file;
    EXPECT_FALSE(QFile::exists(path("victim.txt")));

    // A text file holds the information text, and the EXIF text after two line
    // ends when there is one; the whole UTF-8 text, however long in characters.
    EXPECT_EQ(QString::fromUtf8(readFile(out + "/Harbour1.txt")), infoText(0) + "\n\n\nMake:  Canon\n\nModel:  EOS\n");
    const QString text15 = QString::fromUtf8(readFile(out + "/Zürich – Straße ☀.txt"));
    EXPECT_EQ(text15, infoText(4) + "\n\n\nMake:  Nikon\n");
    // Without EXIF data: the information text alone.
    EXPECT_EQ(QString::fromUtf8(readFile(out + "/Harbour2-2.txt")), infoText(1));

    ASSERT_EQ(platform.alerts.size(), 1); // the missing file is named; nothing claims it was exported
    EXPECT_EQ(platform.lastAlertMessage(), QString("The picture file(s) have been exported to %1, except as listed "
                                                   "here:\n\n\"Lost\" (17): its picture file is not in the picture "
                                                   "folder")
                                               .arg(out));
    EXPECT_TRUE(!c->progressPanel->isVisible() && x->exportPanel->isVisible());
}

TEST_F(ExportTest, NamesByFileOrPrefixInLargeSize) {
    add("21", "a", "bs");
    add("22", "b", "s");  // no large address: the square file
    add("23", "c", "Bs"); // a large address without its file: not exported
    add("24", "d", "bs");
    searchAll("views"); // in the order they were added

    // No record has an original address: only the large size is offered.
    c->resultsTableView->selectRowIndexes({0, 1, 3});
    c->exportButton->performClick();
    EXPECT_TRUE(!x->exportSizeButton->isItemEnabled(0) && x->exportSizeButton->indexOfSelectedItem() == 1);
    EXPECT_EQ(x->selectedImagesTextField->stringValue(), "3 items");
    // The prefix field serves only naming by prefix.
    for (const int naming : {0, 2}) {
        x->exportNameButton->selectItemAtIndex(naming);
        x->exportNameButton->performClick();
        EXPECT_EQ(x->exportPrefixTextField->isEnabled(), naming == 2);
    }

    exportRows({0, 1, 3}, 1, 2, false, "trip"); // the number counts the pictures exported, whatever their rows
    EXPECT_EQ(exported(), QStringList({"trip_1.jpg", "trip_2.jpg", "trip_3.jpg"}));
    EXPECT_EQ(readFile(out + "/trip_2.jpg") + readFile(out + "/trip_3.jpg"), "22 s24 b");
    ASSERT_EQ(platform.alerts.size(), 1);
    EXPECT_EQ(platform.alerts.last().style, AlertStyle::Informational);

    // By file name, again into the same folder: each clash takes its row
    // number; the picture without its file is reported by name.
    exportRows({0, 2, 3}, 1, 1, false);
    EXPECT_EQ(exported(), QStringList({"21_b.jpg", "24_b.jpg", "trip_1.jpg", "trip_2.jpg", "trip_3.jpg"}));
    exportRows({0}, 1, 1, false);
    EXPECT_EQ(x->selectedImagesTextField->stringValue(), "1 item");
    EXPECT_TRUE(exported().contains("21_b1.jpg") && readFile(out + "/21_b.jpg") == "21 b");
    EXPECT_EQ(platform.alerts[1].message,
              QString("The picture file(s) have been exported to %1, except as listed here:\n\n"
                      "\"c\" (23): its picture file is not in the picture folder")
                  .arg(out));
    EXPECT_EQ(platform.openPanels.last().directory, out); // the folder chosen before

    exportRows({2}, 1, 0, false); // nothing to copy at all: no claim of success
    EXPECT_TRUE(platform.lastAlertMessage().startsWith(QString("No picture file could be exported to %1:").arg(out)));

    platform.openPanelAnswers.enqueue({}); // a cancelled folder choice exports nothing
    x->doExportButton->performClick();
    EXPECT_TRUE(platform.alerts.size() == 4 && x->exportPanel->isVisible());

    const QStringList before = exported(); // an archive that cannot be read stops the export, and says so
    ASSERT_TRUE(app->database().exec("ALTER TABLE photos RENAME TO gone").ok());
    exportRows({0, 3}, 1, 2, false, "late");
    EXPECT_FALSE(c->progressPanel->isVisible() || x->exportPanel->isVisible());
    EXPECT_TRUE(exported() == before && platform.alerts.size() == 5);
    EXPECT_EQ(platform.alerts.last().style, AlertStyle::Critical);
    EXPECT_TRUE(platform.lastAlertMessage().startsWith(
        QString("The export to %1 stopped after 0 items: SQL error: no such table: photos").arg(out)))
        << platform.lastAlertMessage().toStdString();
}

class ExportMetadataTest : public ExportTest {
protected:
    ExportMetadataTest() { webAddresses.clear(); } // the source named by the owner's ID
};

TEST_F(ExportMetadataTest, CopiesCarryTheirFlickrInformationAndTheCameraDataStays) {
    QDir().mkpath(path("plain"));
    const QString title = QString::fromUtf8("Zürich – Straße ☀ \"am\" See");
    const QVariantMap flickr = {{"description", "First line.Second line."}, {"datetaken", "2011-06-04 18:45:30"},
                                {"license", 4}, {"owner", "12345678@N01"}, {"latitude", "0"}, {"longitude", "0"}};
    add("1", title, "Os", flickr);
    add("2", "Harbour", "s", flickr);
    add("3", "Cut", "Os", flickr);
    ASSERT_TRUE(app->database()
                    .exec("UPDATE photos SET tags='sunset \"new york\" Zürich', latitude=48.8584, longitude=-2.2945 "
                          "WHERE flickrID='1'; UPDATE photos SET url_o='https://x/1/2_o.png' WHERE flickrID='2'")
                    .ok());
    // A camera JPEG with its own EXIF data, a PNG without any, and a JPEG cut short.
    QImage image(48, 32, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(pix + "/1_o.jpg", "JPEG"));
    auto camera = Exiv2::ImageFactory::open(utf8(pix + "/1_o.jpg"));
    camera->readMetadata();
    camera->exifData()["Exif.Image.Make"] = "Canon";
    camera->exifData()["Exif.Photo.DateTimeOriginal"] = "2001:02:03 04:05:06";
    camera->writeMetadata();
    ASSERT_TRUE(image.save(pix + "/2_o.png", "PNG"));
    const QByteArray original = readFile(pix + "/1_o.jpg");
    writeFile(pix + "/3_o.jpg", original.left(40));
    searchAll("views");
    withMetadata = true;
    exportRows({0, 1, 2}, 0, 0, false);
    EXPECT_EQ(readFile(pix + "/1_o.jpg"), original); // the picture folder is never touched
    auto jpeg = embedded(out + "/" + title + ".jpg");
    // The camera's data stays, its date taken first of all; the place is added.
    for (const auto& [key, value] : std::initializer_list<std::pair<const char*, std::string>>{
             {"Xmp.dc.title", "lang=\"x-default\" " + utf8(title)},
             {"Xmp.dc.description", "lang=\"x-default\" First line.Second line."},
             {"Xmp.dc.subject", utf8(QString::fromUtf8("sunset, new york, Zürich"))},
             {"Xmp.photoshop.DateCreated", "2011-06-04T18:45:30"},
             {"Xmp.xmpRights.UsageTerms", "lang=\"x-default\" Attribution License"},
             {"Xmp.dc.source", "https://www.flickr.com/photos/12345678@N01/1/"},
             {"Iptc.Application2.ObjectName", utf8(title)}, {"Iptc.Application2.Caption", "First line.Second line."},
             {"Iptc.Application2.Keywords", utf8(QString::fromUtf8("sunset | new york | Zürich"))},
             {"Iptc.Envelope.CharacterSet", "\x1b%G"}, {"Exif.Image.Make", "Canon"},
             {"Exif.Photo.DateTimeOriginal", "2001:02:03 04:05:06"}, {"Exif.GPSInfo.GPSLatitudeRef", "N"},
             {"Exif.GPSInfo.GPSLongitudeRef", "W"}, {"Exif.GPSInfo.GPSLatitude", "48/1 51/1 302400/10000"},
             {"Exif.GPSInfo.GPSLongitude", "2/1 17/1 402000/10000"}})
        EXPECT_EQ(jpeg[key], value) << key;

    // A PNG without a date or place of its own gets the date taken, and no place where Flickr has none.
    auto png = embedded(out + "/Harbour.png");
    EXPECT_EQ(png["Xmp.dc.title"] + " / " + png["Exif.Photo.DateTimeOriginal"],
              "lang=\"x-default\" Harbour / 2011:06:04 18:45:30");
    EXPECT_FALSE(png.count("Exif.GPSInfo.GPSLatitude") || png.count("Xmp.dc.subject"));

    ASSERT_EQ(platform.alerts.size(), 1); // a copy that cannot be made is named, and left nowhere
    const QString failure = QString::fromUtf8(Exiv2::Error(Exiv2::kerFailedToReadImageData).what());
    EXPECT_TRUE(platform.lastAlertMessage().endsWith("except as listed here:\n\n\"Cut\" (3): it could not be copied (" +
                                                     failure + ")"))
        << platform.lastAlertMessage().toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // Without the choice the copies are the files as they are; into a folder that has gone, nothing is claimed.
    withMetadata = false;
    out = path("plain");
    exportRows({0, 1, 2}, 0, 0, false);
    EXPECT_EQ(readFile(out + "/" + title + ".jpg"), original);
    out = path("gone");
    exportRows({0, 1, 2}, 0, 0, false);
    EXPECT_TRUE(platform.alerts.last().message.startsWith("No picture file could be exported to " + path("gone")));
    EXPECT_EQ(platform.alerts.last().message.count("it could not be copied"), 3);
}

TEST(ExportNaming, AClashTakesTheRowNumberThenFurtherNumbersUntilFree) {
    using namespace exporter;
    const QStringList taken = {"/out/sea.jpg", "/out/sea4.jpg", "/out/sea4-2.jpg", "/out/sea.jpg.jpg", "/out/notes"};
    const auto free = [&](const char* name, int row) {
        return freeDestination("/out", name, row, [&](const QString& path) { return taken.contains(path); });
    };
    // Only the last extension moves; a name without one gets the number at its end.
    EXPECT_EQ(QStringList({free("sea.jpg", 4), free("sea.jpg.jpg", 2), free("notes", 2)}),
              QStringList({"/out/sea4-3.jpg", "/out/sea.jpg2.jpg", "/out/notes2"}));
    EXPECT_EQ(QStringList({textFilePath("/out/a.b/sea.jpeg"), textFilePath("/out/a.b/sea"),
                           textFilePath("/out/sea.toolongext")}),
              QStringList({"/out/a.b/sea.txt", "/out/a.b/sea.txt", "/out/sea.toolongext.txt"}));
    EXPECT_EQ(QStringList({destinationName(Naming::Title, "/p/1_o.png", "..", {}, 0),
                           destinationName(Naming::Title, "/p/1_o.png", QString::fromLatin1("a\0b/c", 5), {}, 0),
                           destinationName(Naming::Prefix, "/p/1_o.png", "t", "../x", 7)}),
              QStringList({"_...png", "a_b_c.png", "_.._x_7.png"}));
}
