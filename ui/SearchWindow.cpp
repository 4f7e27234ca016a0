// The search window, its two sheets and the export panel.
#include "AppWindows.h"

#include "CloseFilter.h"
#include "ControlBinder.h"
#include "StyledTextDelegate.h"
#include "TSAppDelegate.h"
#include "search/ThumbnailCache.h"
#include "ui_SQLPanel.h"
#include "ui_exportPanel.h"
#include "ui_savedSearchesPanel.h"
#include "ui_searchWindow.h"

#include <QDialog>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenuBar>
#include <QTableView>

namespace tessaly {

void AppWindows::makeSearchWindow(TSAppDelegate& app) {
    m_searchWindow = std::make_unique<QMainWindow>();
    Ui::SearchWindowForm searchForm;
    searchForm.setupUi(m_searchWindow.get());
    auto* sqlPanel = new QDialog(m_searchWindow.get());
    Ui::SQLPanelForm sqlForm;
    sqlForm.setupUi(sqlPanel);
    auto* savedPanel = new QDialog(m_searchWindow.get());
    Ui::SavedSearchesPanelForm savedForm;
    savedForm.setupUi(savedPanel);
    auto* exportPanel = new QDialog(m_searchWindow.get());
    Ui::ExportPanelForm exportForm;
    exportForm.setupUi(exportPanel);

    // The menus of the main window serve here too (it is hidden meanwhile).
    for (QAction* menu : m_mainWindow->menuBar()->actions())
        searchForm.searchMenuBar->addAction(menu);

    // Rows of a fixed height: a thumbnail beside five lines of text.
    QTableView* results = searchForm.resultsTableView;
    results->setItemDelegateForColumn(1, new StyledTextDelegate(results));
    const int rowHeight = qMax(ThumbnailCache::kDisplaySize.height() + 6,
                               5 * results->fontMetrics().lineSpacing() + 8);
    results->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    results->verticalHeader()->setDefaultSectionSize(rowHeight);
    results->setIconSize(ThumbnailCache::kDisplaySize);
    m_binder->setTableHeaders("resultsTableView", {"", "Picture"});
    m_binder->setTableHeaders("savedSearchesTableView", {"Name"});
    m_binder->bindWindow(m_searchWindow.get());
    m_binder->bindWindow(sqlPanel);
    m_binder->bindWindow(savedPanel);
    m_binder->bindWindow(exportPanel);
    auto* header = results->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    header->resizeSection(0, ThumbnailCache::kDisplaySize.width() + 12);
    header->setSectionResizeMode(1, QHeaderView::Stretch);

    // The thumbnail column acts as a button: a click opens the picture.
    TableView* resultsModel = app.controls().resultsTableView;
    connect(results, &QTableView::clicked, resultsModel, [resultsModel](const QModelIndex& index) {
        if (index.column() == 0)
            resultsModel->performClick();
    });

    // Closing the search window by its own button goes back to the main
    // window, as "Main Window" does, rather than leaving no window at all.
    m_searchWindow->installEventFilter(new CloseFilter(
        [&app] {
            app.goHome();
            return false;
        },
        m_searchWindow.get()));
}

} // namespace tessaly
