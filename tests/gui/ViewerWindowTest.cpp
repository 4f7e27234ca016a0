// The viewer window's widgets and the drag-and-drop image view.
#include "DragDropImageView.h"
#include "WindowsFixture.h"

#include <QSignalSpy>

class ViewerWindowTest : public WindowsFixture<> {};

TEST_F(ViewerWindowTest, AThumbnailOpensTheViewerWhoseKeysStepThroughTheResultsAndWhosePictureDrags) {
    storeAccount("anna");
    launch();
    addPictures({"Harbour 1", "Harbour 2", "Harbour 3"});
    searchAll();
    auto* table = find<QTableView>("resultsTableView");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(0, 0)).center());
    QMainWindow* viewer = windows->viewerWindow();
    ASSERT_TRUE(viewer->isVisible());
    auto* view = find<DragDropImageView>("imageView");

    // The information text: literal, blue labels, selectable but read-only.
    auto* info = find<QTextEdit>("imageInfoTextView");
    EXPECT_EQ(info->toPlainText(), app->viewer().infoText().text);
    EXPECT_TRUE(info->isReadOnly());
    EXPECT_EQ(viewer->focusWidget(), info);
    QTextCursor cursor(info->document());
    cursor.setPosition(int(info->toPlainText().indexOf("Title:  Harbour 1")) + 1);
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(0, 0, 255));
    cursor.setPosition(cursor.position() + 8); // the value
    EXPECT_NE(cursor.charFormat().foreground().color(), QColor(0, 0, 255));
    info->selectAll();
    QTest::keyClick(info, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), info->toPlainText());

    // Right and Page Down step on, Left and Page Up back, even from the text.
    viewer->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
    const std::pair<Qt::Key, int> steps[] = {
        {Qt::Key_Right, 2}, {Qt::Key_PageDown, 3}, {Qt::Key_PageDown, 3}, {Qt::Key_Left, 2}, {Qt::Key_PageUp, 1}};
    for (const auto& [key, shown] : steps) {
        QTest::keyClick(info, key);
        EXPECT_EQ(find<QLabel>("imageNumberTextField")->text(), QString("%1 of 3").arg(shown)) << key;
        EXPECT_EQ(table->selectionModel()->selectedRows().value(0).row(), shown - 1);
    }

    // A double click on the picture opens it.
    QTest::mouseDClick(view, Qt::LeftButton, {}, view->rect().center());
    EXPECT_EQ(platform.openedFiles, QStringList{path("loc/anna_pix/1_b.jpg")});

    // Dragging out offers a JPEG file named after the title, and the image.
    view->resize(500, 400);
    std::unique_ptr<QMimeData> out(view->dragMimeData());
    ASSERT_EQ(out->urls().size(), 1);
    const QString file = out->urls()[0].toLocalFile();
    EXPECT_EQ(QFileInfo(file).fileName(), "Harbour 1.jpg");
    EXPECT_EQ(QImageReader(file).format(), "jpeg");
    EXPECT_EQ(QImageReader(file).size(), QSize(400, 300));
    EXPECT_EQ(qvariant_cast<QImage>(out->imageData()).size(), QSize(400, 300));
    // Every drag writes afresh; a title never leads out of the folder.
    view->setImageFileName("../boats/at dawn.jpg");
    const QFileInfo second(std::unique_ptr<QMimeData>(view->dragMimeData())->urls().value(0).toLocalFile());
    EXPECT_EQ(second.fileName(), "_.._boats_at dawn.jpg");
    EXPECT_NE(second.absolutePath(), QFileInfo(file).absolutePath());
    // The drag image: the picture as shown, at half opacity, the view's size.
    const QImage dragImage = view->dragPixmap().toImage();
    EXPECT_EQ(dragImage.size(), view->size() * view->devicePixelRatio());
    EXPECT_NEAR(qAlpha(dragImage.pixel(dragImage.rect().center())), 128, 2);

    // An image dragged over: the grey frame, gone when the drag leaves.
    QMimeData incoming;
    incoming.setImageData(QImage(64, 48, QImage::Format_RGB32));
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

    // The window's own close button closes it and changes nothing else.
    viewer->close();
    EXPECT_FALSE(app->controls().imageWindow->isVisible());
    EXPECT_TRUE(app->state().viewerOpen);
}
