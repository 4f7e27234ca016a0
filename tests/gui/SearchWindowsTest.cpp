// The search window's widgets and their models.
#include "ControlTableModel.h"
#include "WindowsFixture.h"

class SearchWindowsTest : public WindowsFixture<> {};

TEST_F(SearchWindowsTest, TheFormSearchesTheTableShowsLiteralTextAndTheSqlSheetWorks) {
    storeAccount("anna");
    launch();
    addPictures({"Beach <b>day</b>", "Beach night"}, {"sea&sand", "night"});
    find<QPushButton>("searchDbButton")->click();
    EXPECT_TRUE(windows->searchWindow()->isVisible());
    EXPECT_TRUE(find<QRadioButton>("sortDescendingCell")->isChecked());
    auto* field = find<QLineEdit>("searchTextField1");
    QTest::keyClicks(field, "Beach");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(find<QLabel>("foundTextField")->text(), "Found 2 pictures.");

    // Ascending order by title, chosen with the radio button and the pop-up.
    auto* table = find<QTableView>("resultsTableView");
    auto* model = table->model();
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
    auto* menu = find<QToolButton>("listTagsButton")->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "night");
    EXPECT_EQ(menu->actions()[1]->text(), "sea&&sand");
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
    find<QPushButton>("makeSqlStringButton")->click();
    EXPECT_FALSE(sqlPanel->isVisible());

    // Closing the window goes home.
    windows->searchWindow()->close();
    EXPECT_FALSE(windows->searchWindow()->isVisible());
    EXPECT_TRUE(windows->mainWindow()->isVisible());
    EXPECT_EQ(model->rowCount(), 0);
}
