// The viewer as the user drives it from the result list, on a real archive and picture folder.
#include "AppTest.h"
#include "viewer/ViewerController.h"

#include <QSignalSpy>

using apptest::readFile;

class ViewerTest : public ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        v = &app->viewer().controls();
    }
    // A record with these file addresses ("" for none); other columns NULL (filesize 0).
    void add(const QString& id, const QString& title, const QString& square, const QString& large = {},
             const QString& original = {}, const QVariantMap& more = {}) {
        QVariantMap columns = more;
        columns.insert({{"flickrID", id}, {"title", title}, {"url_sq", url(square)}});
        if (!large.isEmpty())
            columns.insert("url_l", url(large));
        if (!original.isEmpty())
            columns.insert("url_o", url(original));
        insert(columns);
    }
    static QString url(const QString& name) { return "https://farm1.example.com/1/" + name; }
    void image(const QString& name, QSize size) {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        ASSERT_TRUE(picture.save(pix + "/" + name));
    }
    void open(int row) {
        c->resultsTableView->selectRow(row);
        c->resultsTableView->performClick(); // the thumbnail
    }
    QString info() const { return app->viewer().infoText().text; }
    QString shownNumber() const { return v->imageNumberTextField->stringValue(); }
    // In one line: the files shown and saved, the display size, the position, the buttons that lead somewhere.
    QString shown() const {
        const QSize size = v->imageView->displaySize();
        QStringList line = {app->viewer().displayFilePath().remove(pix + "/"),
                            app->viewer().originalFilePath().remove(pix + "/"),
                            QString("%1x%2").arg(size.width()).arg(size.height()), shownNumber()};
        QStringList buttons;
        for (const auto& [name, on] :
             {std::pair{"prev", v->prevButton->isEnabled()}, {"next", v->nextButton->isEnabled()},
              {"original", v->chooseSizeButton->isItemEnabled(0)}, {"play", !v->playVideoButton->isHidden()},
              {"flickr", v->flickrDataButton->isEnabled()}, {"exif", v->exifDataButton->isEnabled()}})
            if (on)
                buttons << name;
        return (line << buttons.join(' ')).join(" | ");
    }
    QStringList storedSize(const QString& id) {
        return apptest::column(app->database(), "SELECT filesize FROM photos WHERE flickrID=?", {id});
    }

    ViewerControls* v = nullptr;
};

TEST_F(ViewerTest, ShowsTheSelectedPictureAndStepsThroughTheResults) {
    add("1", "a", "1_s.jpg", {}, {}, {{"media", "photo"}});
    add("2", "b", "2_s.jpg", "2_b.jpg", "2_o.jpg", {{"media", "photo"}, {"exifdata", "Make:  Canon\n\n"}});
    add("3", "c", "3_s.jpg", {}, "3_o.png", {{"media", "video"}});
    for (const char* name : {"1_s.jpg", "2_s.jpg", "3_s.jpg"})
        image(name, {75, 75});
    image("2_b.jpg", {640, 480});
    image("2_o.jpg", {1280, 960});
    image("3_o.png", {300, 200});
    searchAll("title");
    ASSERT_EQ(app->state().resultIDs, QStringList({"1", "2", "3"}));
    QSignalSpy scrolls(c->resultsTableView, &TableView::scrollRequested);

    open(0); // a square-only record: its square file, six times enlarged
    ViewerController& viewer = app->viewer();
    EXPECT_EQ(shown(), "1_s.jpg |  | 450x450 | 1 of 3 | next exif");
    EXPECT_TRUE(app->state().viewerOpen && c->savePicItem->isEnabled() && v->imageView->isEditable());
    EXPECT_TRUE(info().startsWith("\nOwner Name:  \n\nFlickr ID:  1\n\n") && app->state().infoMode == 1);

    v->nextButton->performClick(); // large and original: the large is shown, the original is saved
    EXPECT_EQ(shown(), "2_b.jpg | 2_o.jpg | 640x480 | 2 of 3 | prev next original exif");
    EXPECT_TRUE(c->resultsTableView->selectedRow() == 1 && scrolls.last().value(0).toInt() == 2);

    v->exifDataButton->performClick(); // the EXIF text is kept while stepping; a record without EXIF shows none
    EXPECT_EQ(info(), "\nMake:  Canon\n");
    EXPECT_EQ(shown(), "2_b.jpg | 2_o.jpg | 640x480 | 2 of 3 | prev next original flickr");
    v->nextButton->performClick();
    EXPECT_TRUE(app->state().infoMode == 2 && info() == "");
    // A video with an original only: the original is shown; it plays on Flickr.
    EXPECT_EQ(shown(), "3_o.png | 3_o.png | 300x200 | 3 of 3 | prev original play flickr");
    v->playVideoButton->performClick();
    EXPECT_EQ(platform.openedURLs.value(0), QUrl("https://www.flickr.com/photos/anna/3"));
    // Once its video file is downloaded, the video itself plays.
    QFile(pix + "/3_a1_720p.mp4").open(QIODevice::WriteOnly);
    app->database().exec("CREATE TABLE videofiles(flickrID TEXT PRIMARY KEY,file TEXT,size INTEGER,label TEXT);"
                         "INSERT INTO videofiles VALUES('3','3_a1_720p.mp4',0,'720p')");
    v->playVideoButton->performClick();
    EXPECT_TRUE(platform.openedFiles == QStringList{pix + "/3_a1_720p.mp4"} && platform.openedURLs.size() == 1);

    int edits = 0; // stepping in edit mode opens the editor on the next picture
    viewer.setEditFlickr([&] { ++edits; });
    viewer.setEditMode(true);
    v->prevButton->performClick();
    EXPECT_TRUE(edits == 1 && !viewer.editMode());
    v->prevButton->performClick();
    EXPECT_TRUE(edits == 1 && c->resultsTableView->selectedRow() == 0 && scrolls.last().value(0).toInt() == 0);
    viewer.prevImage(); // at the first row: shown again (at the last: ViewerWindowTest)
    EXPECT_EQ(shownNumber(), "1 of 3");

    c->resultsTableView->deselectAll(); // without a selected row there is no current picture: nothing changes
    const StyledText before = viewer.infoText();
    for (Button* b : {v->nextButton, v->prevButton, v->flickrDataButton, v->exifDataButton})
        b->performClick();
    viewer.nextImage();
    viewer.clickedSquareButton();
    EXPECT_TRUE(viewer.infoText() == before && shownNumber() == "1 of 3" && c->resultsTableView->selectedRow() == -1);

    searchAll("title", "b"); // a single result: neither way leads anywhere
    open(0);
    EXPECT_EQ(shown(), "2_b.jpg | 2_o.jpg | 640x480 | 1 of 1 | original exif");
}

TEST_F(ViewerTest, MissingFilesAreShownAsNoPictureAndNothingIsDeleted) {
    add("1", "a", "1_s.jpg", "1_b.jpg"); // square file missing, large present: the large is shown and kept
    add("2", "b", "2_s.jpg");            // no file at all
    add("3", "c", "3_s.jpg");            // a file that is no image
    add("4", "d", "");                   // an address without a file name: never the picture folder itself
    image("1_b.jpg", {800, 600});
    apptest::writeFile(pix + "/3_s.jpg", "not a picture");
    searchAll("title");

    open(0);
    EXPECT_EQ(shown(), "1_b.jpg |  | 800x600 | 1 of 4 | next exif");

    v->nextButton->performClick();
    EXPECT_EQ(shown(), " |  | 240x180 | 2 of 4 | prev next exif"); // nopic.png
    EXPECT_EQ(v->imageView->image().size(), QSize(480, 360)); // drawn for high-DPI screens
    EXPECT_FALSE(v->imageView->isEditable());
    c->savePicItem->performClick();
    v->imageView->performClick(); // a double click
    EXPECT_TRUE(platform.savePanels.isEmpty() && platform.alerts.size() == 1 && platform.openedFiles.isEmpty());

    v->nextButton->performClick(); // undecodable: an empty view, but the file is still the picture's
    EXPECT_TRUE(v->imageView->image().isNull() && app->viewer().displayFilePath() == pix + "/3_s.jpg");

    v->nextButton->performClick();
    EXPECT_EQ(app->viewer().displayFilePath(), "");
    app->viewer().launchPicture();
    EXPECT_TRUE(platform.alerts.size() == 2 && platform.openedFiles.isEmpty());
    EXPECT_EQ(QDir(pix).entryList(QDir::Files), QStringList({"1_b.jpg", "3_s.jpg"}));
}

TEST_F(ViewerTest, FileSizeIsMeasuredOnceAndStoredAndTheLargestFileIsSavedAndLaunched) {
    const auto sizedFile = [&](const QString& name, qint64 size) {
        QFile file(pix + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, name[0].toLatin1())) == size);
    };
    // An ID that is no number works as well (it is bound, not pasted).
    add("a7", "a", "a7_s.jpg", "a7_b.jpg", "a7_o.jpg");
    add("8", "b", "8_s.jpg");
    add("9", "c", "9_s.jpg", {}, {}, {{"filesize", 4321}});
    sizedFile("a7_o.jpg", 1234567);
    sizedFile("a7_b.jpg", 99);
    sizedFile("a7_s.jpg", 10);
    const QString out = path("out");
    QDir().mkpath(out);
    searchAll("title");

    open(0);
    EXPECT_TRUE(info().contains("\n\nFile Size:  1,234,567\n\n") && storedSize("a7") == QStringList{"1234567"});

    // A name typed without its extension gets it back; the original is copied.
    platform.savePanelAnswers.enqueue(out + "/harbour");
    c->savePicItem->performClick();
    EXPECT_EQ(platform.savePanels.value(0).suggestedName, "a7_o");
    EXPECT_EQ(readFile(out + "/harbour.jpg"), readFile(pix + "/a7_o.jpg"));
    // The panel approved replacing a file it was given; one it was not given (the extension added) is asked about.
    QFile::remove(out + "/harbour.jpg");
    QFile::copy(pix + "/a7_s.jpg", out + "/harbour.jpg");
    platform.savePanelAnswers.enqueue(out + "/harbour");
    platform.alertAnswers.enqueue(AlertFirstButton); // Cancel
    c->savePicItem->performClick();
    EXPECT_EQ(platform.lastAlertMessage(), "\"harbour.jpg\" already exists. Do you want to replace it?");
    EXPECT_EQ(readFile(out + "/harbour.jpg"), readFile(pix + "/a7_s.jpg"));
    platform.savePanelAnswers.enqueue(out + "/harbour.jpg");
    c->savePicItem->performClick();
    EXPECT_EQ(readFile(out + "/harbour.jpg"), readFile(pix + "/a7_o.jpg"));
    platform.savePanelAnswers.enqueue(out + "/missing/folder/x.jpg"); // a failed copy is reported
    c->savePicItem->performClick();
    EXPECT_TRUE(platform.alerts.size() == 2 && platform.lastAlertMessage().startsWith("The picture could not be"));

    app->viewer().launchPicture();
    EXPECT_EQ(platform.openedFiles, QStringList{pix + "/a7_o.jpg"});
    platform.openFileSucceeds = false;
    app->viewer().launchPicture(); // reported: the third alert, counted at the end
    platform.openFileSucceeds = true;
    QFile::remove(pix + "/a7_o.jpg");
    open(0);
    EXPECT_TRUE(info().contains("File Size:  1,234,567\n")); // read back, not measured

    // Measured on the square file alone; missing, it counts 0 until it is there. It is what is saved and opened.
    open(1);
    EXPECT_TRUE(info().contains("File Size:  0\n") && storedSize("8") == QStringList{"0"});
    sizedFile("8_s.jpg", 2500);
    open(1);
    EXPECT_TRUE(info().contains("File Size:  2,500\n") && storedSize("8") == QStringList{"2500"});
    platform.savePanelAnswers.enqueue(out + "/small");
    c->savePicItem->performClick();
    EXPECT_EQ(platform.savePanels.last().suggestedName, "8_s");
    EXPECT_EQ(readFile(out + "/small.jpg"), readFile(pix + "/8_s.jpg"));
    app->viewer().launchPicture();
    EXPECT_EQ(platform.openedFiles.last(), pix + "/8_s.jpg");
    open(2);
    EXPECT_TRUE(info().contains("File Size:  4,321\n") && platform.alerts.size() == 3);
}
