// The SQL editor, the saved searches and the way into the search window.
#include "SearchController.h"

#include "TSAppDelegate.h"
#include "TSAppState.h"

namespace tessaly {

namespace {
const QString kSavedSearchesKey = QStringLiteral("savedSearches");
} // namespace

void SearchController::editSqlString() {
    if (!datesAreValid())
        return;
    m_selectString.clear();
    m_whereString.clear();
    makeSearchSQL();
    m_sqlString = m_selectString;
    m_c.beginSqlTextField->setStringValue(m_sqlString);
    m_sqlString += m_whereString;
    m_c.whereTextField->setStringValue(m_whereString);
    m_c.SQLPanel->beginSheet(c.searchWindow);
}

void SearchController::makeSQLString() {
    m_whereString = m_c.whereTextField->stringValue();
    m_sqlString = m_selectString + m_whereString;
    retrieve();
}

void SearchController::cancelEditSQL() {
    m_c.SQLPanel->endSheet();
}

void SearchController::savedSearches() {
    if (!datesAreValid())
        return;
    m_c.SQLPanel->endSheet();
    m_c.savedSearchesTableView->reloadData();
    m_c.savedSearchesTableView->deselectAll();
    m_c.savedSearchesPanel->beginSheet(c.searchWindow);
    m_selectString.clear();
    m_whereString.clear();
    makeSearchSQL();
    m_c.savedSearchTextField->setStringValue(m_selectString + m_whereString);
    m_c.searchNameTextField->setStringValue({});
    m_state.savedSearchName.clear();
    m_state.savedSearchIndex = -1;
}

void SearchController::saveSearch() {
    const QString name = m_c.searchNameTextField->stringValue();
    const QVariantMap entry{{"searchName", name},
                            {"savedSearch", m_c.savedSearchTextField->stringValue()}};
    m_state.savedSearchName = name;
    auto& list = m_state.savedSearchList;
    qsizetype index = -1;
    for (qsizetype i = 0; i < list.size() && index < 0; ++i)
        if (list[i].toMap().value("searchName").toString() == name)
            index = i;
    if (index >= 0) {
        list[index] = entry;
    } else {
        list.append(entry);
        index = list.size() - 1;
    }
    m_state.savedSearchIndex = int(index);
    storeSavedSearches();

    // Read back what the store now holds; only the saved searches are
    // reloaded, so a download or connection under way is left alone.
    loadSavedSearches();
    m_c.savedSearchesTableView->reloadData();
    selectFirstSavedSearch();
}

void SearchController::deleteSearch() {
    auto& s = m_state;
    if (s.savedSearchIndex < 0 || s.savedSearchList.isEmpty() ||
        s.savedSearchIndex >= s.savedSearchList.size())
        return;
    s.savedSearchList.removeAt(s.savedSearchIndex);
    storeSavedSearches();
    s.savedSearchNames.clear();
    for (const QVariant& entry : std::as_const(s.savedSearchList))
        s.savedSearchNames << entry.toMap().value("searchName").toString();
    s.savedSearchIndex = -1;
    m_c.savedSearchesTableView->reloadData();
    selectFirstSavedSearch();
    getSavedSearch();
    setSavedSearch();
}

// Row 0 is selected afresh, so its entry is shown even when row 0 was the
// selection already.
void SearchController::selectFirstSavedSearch() {
    if (m_state.savedSearchList.isEmpty())
        return;
    m_c.savedSearchesTableView->deselectAll();
    m_c.savedSearchesTableView->selectRow(0);
}

void SearchController::storeSavedSearches() {
    DefaultsController& defaults = m_app.defaults();
    defaults.store().setValue(kSavedSearchesKey, m_state.savedSearchList);
    defaults.save();
}

void SearchController::loadSavedSearches() {
    auto& s = m_state;
    PreferencesStore& store = m_app.defaults().store();
    s.savedSearchIndex = -1;
    s.savedSearchList = store.value(kSavedSearchesKey).toList();
    s.savedSearchNames.clear();
    for (const QVariant& entry : std::as_const(s.savedSearchList))
        s.savedSearchNames << entry.toMap().value("searchName").toString();
    if (!s.savedSearchList.isEmpty()) {
        m_c.savedSearchesTableView->reloadData();
        getSavedSearch();
        setSavedSearch();
    }
}

void SearchController::getSavedSearch() {
    auto& s = m_state;
    if (s.savedSearchList.isEmpty())
        s.savedSearchName.clear();
    else if (s.savedSearchIndex >= 0 && s.savedSearchIndex < s.savedSearchNames.size())
        s.savedSearchName = s.savedSearchNames[s.savedSearchIndex];
}

void SearchController::setSavedSearch() {
    const auto& s = m_state;
    if (s.savedSearchIndex < 0 || s.savedSearchIndex >= s.savedSearchList.size())
        return;
    m_c.searchNameTextField->setStringValue(s.savedSearchName);
    m_sqlString = s.savedSearchList[s.savedSearchIndex].toMap().value("savedSearch").toString();
    m_c.savedSearchTextField->setStringValue(m_sqlString);
}

void SearchController::doSavedSearch() {
    m_sqlString = m_c.savedSearchTextField->stringValue();
    m_c.savedSearchesPanel->endSheet();
    retrieve();
}

void SearchController::cancelSavedSearch() {
    m_c.savedSearchesPanel->endSheet();
}

void SearchController::searchDB() {
    m_app.doListDbsButtons();
    resetRetrieve();
    c.window->close();
    m_app.setResultsShown(false);
    c.exportButton->setHidden(true);
    c.exportTextField->setHidden(true);
    c.foundTextField->setHidden(true);
    clearResults();
    c.imageWindow->close();
    m_app.setViewerOpen(false);
    c.searchWindow->makeKeyAndOrderFront();
}

} // namespace tessaly
