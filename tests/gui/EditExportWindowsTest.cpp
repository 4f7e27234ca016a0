// The edit view, the done-editing sheet and the export panel as the user works them, against the stand-in.
#include "WindowsFixture.h"

class EditExportWindowsTest : public WindowsFixture<ServiceFixture> {};

TEST_F(EditExportWindowsTest, TheEditViewSendsWhatIsTypedAndTheExportPanelCopiesTheSelectedPictures) {
    fakeflickr::Options options;
    options.photos = 3;
    startService(options);
    connectAccount();
    ASSERT_TRUE(downloadInformation(false, true));
    dismissFinish();
    ASSERT_TRUE(downloadFiles());
    dismissFinish();
    launch(false);
    searchAll();
    const QString id = app->state().resultIDs.first();
    const auto typeInto = [](const QString& name, const QString& text) {
        find<QLineEdit>(name)->selectAll();
        QTest::keyClicks(find<QLineEdit>(name), text);
    };

    app->controls().resultsTableView->selectRow(0);
    app->viewer().clickedSquareButton();
    QMainWindow* viewer = windows->viewerWindow();
    QTest::mouseClick(find<QPushButton>("editImageButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return find("editView")->isVisible() && !app->flickrRequest().isRunning(); }));
    EXPECT_EQ(viewer->windowTitle(), "Editing Flickr Data");
    auto* title = find<QLineEdit>("editTitleTextField");
    EXPECT_EQ(title->text(), service->photo(id)->title);
    auto* invalidDate = find<QLabel>("invalidDate");
    EXPECT_FALSE(invalidDate->isVisible());

    // A date that is no date: the warning, and nothing sent.
    typeInto("editTitleTextField", "Boats at dawn");
    typeInto("editDateTaken", "2011-02-30");
    QTest::keyClick(title, Qt::Key_Return);
    EXPECT_TRUE(invalidDate->isVisible());
    EXPECT_TRUE(service->writeCalls().isEmpty());

    typeInto("editDateTaken", "2011-02-03 04:05:06");
    find<QPlainTextEdit>("editDescTextField")->setPlainText("Two\nlines");
    typeInto("editLatLon", "-33.85,151.2");
    auto* family = find<QCheckBox>("editFamilyCheck");
    const bool wasFamily = family->isChecked();
    QTest::mouseClick(family, Qt::LeftButton, {}, QPoint(4, family->height() / 2));
    auto* license = find<QComboBox>("editLicensePopUpButton");
    license->setCurrentIndex(9);
    emit license->activated(9);
    QTest::mouseClick(find<QPushButton>("submitFlickrButton"), Qt::LeftButton);
    auto* sheet = find<QDialog>("doneEditingSheet");
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    const fakeflickr::Photo after = *service->photo(id);
    EXPECT_EQ(after.title, "Boats at dawn");
    EXPECT_EQ(after.description, "Two\nlines");
    EXPECT_EQ(after.dateTaken, "2011-02-03 04:05:06");
    EXPECT_EQ(after.isFamily, !wasFamily);
    EXPECT_EQ(after.license, 9);
    EXPECT_DOUBLE_EQ(after.latitude, -33.85);
    // The sheet leads back to the picture.
    QTest::mouseClick(find<QPushButton>("doneEditingButton"), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(viewer->windowTitle(), "Image");
    EXPECT_TRUE(platform.alerts.isEmpty());

    // The export panel shows its figures and its button exports.
    viewer->close();
    app->controls().resultsTableView->selectRowIndexes({1, 2});
    QTest::mouseClick(find<QPushButton>("exportButton"), Qt::LeftButton);
    ASSERT_TRUE(find("exportPanel")->isVisible());
    EXPECT_EQ(find<QLabel>("selectedImagesTextField")->text(), "2 items");
    platform.openPanelAnswers.enqueue({dir.path()});
    QTest::mouseClick(find<QPushButton>("doExportButton"), Qt::LeftButton);
    EXPECT_EQ(platform.lastAlertMessage(), "The picture file(s) have been exported successfully to " + dir.path());
    EXPECT_EQ(QDir(dir.path()).entryList({"*.jpg"}, QDir::Files).size(), 2);
}
