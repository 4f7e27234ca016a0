// The viewer window's widgets, the drag-and-drop image view, and a picture
// of the window showing a demo picture (build/test-screenshots/viewer.png).
#include "AppWindows.h"
#include "DragDropImageView.h"
#include "ServiceFixture.h"
#include "search/SearchController.h"
#include "viewer/ViewerController.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

using namespace tessaly;
using tessaly::test::AppFixture;
using tessaly::test::ServiceFixture;

namespace {

template <typename T> T* child(QWidget* window, const QString& name) {
    auto* found = window->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

// The colour of the character at a position of a text edit.
QColor colourAt(QTextEdit* edit, int position) {
    QTextCursor cursor(edit->document());
    cursor.setPosition(position + 1);
    return cursor.charFormat().foreground().color();
}

void searchAll(TSAppDelegate& app) {
    auto& s = app.search().controls();
    s.sortButton->selectItemWithTitle("title");
    s.sortMatrix->selectCellAtRow(1);
    app.search().searchDB();
    s.searchButton->performClick();
}

} // namespace

class ViewerWindowTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        pix = storeAccount("anna");
        makeApp(false);
        windows = std::make_unique<AppWindows>(*app);
        app->applicationDidFinishLaunching();
        for (const char* id : {"1", "2", "3"}) {
            ASSERT_TRUE(app->database()
                            .run("INSERT INTO photos (flickrID,title,media,url_sq,url_l,latitude,"
                                 "longitude) VALUES(?,?,'photo',?,?,'0','0')",
                                 {id, QString("Harbour %1").arg(id),
                                  QString("https://x/1/%1_s.jpg").arg(id),
                                  QString("https://x/1/%1_b.jpg").arg(id)})
                            .ok());
            QImage picture(400, 300, QImage::Format_RGB32);
            picture.fill(QColor(40, 90, 160));
            picture.save(QString("%1/%2_s.jpg").arg(pix, id));
            picture.save(QString("%1/%2_b.jpg").arg(pix, id));
        }
    }
    void TearDown() override { windows.reset(); }

    QString pix;
    std::unique_ptr<AppWindows> windows;
};

TEST_F(ViewerWindowTest, AThumbnailOpensTheViewerAndTheKeysStepThroughTheResults) {
    searchAll(*app);
    auto* table = child<QTableView>(windows->searchWindow(), "resultsTableView");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(table->model()->index(0, 0)).center());
    QMainWindow* viewer = windows->viewerWindow();
    ASSERT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->windowTitle(), "Image");
    auto* imageView = child<DragDropImageView>(viewer, "imageView");
    EXPECT_EQ(imageView->image().size(), QSize(400, 300));
    EXPECT_EQ(imageView->imageFileName(), "Harbour 1.jpg");
    EXPECT_TRUE(child<QWidget>(viewer, "editView")->isHidden());
    EXPECT_TRUE(child<QPushButton>(viewer, "playVideoButton")->isHidden());
    EXPECT_FALSE(child<QPushButton>(viewer, "prevButton")->isEnabled());

    // The information text: literal, blue labels, selectable but read-only.
    auto* info = child<QTextEdit>(viewer, "imageInfoTextView");
    EXPECT_EQ(info->toPlainText(), app->viewer().infoText().text);
    EXPECT_TRUE(info->isReadOnly());
    EXPECT_EQ(viewer->focusWidget(), info);
    const int title = int(info->toPlainText().indexOf("Title:  Harbour 1"));
    EXPECT_EQ(colourAt(info, title), QColor(0, 0, 255));
    EXPECT_NE(colourAt(info, title + 8), QColor(0, 0, 255)); // the value
    QTextCursor all(info->document());
    all.select(QTextCursor::Document);
    info->setTextCursor(all);
    QTest::keyClick(info, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), info->toPlainText());

    // Right and Page Down step on, Left and Page Up back, even from the text.
    auto* number = child<QLabel>(viewer, "imageNumberTextField");
    EXPECT_EQ(number->text(), "1 of 3");
    viewer->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
    QTest::keyClick(info, Qt::Key_Right);
    EXPECT_EQ(number->text(), "2 of 3");
    QTest::keyClick(info, Qt::Key_PageDown);
    EXPECT_EQ(number->text(), "3 of 3");
    EXPECT_EQ(table->selectionModel()->selectedRows().value(0).row(), 2);
    QTest::keyClick(info, Qt::Key_PageDown); // the last: nowhere to go
    EXPECT_EQ(number->text(), "3 of 3");
    QTest::keyClick(info, Qt::Key_Left);
    QTest::keyClick(info, Qt::Key_PageUp);
    EXPECT_EQ(number->text(), "1 of 3");
    EXPECT_EQ(imageView->imageFileName(), "Harbour 1.jpg");

    // Ctrl+S saves; a double click on the picture opens it.
    QTest::keyClick(info, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(platform.savePanels.size(), 1);
    EXPECT_EQ(platform.savePanels[0].suggestedName, "1_b");
    QTest::mouseDClick(imageView, Qt::LeftButton, {}, imageView->rect().center());
    EXPECT_EQ(platform.openedFiles, QStringList{pix + "/1_b.jpg"});

    // The window's own close button closes it and changes nothing else.
    viewer->close();
    EXPECT_FALSE(app->controls().imageWindow->isVisible());
    EXPECT_TRUE(app->state().viewerOpen);
    app->revalidateMenuItems();
    EXPECT_FALSE(app->controls().savePicItem->isEnabled());
}

TEST_F(ViewerWindowTest, DragOutWritesTheNamedFileAndDropsShowImagesFromElsewhere) {
    searchAll(*app);
    app->controls().resultsTableView->selectRow(1);
    app->viewer().clickedSquareButton();
    auto* view = child<DragDropImageView>(windows->viewerWindow(), "imageView");
    view->resize(500, 400);

    // Dragging out offers a JPEG file named after the title, and the image.
    std::unique_ptr<QMimeData> out(view->dragMimeData());
    ASSERT_EQ(out->urls().size(), 1);
    const QString file = out->urls()[0].toLocalFile();
    EXPECT_EQ(QFileInfo(file).fileName(), "Harbour 2.jpg");
    QImageReader written(file);
    EXPECT_EQ(written.format(), "jpeg");
    EXPECT_EQ(written.size(), QSize(400, 300));
    EXPECT_EQ(qvariant_cast<QImage>(out->imageData()).size(), QSize(400, 300));
    // Every drag writes afresh; a title never leads out of the folder.
    view->setImageFileName("../boats/at dawn.jpg");
    std::unique_ptr<QMimeData> again(view->dragMimeData());
    const QFileInfo second(again->urls().value(0).toLocalFile());
    EXPECT_EQ(second.fileName(), "_.._boats_at dawn.jpg");
    EXPECT_NE(second.absolutePath(), QFileInfo(file).absolutePath());
    EXPECT_TRUE(QFileInfo::exists(file));
    const QDir target(path("desktop"));
    target.mkpath(".");
    EXPECT_EQ(view->namesOfPromisedFilesDroppedAtDestination(target.path()),
              QStringList{"_.._boats_at dawn.jpg"});
    EXPECT_TRUE(target.exists("_.._boats_at dawn.jpg"));

    // The drag image: the picture as shown, at half opacity, the view's size.
    const QImage dragImage = view->dragPixmap().toImage();
    EXPECT_EQ(dragImage.size(), view->size() * view->devicePixelRatio());
    EXPECT_NEAR(qAlpha(dragImage.pixel(dragImage.rect().center())), 128, 2);

    // An image dragged over: the grey frame, gone when the drag leaves.
    QImage dropped(64, 48, QImage::Format_RGB32);
    dropped.fill(Qt::red);
    QMimeData incoming;
    incoming.setImageData(dropped);
    const QPoint at = view->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &incoming, Qt::LeftButton, {});
    QApplication::sendEvent(view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(view->highlight());
    EXPECT_EQ(view->grab().toImage().pixelColor(2, 2), QColor(128, 128, 128));
    QDragLeaveEvent leave;
    QApplication::sendEvent(view, &leave);
    EXPECT_FALSE(view->highlight());

    // Dropped: shown, not stored; model changes other than a new picture keep it.
    QSignalSpy completed(view, &DragDropImageView::dropComplete);
    QApplication::sendEvent(view, &enter);
    QDropEvent drop(at, Qt::CopyAction, &incoming, Qt::LeftButton, {});
    QApplication::sendEvent(view, &drop);
    EXPECT_FALSE(view->highlight());
    EXPECT_EQ(view->image().size(), QSize(64, 48));
    EXPECT_EQ(completed.size(), 1);
    app->viewer().controls().imageView->setEditable(false);
    EXPECT_EQ(view->image().size(), QSize(64, 48));
    app->viewer().nextImage();
    EXPECT_EQ(view->image().size(), QSize(400, 300));

    // Refused while drops are turned off.
    app->viewer().controls().imageView->setAllowDrop(false);
    QDragEnterEvent refused(at, Qt::CopyAction, &incoming, Qt::LeftButton, {});
    QApplication::sendEvent(view, &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_FALSE(view->highlight());
}

class ViewerScreenshotTest : public ServiceFixture {
protected:
    void TearDown() override {
        windows.reset();
        qputenv("TESSALY_FLICKR_ENDPOINT", "http://127.0.0.1:9");
    }
    std::unique_ptr<AppWindows> windows;
};

TEST_F(ViewerScreenshotTest, TheViewerShowsADemoPictureWithItsInformation) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    fakeflickr::Options options;
    options.photos = 4;
    startService(options);
    connectAccount();
    ASSERT_TRUE(downloadInformation(true, true));
    dismissFinish();
    ASSERT_TRUE(downloadFiles());
    dismissFinish();

    windows = std::make_unique<AppWindows>(*app);
    searchAll(*app);
    ASSERT_EQ(app->controls().resultsTableView->numberOfRows(), 4);
    app->controls().resultsTableView->selectRow(0);
    app->viewer().clickedSquareButton();
    QMainWindow* viewer = windows->viewerWindow();
    ASSERT_TRUE(viewer->isVisible());
    viewer->resize(1180, 760);
    QApplication::processEvents();
    viewer->resize(1180, 760); // after the first show's own sizing
    QApplication::processEvents();

    auto* view = child<DragDropImageView>(viewer, "imageView");
    EXPECT_FALSE(view->image().isNull());
    auto* info = child<QTextEdit>(viewer, "imageInfoTextView");
    EXPECT_TRUE(info->toPlainText().startsWith("\nOwner Name:  "));
    EXPECT_TRUE(info->toPlainText().contains("File Size:  "));

    const QString folder = QStringLiteral(TESSALY_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    EXPECT_TRUE(viewer->grab().save(folder + "/viewer.png"));
}
