// The search window's widgets and their models.
#include "ControlTableModel.h"
#include "WindowsFixture.h"

using namespace tessaly;
using namespace tessaly::test;

class SearchWindowsTest : public WindowsFixture<> {};

TEST_F(SearchWindowsTest, TheFormSearchesTheTableShowsLiteralTextAndTheSheetsWork) {
    storeAccount("anna");
    launch();
    addPictures({"Beach <b>day</b>", "Beach night"}, {"sea&sand", "night"});
    find<QPushButton>("searchDbButton")->click();
    QMainWindow* search = windows->searchWindow();
    EXPECT_TRUE(search->isVisible());
    EXPECT_FALSE(windows->mainWindow()->isVisible());
    auto* found = find<QLabel>("foundTextField");
    EXPECT_TRUE(found->isHidden());
    EXPECT_TRUE(find<QRadioButton>("sortDescendingCell")->isChecked());
    auto* field = find<QLineEdit>("searchTextField1");
    QTest::keyClicks(field, "Beach");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(found->text(), "Found 2 pictures.");

    // Ascending order by title, chosen with the radio button and the pop-up.
    auto* table = find<QTableView>("resultsTableView");
    auto* model = table->model();
    ASSERT_EQ(model->rowCount(), 2);
    find<QRadioButton>("sortAscendingCell")->click();
    auto* sort = find<QComboBox>("sortButton");
    sort->setCurrentText("title");
    emit sort->activated(3);
    find<QPushButton>("searchButton")->click();
    // Markup in a title stays text; the colour runs come with it.
    const QModelIndex text = model->index(0, 1);
    EXPECT_TRUE(text.data().toString().contains("TITLE: Beach <b>day</b>\n"));
    EXPECT_EQ(text.data(ControlTableModel::StyledTextRole).value<StyledText>().spans.size(), 5);
    EXPECT_EQ(model->index(0, 0).data(Qt::DecorationRole).value<QImage>().deviceIndependentSize(), QSizeF(75, 75));
    EXPECT_FALSE(model->index(0, 0).data(Qt::DisplayRole).isValid());
    // A click in the thumbnail column runs the viewer's hook.
    int opened = 0;
    app->search().setClickedSquareButton([&] { ++opened; });
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(model->index(1, 0)).center());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(app->controls().resultsTableView->selectedRow(), 1);

    // A tags pick fills the free tags row (row 3); "&" is no mnemonic.
    find<QToolButton>("listTagsButton")->click();
    QMenu* menu = find<QToolButton>("listTagsButton")->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    QStringList titles;
    for (QAction* action : menu->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({"night", "sea&&sand"}));
    menu->actions()[1]->trigger();
    EXPECT_EQ(find<QLineEdit>("searchTextField3")->text(), "sea&sand");
    menu->close();

    // The SQL editor as a sheet of the search window.
    find<QPushButton>("editSqlButton")->click();
    auto* sqlPanel = find<QDialog>("SQLPanel");
    ASSERT_TRUE(sqlPanel->isVisible());
    EXPECT_EQ(sqlPanel->windowModality(), Qt::WindowModal);
    auto* where = find<QPlainTextEdit>("whereTextField");
    EXPECT_EQ(where->toPlainText(), R"(WHERE title LIKE "%Beach%" AND tags LIKE "%sea&sand%" ORDER BY title ASC)");
    where->setPlainText(" ORDER BY title");
    find<QPushButton>("makeSqlStringButton")->click();
    EXPECT_FALSE(sqlPanel->isVisible());
    EXPECT_EQ(found->text(), "Found 2 pictures.");

    // Saving a search shows it in the saved-searches table.
    find<QPushButton>("savedSearchesButton")->click();
    ASSERT_TRUE(find("savedSearchesPanel")->isVisible());
    QTest::keyClicks(find<QLineEdit>("searchNameTextField"), "sea and sand");
    find<QPushButton>("saveSearchButton")->click();
    auto* list = find<QTableView>("savedSearchesTableView");
    ASSERT_EQ(list->model()->rowCount(), 1);
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "sea and sand");
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);

    // Closing the window goes home.
    search->close();
    EXPECT_FALSE(search->isVisible());
    EXPECT_TRUE(windows->mainWindow()->isVisible());
    EXPECT_EQ(model->rowCount(), 0);
}
