// The keyboard shortcuts, typed into the windows as a user would (the
// viewer's own keys are in ViewerWindowTest), and the images the interface
// file gives the main window's buttons.
#include "AppFixture.h"
#include "AppWindows.h"
#include "export/ExportController.h"
#include "search/SearchController.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace tessaly;
using tessaly::test::AppFixture;

class ShortcutsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        pix = storeAccount("anna");
    }
    void launch() {
        makeApp(false);
        windows = std::make_unique<AppWindows>(*app);
        app->applicationDidFinishLaunching();
        for (const char* id : {"1", "2", "3"})
            ASSERT_TRUE(app->database()
                            .run("INSERT OR REPLACE INTO photos (flickrID,title,media) VALUES(?,?,'photo')",
                                 {id, QString("Harbour %1").arg(id)})
                            .ok());
    }
    void TearDown() override { windows.reset(); }

    // Types a key into the active window's focus widget (or the window).
    static void type(QWidget* window, QKeyCombination key) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QWidget* target = window->focusWidget() ? window->focusWidget() : window;
        QTest::keyClick(target, key.key(), key.keyboardModifiers());
    }
    QTableView* results() { return windows->searchWindow()->findChild<QTableView*>("resultsTableView"); }

    QString pix;
    std::unique_ptr<AppWindows> windows;
};

TEST_F(ShortcutsTest, SearchSelectionExportAndDeletionFromTheKeyboard) {
    launch();
    auto& c = app->controls();
    type(windows->mainWindow(), Qt::ControlModifier | Qt::Key_F);
    ASSERT_TRUE(c.searchWindow->isVisible());
    QMainWindow* search = windows->searchWindow();
    app->search().controls().searchButton->performClick();
    ASSERT_EQ(c.resultsTableView->numberOfRows(), 3);

    // Delete in a text field edits the text; it never deletes pictures.
    auto* quick = search->findChild<QLineEdit*>("quickSearch");
    c.resultsTableView->selectRowIndexes({0, 1});
    quick->setText("harbour");
    quick->setFocus();
    quick->setCursorPosition(0);
    type(search, Qt::Key_Delete);
    EXPECT_EQ(quick->text(), "arbour");
    EXPECT_TRUE(platform.alerts.isEmpty());

    // Ctrl+Shift+A deselects all, from the results too.
    results()->setFocus();
    type(search, Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_A);
    EXPECT_EQ(c.resultsTableView->numberOfSelectedRows(), 0);
    EXPECT_FALSE(c.deselectItem->isEnabled());

    // Ctrl+E opens the export panel for the selection.
    c.resultsTableView->selectRowIndexes({1});
    type(search, Qt::ControlModifier | Qt::Key_E);
    EXPECT_TRUE(app->exporting().controls().exportPanel->isVisible());
    app->exporting().controls().exportPanel->close();

    // Delete on the results asks, and deletes the selected picture on "Delete".
    platform.alertAnswers.enqueue(AlertSecondButton); // Cancel
    results()->setFocus();
    type(search, Qt::Key_Delete);
    ASSERT_EQ(platform.alerts.size(), 1);
    EXPECT_EQ(platform.alerts[0].title, "Delete Pictures");
    EXPECT_EQ(c.resultsTableView->numberOfRows(), 3);
    type(search, Qt::Key_Delete);
    EXPECT_EQ(c.resultsTableView->numberOfRows(), 2);
    EXPECT_EQ(app->state().resultIDs, QStringList({"1", "3"}));
}

TEST_F(ShortcutsTest, PreferencesQuitAndTheMainWindowsCloseButton) {
    launch();
    auto& c = app->controls();
    QMainWindow* main = windows->mainWindow();
    type(main, Qt::ControlModifier | Qt::Key_Comma);
    EXPECT_TRUE(c.prefPanel->isVisible());
    EXPECT_TRUE(windows->prefPanel()->isVisible());
    c.prefPanel->close();

    // While the information download runs, neither Ctrl+Q nor the close
    // button quits, and the window stays.
    app->setInfoDownloadRunning(true);
    type(main, Qt::ControlModifier | Qt::Key_Q);
    EXPECT_FALSE(main->close());
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(c.window->isVisible());
    EXPECT_EQ(platform.terminateRequests, 0);

    app->setInfoDownloadRunning(false);
    type(main, Qt::ControlModifier | Qt::Key_Q);
    EXPECT_EQ(platform.terminateRequests, 1);
    EXPECT_TRUE(main->close());
    EXPECT_EQ(platform.terminateRequests, 2);
}

TEST_F(ShortcutsTest, TheButtonsShowTheImagesOfTheInterfaceFileOrTheOlderOnes) {
    const auto sameImage = [](QPushButton* button, const QString& file) {
        const QImage shown = button->icon().pixmap(QSize(32, 32)).toImage();
        const QImage expected = QIcon(file).pixmap(QSize(32, 32)).toImage();
        return !shown.isNull() && shown.convertToFormat(QImage::Format_ARGB32) ==
                                      expected.convertToFormat(QImage::Format_ARGB32);
    };
    launch();
    QMainWindow* main = windows->mainWindow();
    const auto button = [&](const char* name) { return main->findChild<QPushButton*>(name); };
    EXPECT_EQ(app->controls().oauthAuthButton->imageName(), "flickr.png");
    EXPECT_TRUE(sameImage(button("oauthAuthButton"), ":/images/flickr.png"));
    EXPECT_TRUE(sameImage(button("downloadButton"), ":/images/glyphicon_bigdownload.png"));
    EXPECT_TRUE(sameImage(button("searchDbButton"), ":/images/glyphicon_bigsearch.png"));
    EXPECT_FALSE(sameImage(button("searchDbButton"), ":/images/glyphicon_bigsearch_sl.png"));
    // Crisp on high-DPI screens: every image has its double-size drawing.
    EXPECT_EQ(QImage(":/images/flickr@2x.png").size(), QSize(64, 64));
    EXPECT_EQ(QImage(":/images/nopic@2x.png").size(), QSize(480, 360));

    windows.reset();
    restart();
    platform.version = {10, 6};
    launch();
    main = windows->mainWindow();
    EXPECT_TRUE(sameImage(button("oauthAuthButton"), ":/images/flickr_sl.png"));
    EXPECT_TRUE(sameImage(button("downloadButton"), ":/images/glyphicon_bigdownload_sl.png"));
    EXPECT_TRUE(sameImage(button("downloadFilesButton"), ":/images/glyphicon_bigdownload_sl.png"));
    EXPECT_TRUE(sameImage(button("searchDbButton"), ":/images/glyphicon_bigsearch_sl.png"));
}
