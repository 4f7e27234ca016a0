// The edit view, the done-editing sheet and the export panel as the user
// works them, against the stand-in service; a picture of the edit view
// (build/test-screenshots/edit.png).
#include "AppWindows.h"
#include "DragDropImageView.h"
#include "ServiceFixture.h"
#include "editing/EditingController.h"
#include "export/ExportController.h"
#include "search/SearchController.h"
#include "viewer/ViewerController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace tessaly;
using tessaly::test::ServiceFixture;

namespace {

template <typename T> T* child(QWidget* window, const QString& name) {
    auto* found = window->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

} // namespace

class EditExportWindowsTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        fakeflickr::Options options;
        options.photos = 4;
        startService(options);
        connectAccount();
        ASSERT_TRUE(downloadInformation(false, true));
        dismissFinish();
        ASSERT_TRUE(downloadFiles());
        dismissFinish();
        windows = std::make_unique<AppWindows>(*app);
        auto& s = app->search().controls();
        s.sortButton->selectItemWithTitle("title");
        s.sortMatrix->selectCellAtRow(1);
        app->search().searchDB();
        s.searchButton->performClick();
        ASSERT_EQ(app->state().resultIDs.size(), 4);
    }
    void TearDown() override {
        windows.reset();
        qputenv("TESSALY_FLICKR_ENDPOINT", "http://127.0.0.1:9");
    }
    std::unique_ptr<AppWindows> windows;
};

TEST_F(EditExportWindowsTest, TheEditViewSendsWhatIsTypedAndTheSheetLeadsBackToThePicture) {
    const QString id = app->state().resultIDs.first();
    app->controls().resultsTableView->selectRow(0);
    app->viewer().clickedSquareButton();
    QMainWindow* viewer = windows->viewerWindow();
    QTest::mouseClick(child<QPushButton>(viewer, "editImageButton"), Qt::LeftButton);
    auto* editView = child<QWidget>(viewer, "editView");
    ASSERT_TRUE(
        test::waitFor([&] { return editView->isVisible() && !app->flickrRequest().isRunning(); }));
    EXPECT_EQ(viewer->windowTitle(), "Editing Flickr Data");
    EXPECT_FALSE(child<QWidget>(viewer, "imageView")->isVisible());
    EXPECT_FALSE(child<DragDropImageView>(viewer, "editImageView")->image().isNull());
    auto* title = child<QLineEdit>(viewer, "editTitleTextField");
    EXPECT_EQ(title->text(), app->editing().values().title);
    EXPECT_FALSE(title->text().isEmpty());
    auto* license = child<QComboBox>(viewer, "editLicensePopUpButton");
    EXPECT_EQ(license->count(), 11);
    EXPECT_EQ(license->currentIndex(), service->photo(id)->license);
    EXPECT_EQ(child<QComboBox>(viewer, "editPermcommentPopUpButton")->itemText(3), "everybody");
    auto* invalidDate = child<QLabel>(viewer, "invalidDate");
    EXPECT_FALSE(invalidDate->isVisible());

    // A date that is no date: the warning, and nothing sent.
    viewer->resize(1180, 760);
    typeInto(title, "Boats at dawn");
    typeInto(child<QLineEdit>(viewer, "editDateTaken"), "2011-02-30");
    QTest::keyClick(title, Qt::Key_Return);
    EXPECT_TRUE(invalidDate->isVisible());
    EXPECT_TRUE(service->writeCalls().isEmpty());
    QApplication::processEvents();
    const QString folder = QStringLiteral(TESSALY_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    EXPECT_TRUE(viewer->grab().save(folder + "/edit.png"));

    typeInto(child<QLineEdit>(viewer, "editDateTaken"), "2011-02-03 04:05:06");
    child<QPlainTextEdit>(viewer, "editDescTextField")->setPlainText("Two\nlines");
    typeInto(child<QLineEdit>(viewer, "editLatLon"), "-33.85,151.2");
    auto* family = child<QCheckBox>(viewer, "editFamilyCheck");
    const bool wasFamily = family->isChecked();
    QTest::mouseClick(family, Qt::LeftButton, {}, QPoint(4, family->height() / 2));
    license->setCurrentIndex(9);
    emit license->activated(9);
    QTest::mouseClick(child<QPushButton>(viewer, "submitFlickrButton"), Qt::LeftButton);
    auto* sheet = viewer->findChild<QDialog*>("doneEditingSheet");
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(test::waitFor([&] { return sheet->isVisible(); }));
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);

    const fakeflickr::Photo after = *service->photo(id);
    EXPECT_EQ(after.title, "Boats at dawn");
    EXPECT_EQ(after.description, "Two\nlines");
    EXPECT_EQ(after.dateTaken, "2011-02-03 04:05:06");
    EXPECT_EQ(after.isFamily, !wasFamily);
    EXPECT_EQ(after.license, 9);
    EXPECT_DOUBLE_EQ(after.latitude, -33.85);

    QTest::mouseClick(child<QPushButton>(sheet, "doneEditingButton"), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(editView->isVisible());
    EXPECT_EQ(viewer->windowTitle(), "Image");
    EXPECT_TRUE(child<QWidget>(viewer, "imageView")->isVisible());
    EXPECT_TRUE(platform.alerts.isEmpty());
}

TEST_F(EditExportWindowsTest, TheExportPanelCopiesTheSelectedPictures) {
    app->controls().resultsTableView->selectRowIndexes({1, 2});
    QTest::mouseClick(child<QPushButton>(windows->searchWindow(), "exportButton"), Qt::LeftButton);
    auto* panel = windows->searchWindow()->findChild<QDialog*>("exportPanel");
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(child<QLabel>(panel, "selectedImagesTextField")->text(), "2 items");
    auto* naming = child<QComboBox>(panel, "exportNameButton");
    EXPECT_FALSE(child<QLineEdit>(panel, "exportPrefixTextField")->isEnabled());
    naming->setCurrentIndex(2);
    emit naming->activated(2);
    EXPECT_TRUE(child<QLineEdit>(panel, "exportPrefixTextField")->isEnabled());
    typeInto(child<QLineEdit>(panel, "exportPrefixTextField"), "trip");
    QTest::mouseClick(child<QCheckBox>(panel, "textFileCheck"), Qt::LeftButton, {}, QPoint(4, 8));

    const QString out = path("exported");
    QDir().mkpath(out);
    platform.openPanelAnswers.enqueue({out});
    QTest::mouseClick(child<QPushButton>(panel, "doExportButton"), Qt::LeftButton);
    EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name),
              QStringList({"trip_1.jpg", "trip_1.txt", "trip_2.jpg", "trip_2.txt"}));
    EXPECT_EQ(platform.lastAlertMessage(),
              QString("The picture file(s) have been exported successfully to %1").arg(out));
    EXPECT_TRUE(panel->isVisible());

    // Close puts the panel away.
    QTest::mouseClick(child<QPushButton>(panel, "closeExportButton"), Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(app->exporting().controls().exportPanel->isVisible());
}
