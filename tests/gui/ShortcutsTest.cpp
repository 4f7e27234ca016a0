// The keyboard shortcuts, typed into the windows as a user would, and the
// images the interface file gives the main window's buttons.
#include "AppFixture.h"
#include "AppWindows.h"
#include "QtPlatform.h"
#include "export/ExportController.h"
#include "search/SearchController.h"
#include "viewer/ViewerController.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <array>

using namespace tessaly;
using tessaly::test::AppFixture;

namespace {

// Scripted, except that quitting runs through the event loop as on the desktop.
struct DesktopQuitPlatform : ScriptedPlatform {
    void terminate() override {
        ScriptedPlatform::terminate();
        desktop.terminate();
    }
    QtPlatform desktop;
};

} // namespace

class ShortcutsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        pix = storeAccount("anna");
    }
    void launch() {
        app = std::make_unique<TSAppDelegate>(*desktop, *store);
        windows = std::make_unique<AppWindows>(*app);
        app->applicationDidFinishLaunching();
        QImage picture(8, 6, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        for (const char* id : {"1", "2", "3"}) {
            ASSERT_TRUE(app->database()
                            .run("INSERT OR REPLACE INTO photos (flickrID,title,media,url_l) "
                                 "VALUES(?,?,'photo',?)",
                                 {id, QString("Harbour %1").arg(id),
                                  QString("https://x/1/%1_b.jpg").arg(id)})
                            .ok());
            picture.save(QString("%1/%2_b.jpg").arg(pix, id));
        }
    }
    void TearDown() override { windows.reset(); }

    // Types a key into the active window's focus widget (or the window).
    static void type(QWidget* window, QKeyCombination key) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QWidget* target = window->focusWidget() ? window->focusWidget() : window;
        QTest::keyClick(target, key.key(), key.keyboardModifiers());
    }
    // Runs the event loop as main() does: answers whether Tessaly quits within a second.
    static bool quits() {
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
        giveUp.start(1000);
        return QApplication::exec() == 0;
    }
    QTableView* results() { return windows->searchWindow()->findChild<QTableView*>("resultsTableView"); }

    QString pix;
    std::unique_ptr<DesktopQuitPlatform> desktop = std::make_unique<DesktopQuitPlatform>();
    std::unique_ptr<AppWindows> windows;
};

// Each application shortcut typed into the main window, the search window
// (the viewer open behind it) and the viewer: what the user sees happen.
TEST_F(ShortcutsTest, ApplicationShortcutsWorkFromEveryWindowAndTheViewersKeysStayItsOwn) {
    enum { Main, Search, Viewer };
    struct Row {
        QKeyCombination key;
        bool downloading;
        std::array<const char*, 3> effects; // in the main, search and viewer window
    };
    const auto ctrl = Qt::ControlModifier;
    const Row rows[] = {
        {ctrl | Qt::Key_Comma, false, {"preferences", "preferences", "preferences"}},
        {ctrl | Qt::Key_F, false, {"closes, new search", "new search", "closes, new search"}},
        {ctrl | Qt::Key_E, false, {"", "export", "export"}},
        {Qt::Key_Delete, false, {"", "alert Delete Pictures", "alert Delete Pictures"}},
        {ctrl | Qt::ShiftModifier | Qt::Key_A, false, {"", "deselects", "deselects"}},
        {ctrl | Qt::Key_Q, false, {"quits", "quits", "quits"}},
        {ctrl | Qt::Key_Q, true, {"", "", ""}},
        {Qt::Key_Right, false, {"", "", "next picture"}},
        {ctrl | Qt::Key_S, false, {"", "", "save"}},
    };
    for (const Row& row : rows) {
        for (int in : {Main, Search, Viewer}) {
            SCOPED_TRACE(QString("%1%2 in the %3 window")
                             .arg(QKeySequence(row.key).toString(),
                                  row.downloading ? " while downloading" : "",
                                  QStringList{"main", "search", "viewer"}[in])
                             .toStdString());
            windows.reset();
            restart();
            desktop = std::make_unique<DesktopQuitPlatform>();
            launch();
            auto& c = app->controls();
            QMainWindow* window = windows->mainWindow();
            if (in != Main) {
                c.searchItem->performClick();
                app->search().controls().searchButton->performClick();
                ASSERT_EQ(c.resultsTableView->numberOfRows(), 3);
                c.resultsTableView->selectRow(1);
                app->viewer().clickedSquareButton();
                ASSERT_TRUE(c.imageWindow->isVisible());
                window = in == Viewer ? windows->viewerWindow() : windows->searchWindow();
                results()->setFocus();
            }
            desktop->alertAnswers.enqueue(AlertSecondButton); // Cancel
            app->setInfoDownloadRunning(row.downloading);
            type(window, row.key);

            QStringList seen;
            if (desktop->terminateRequests > 0)
                seen << (quits() ? "quits" : "quit cancelled");
            if (!window->isVisible())
                seen << "closes";
            if (windows->prefPanel()->isVisible())
                seen << "preferences";
            if (c.searchWindow->isVisible() && !app->state().resultsShown &&
                !c.imageWindow->isVisible())
                seen << "new search";
            if (app->exporting().controls().exportPanel->isVisible())
                seen << "export";
            if (!desktop->alerts.isEmpty())
                seen << "alert " + desktop->alerts[0].title;
            if (app->state().resultsShown && c.resultsTableView->numberOfSelectedRows() == 0 &&
                !c.deselectItem->isEnabled())
                seen << "deselects";
            if (app->viewer().controls().imageNumberTextField->stringValue() == "3 of 3")
                seen << "next picture";
            if (!desktop->savePanels.isEmpty())
                seen << "save";
            EXPECT_EQ(seen.join(", ").toStdString(), row.effects[in]);
        }
    }
}

TEST_F(ShortcutsTest, DeleteEditsAFieldsTextAndDeletesTheSelectedPicturesFromTheResults) {
    launch();
    auto& c = app->controls();
    type(windows->mainWindow(), Qt::ControlModifier | Qt::Key_F);
    ASSERT_TRUE(c.searchWindow->isVisible());
    QMainWindow* search = windows->searchWindow();
    app->search().controls().searchButton->performClick();
    ASSERT_EQ(c.resultsTableView->numberOfRows(), 3);

    // Delete in a text field edits the text; it never deletes pictures.
    auto* quick = search->findChild<QLineEdit*>("quickSearch");
    c.resultsTableView->selectRowIndexes({1});
    quick->setText("harbour");
    quick->setFocus();
    quick->setCursorPosition(0);
    type(search, Qt::Key_Delete);
    EXPECT_EQ(quick->text(), "arbour");
    EXPECT_TRUE(desktop->alerts.isEmpty());

    // Delete on the results asks, and deletes the selected picture on "Delete".
    desktop->alertAnswers.enqueue(AlertSecondButton); // Cancel
    results()->setFocus();
    type(search, Qt::Key_Delete);
    ASSERT_EQ(desktop->alerts.size(), 1);
    EXPECT_EQ(desktop->alerts[0].title, "Delete Pictures");
    EXPECT_EQ(c.resultsTableView->numberOfRows(), 3);
    type(search, Qt::Key_Delete);
    EXPECT_EQ(c.resultsTableView->numberOfRows(), 2);
    EXPECT_EQ(app->state().resultIDs, QStringList({"1", "3"}));
}

TEST_F(ShortcutsTest, TheMainWindowsCloseButtonQuitsButNotWhileTheInformationDownloads) {
    launch();
    QMainWindow* main = windows->mainWindow();
    app->setInfoDownloadRunning(true);
    EXPECT_FALSE(main->close());
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(app->controls().window->isVisible());
    EXPECT_EQ(desktop->terminateRequests, 0);

    app->setInfoDownloadRunning(false);
    EXPECT_TRUE(main->close());
    EXPECT_EQ(desktop->terminateRequests, 1);
    EXPECT_TRUE(quits());
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
    desktop->version = {10, 6};
    launch();
    main = windows->mainWindow();
    EXPECT_TRUE(sameImage(button("oauthAuthButton"), ":/images/flickr_sl.png"));
    EXPECT_TRUE(sameImage(button("downloadButton"), ":/images/glyphicon_bigdownload_sl.png"));
    EXPECT_TRUE(sameImage(button("downloadFilesButton"), ":/images/glyphicon_bigdownload_sl.png"));
    EXPECT_TRUE(sameImage(button("searchDbButton"), ":/images/glyphicon_bigsearch_sl.png"));
}
