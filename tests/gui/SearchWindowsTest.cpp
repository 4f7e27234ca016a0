// The search window's widgets and their models.
#include "AppFixture.h"
#include "AppWindows.h"
#include "ControlTableModel.h"
#include "search/SearchController.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace tessaly;
using tessaly::test::AppFixture;

class SearchWindowsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        storeAccount("anna");
        makeApp(false);
        windows = std::make_unique<AppWindows>(*app);
        app->applicationDidFinishLaunching();
        for (const auto& [id, title, tags] : {std::tuple{"1", "Beach <b>day</b>", "sea&sand"},
                                              std::tuple{"2", "Beach night", "night"}})
            ASSERT_TRUE(app->database()
                            .run("INSERT INTO photos (flickrID,title,tags,latitude,longitude,"
                                 "media,url_sq) VALUES(?,?,?,'0','0','photo','')",
                                 {id, title, tags})
                            .ok());
    }
    void TearDown() override { windows.reset(); }

    template <typename T> T* find(const QString& name) {
        for (QWidget* root : {(QWidget*)windows->searchWindow(), (QWidget*)windows->mainWindow()})
            if (auto* found = root->findChild<T*>(name))
                return found;
        ADD_FAILURE() << "no " << name.toStdString();
        return nullptr;
    }

    std::unique_ptr<AppWindows> windows;
};

TEST_F(SearchWindowsTest, TypingAndReturnSearchAndTheTableShowsLiteralText) {
    find<QPushButton>("searchDbButton")->click();
    QMainWindow* search = windows->searchWindow();
    EXPECT_TRUE(search->isVisible());
    EXPECT_FALSE(windows->mainWindow()->isVisible());
    EXPECT_TRUE(find<QLabel>("foundTextField")->isHidden());
    // The form shows the fresh state of its models.
    EXPECT_EQ(find<QComboBox>("allButton")->currentText(), "all");
    EXPECT_EQ(find<QComboBox>("fieldButton4")->currentText(), "camera make");
    EXPECT_TRUE(find<QRadioButton>("sortDescendingCell")->isChecked());

    auto* field = find<QLineEdit>("searchTextField1");
    QTest::keyClicks(field, "Beach");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(find<QLabel>("foundTextField")->text(), "Found 2 pictures.");
    EXPECT_FALSE(find<QPushButton>("exportButton")->isHidden());

    auto* table = find<QTableView>("resultsTableView");
    ASSERT_EQ(table->model()->rowCount(), 2);
    // Ascending order, chosen with the radio button.
    find<QRadioButton>("sortAscendingCell")->click();
    find<QComboBox>("sortButton")->setCurrentText("title");
    emit find<QComboBox>("sortButton")->activated(3);
    find<QPushButton>("searchButton")->click();
    const QModelIndex text = table->model()->index(0, 1);
    // Markup in a title stays text; the colour runs come with it.
    EXPECT_TRUE(text.data().toString().contains("TITLE: Beach <b>day</b>\n"));
    EXPECT_EQ(text.data(ControlTableModel::StyledTextRole).value<StyledText>().spans.size(), 5);
    EXPECT_EQ(table->model()->index(0, 0).data(Qt::DecorationRole).value<QImage>().deviceIndependentSize(),
              QSizeF(32, 32));
    EXPECT_FALSE(table->model()->index(0, 0).data(Qt::DisplayRole).isValid());

    // A click in the thumbnail column runs the viewer's hook.
    int opened = 0;
    app->search().setClickedSquareButton([&] { ++opened; });
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(table->model()->index(1, 0)).center());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(app->controls().resultsTableView->selectedRow(), 1);

    // The main window's menus are here too; closing the window goes home.
    QStringList menus;
    for (QAction* menu : search->menuBar()->actions())
        menus << menu->text();
    EXPECT_TRUE(menus.contains("&Archive"));
    search->close();
    EXPECT_FALSE(search->isVisible());
    EXPECT_TRUE(windows->mainWindow()->isVisible());
    EXPECT_EQ(table->model()->rowCount(), 0);
}

TEST_F(SearchWindowsTest, ValueMenuAndSheets) {
    app->search().searchDB();
    // A tags pick fills the free tags row (row 3).
    find<QToolButton>("listTagsButton")->click();
    QMenu* menu = find<QToolButton>("listTagsButton")->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    QStringList titles;
    for (QAction* action : menu->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({"night", "sea&&sand"})); // "&" is no mnemonic
    menu->actions()[1]->trigger();
    EXPECT_EQ(find<QLineEdit>("searchTextField3")->text(), "sea&sand");
    menu->close();

    // The SQL editor as a sheet of the search window.
    find<QPushButton>("editSqlButton")->click();
    auto* sqlPanel = windows->searchWindow()->findChild<QDialog*>("SQLPanel");
    ASSERT_TRUE(sqlPanel && sqlPanel->isVisible());
    EXPECT_EQ(sqlPanel->windowModality(), Qt::WindowModal);
    auto* where = sqlPanel->findChild<QPlainTextEdit*>("whereTextField");
    EXPECT_EQ(where->toPlainText(), R"(WHERE tags LIKE "%sea&sand%" ORDER BY datetaken DESC)");
    where->setPlainText(" ORDER BY title");
    sqlPanel->findChild<QPushButton*>("makeSqlStringButton")->click();
    EXPECT_FALSE(sqlPanel->isVisible());
    EXPECT_EQ(find<QLabel>("foundTextField")->text(), "Found 2 pictures.");

    // Saving a search shows it in the saved-searches table.
    find<QPushButton>("savedSearchesButton")->click();
    auto* saved = windows->searchWindow()->findChild<QDialog*>("savedSearchesPanel");
    ASSERT_TRUE(saved && saved->isVisible());
    QTest::keyClicks(saved->findChild<QLineEdit*>("searchNameTextField"), "sea and sand");
    saved->findChild<QPushButton*>("saveSearchButton")->click();
    auto* list = saved->findChild<QTableView*>("savedSearchesTableView");
    ASSERT_EQ(list->model()->rowCount(), 1);
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "sea and sand");
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);
}
