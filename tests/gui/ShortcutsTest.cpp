// The keyboard shortcuts, typed into the windows as a user would, and the main window's button images.
#include "QtPlatform.h"
#include "WindowsFixture.h"

#include <array>

namespace {

// Scripted, except that quitting runs through the event loop as on the desktop.
struct DesktopQuitPlatform : ScriptedPlatform {
    void terminate() override {
        ScriptedPlatform::terminate();
        desktop.terminate();
    }
    QtPlatform desktop;
};

// Types a key into the active window's focus widget (or the window).
void type(QWidget* window, QKeyCombination key) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, key.key(), key.keyboardModifiers());
}

// Runs the event loop as main() does: answers whether Tessaly quits within a second.
bool quits() {
    const QObject giveUp; // ends the wait with the function
    QTimer::singleShot(1000, &giveUp, [] { QCoreApplication::exit(1); });
    return QApplication::exec() == 0;
}

} // namespace

class ShortcutsTest : public WindowsFixture<> {
protected:
    // A new start of Tessaly on the archive of three pictures.
    void start(SystemVersion version = {6, 1}) {
        windows.reset();
        restart();
        desktop = std::make_unique<DesktopQuitPlatform>();
        desktop->version = version;
        app = std::make_unique<TSAppDelegate>(*desktop, *store);
        launch();
    }
    void SetUp() override {
        WindowsFixture::SetUp();
        storeAccount("anna");
        start();
        addPictures({"Harbour 1", "Harbour 2", "Harbour 3"}, {}, {8, 6});
    }

    std::unique_ptr<DesktopQuitPlatform> desktop;
};

// Each application shortcut typed into the main window, the search window (the viewer open behind it) and the
// viewer, and each window's close button: what the user sees happen. Tessaly never quits while it downloads.
TEST_F(ShortcutsTest, ApplicationShortcutsWorkFromEveryWindowAndTheViewersKeysStayItsOwn) {
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
        {Qt::Key_unknown, false, {"quits, closes", "closes", "closes"}}, // the close button
        {Qt::Key_unknown, true, {"", "closes", "closes"}},
    };
    for (const Row& row : rows)
        for (int in : {0, 1, 2}) {
            SCOPED_TRACE(QKeySequence(row.key).toString().toStdString() + (row.downloading ? " downloading" : "") +
                         " in the " + (std::array{"main", "search", "viewer"}[in]) + " window");
            start();
            auto& c = app->controls();
            QMainWindow* window = windows->mainWindow();
            if (in > 0) {
                c.searchItem->performClick();
                app->search().controls().searchButton->performClick();
                c.resultsTableView->selectRow(1);
                app->viewer().clickedSquareButton();
                window = in == 2 ? windows->viewerWindow() : windows->searchWindow();
                find("resultsTableView")->setFocus();
            }
            desktop->alertAnswers.enqueue(AlertSecondButton); // Cancel
            app->setInfoDownloadRunning(row.downloading);
            if (row.key.key() == Qt::Key_unknown)
                window->close();
            else
                type(window, row.key);

            QStringList seen;
            const auto see = [&](bool happened, const QString& effect) {
                if (happened)
                    seen << effect;
            };
            if (desktop->terminateRequests > 0)
                seen << (quits() ? "quits" : "quit cancelled");
            see(!window->isVisible(), "closes");
            see(windows->prefPanel()->isVisible(), "preferences");
            see(c.searchWindow->isVisible() && !app->state().resultsShown && !c.imageWindow->isVisible(), "new search");
            see(find("exportPanel")->isVisible(), "export");
            see(!desktop->alerts.isEmpty(), "alert " + desktop->alerts.value(0).title);
            see(app->state().resultsShown && c.resultsTableView->numberOfSelectedRows() == 0 &&
                    !c.deselectItem->isEnabled(),
                "deselects");
            see(app->viewer().controls().imageNumberTextField->stringValue() == "3 of 3", "next picture");
            see(!desktop->savePanels.isEmpty(), "save");
            EXPECT_EQ(seen.join(", ").toStdString(), row.effects[in]);
        }
}

TEST_F(ShortcutsTest, DeleteInATextFieldEditsTheTextAndNeverDeletesPictures) {
    type(windows->mainWindow(), Qt::ControlModifier | Qt::Key_F);
    app->search().controls().searchButton->performClick();
    app->controls().resultsTableView->selectRowIndexes({1});
    auto* quick = find<QLineEdit>("quickSearch");
    quick->setText("harbour");
    quick->setFocus();
    quick->setCursorPosition(0);
    type(windows->searchWindow(), Qt::Key_Delete);
    EXPECT_EQ(quick->text(), "arbour");
    EXPECT_TRUE(desktop->alerts.isEmpty());
}

TEST_F(ShortcutsTest, TheButtonsShowTheImagesTheirModelsName) {
    const auto image = [](const QIcon& icon) {
        return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    EXPECT_EQ(app->controls().oauthAuthButton->imageName(), "flickr.png"); // from the interface file
    EXPECT_EQ(image(find<QPushButton>("oauthAuthButton")->icon()), image(QIcon(":/images/flickr.png")));
    start({10, 6}); // the older images
    EXPECT_EQ(image(find<QPushButton>("searchDbButton")->icon()), image(QIcon(":/images/glyphicon_bigsearch_sl.png")));
}
