#include "SearchController.h"

#include "DateFieldFormatter.h"
#include "PlatformServices.h"
#include "TSAppDelegate.h"
#include "TSAppState.h"
#include "archive/ArchiveDatabase.h"
#include "sync/Pacing.h"

namespace tessaly {

SearchController::SearchController(TSAppDelegate& app, TSAppState& state, TSControls& controls,
                                   ArchiveDatabase& database, PlatformServices& platform)
    : m_app(app), m_state(state), c(controls), m_c(controls), m_database(database),
      m_platform(platform) {
    wireActions();
}

SearchController::~SearchController() = default;

void SearchController::wireActions() {
    c.searchDbButton->setAction([this] { searchDB(); });
    c.searchItem->setAction([this] { searchDB(); });
    c.editSqlItem->setAction([this] { editSqlString(); });
    c.resultsTableView->setAction([this] {
        if (m_clickedSquareButton)
            m_clickedSquareButton();
    });

    // Return in any field of the form runs the search.
    const auto search = [this] { retrievePix(); };
    m_c.searchButton->setAction(search);
    QList<TextField*> fields = {m_c.quickSearch, m_c.viewsTextField, m_c.latlonTextField};
    fields += c.searchTextFields;
    fields += m_c.dateFields();
    for (TextField* field : fields)
        field->setAction(search);
    m_c.resetButton->setAction([this] { resetRetrieve(); });
    m_c.editSqlButton->setAction([this] { editSqlString(); });
    m_c.savedSearchesButton->setAction([this] { savedSearches(); });

    for (int i = 0; i < 6; ++i)
        m_c.clearTextButtons[i]->setAction([this, i] { clearText(i); });
    m_c.clearLatlonButton->setAction([this] { clearLatlon(); });
    m_c.clearTakenBeginningButton->setAction([this] { clearTakenBeginning(); });
    m_c.clearTakenEndingButton->setAction([this] { clearTakenEnding(); });
    m_c.clearUploadBeginningButton->setAction([this] { clearUploadBeginning(); });
    m_c.clearUploadEndingButton->setAction([this] { clearUploadEnding(); });
    m_c.clearLastBeginningButton->setAction([this] { clearLastBeginning(); });
    m_c.clearLastEndingButton->setAction([this] { clearLastEnding(); });
    m_c.clearViewsButton->setAction([this] { clearViews(); });

    m_c.listTagsButton->setAction([this] { setTagsField(); });
    m_c.listMakeButton->setAction([this] { setMakeField(); });
    m_c.listModelButton->setAction([this] { setModelField(); });
    m_c.listSetsButton->setAction([this] { setSetsField(); });

    m_c.makeSqlStringButton->setAction([this] { makeSQLString(); });
    m_c.cancelEditSqlButton->setAction([this] { cancelEditSQL(); });
    m_c.saveSearchButton->setAction([this] { saveSearch(); });
    m_c.deleteSearchButton->setAction([this] { deleteSearch(); });
    m_c.doSavedSearchButton->setAction([this] { doSavedSearch(); });
    m_c.cancelSavedSearchButton->setAction([this] { cancelSavedSearch(); });
}

void SearchController::stopStatement() {
    if (m_watch)
        m_watch->stop();
}

search::SearchForm SearchController::searchForm() const {
    search::SearchForm form;
    form.quickSearch = m_c.quickSearch->stringValue();
    form.combination = m_c.allButton->titleOfSelectedItem();
    for (int i = 0; i < 6; ++i)
        form.rows[std::size_t(i)] = {c.fieldButtons[i]->titleOfSelectedItem(),
                                     c.opsButtons[i]->titleOfSelectedItem(),
                                     c.searchTextFields[i]->stringValue()};
    form.takenBeginning = m_c.takenBeginning->stringValue();
    form.takenEnding = m_c.takenEnding->stringValue();
    form.uploadBeginning = m_c.uploadBeginning->stringValue();
    form.uploadEnding = m_c.uploadEnding->stringValue();
    form.lastBeginning = m_c.lastBeginning->stringValue();
    form.lastEnding = m_c.lastEnding->stringValue();
    form.familyCheck = m_c.familyCheck->state() == Button::On;
    form.friendCheck = m_c.friendCheck->state() == Button::On;
    form.publicCheck = m_c.publicCheck->state() == Button::On;
    form.flashCheck = m_c.flashCheck->state() == Button::On;
    form.videoCheck = m_c.videoCheck->state() == Button::On;
    form.viewsOperator = m_c.viewsButton->titleOfSelectedItem();
    form.viewsText = m_c.viewsTextField->stringValue();
    form.viewsValue = m_c.viewsTextField->intValue();
    form.latlon = m_c.latlonTextField->stringValue();
    form.distanceIndex = m_c.distanceButton->indexOfSelectedItem();
    form.sortTitle = m_c.sortButton->titleOfSelectedItem();
    form.sortRow = m_c.sortMatrix->selectedRow();
    return form;
}

void SearchController::makeSearchSQL() {
    const search::SearchSql sql =
        search::makeSearchSQL(searchForm(), m_sets, m_state.distanceValues);
    m_selectString = sql.selectString;
    m_whereString = sql.whereString;
    m_distance = sql.distance;
    m_centreValid = sql.centreValid;
}

QString SearchController::doFieldButton(int row) const {
    return search::doFieldButton(searchForm(), row, m_sets);
}

void SearchController::resetRetrieve() {
    m_c.allButton->selectItemAtIndex(1);
    for (int i = 0; i < 6; ++i)
        c.fieldButtons[i]->selectItemAtIndex(i);
    for (PopUpButton* ops : std::as_const(c.opsButtons))
        ops->selectItemAtIndex(0);
    for (TextField* text : std::as_const(c.searchTextFields))
        text->setStringValue({});
    m_c.quickSearch->setStringValue({});
    for (TextField* date : m_c.dateFields())
        date->setStringValue({});
    for (Button* check :
         {m_c.familyCheck, m_c.friendCheck, m_c.publicCheck, m_c.flashCheck, m_c.videoCheck})
        check->setState(Button::Off);
    m_c.viewsButton->selectItemAtIndex(0);
    m_c.viewsTextField->setStringValue({});
    m_c.latlonTextField->setStringValue({});
    m_c.sortButton->selectItemAtIndex(0);
}

// A date field holds a date or nothing; a text that is neither is pointed
// out instead of being searched as if the field were empty.
bool SearchController::datesAreValid() {
    for (TextField* field : m_c.dateFields()) {
        const QString text = field->stringValue();
        if (!DateFieldFormatter::isAcceptable(text)) {
            m_platform.alert("Invalid Date",
                             QString("\"%1\" is not a date. Dates are written as year-month-day, "
                                     "for example 2011-06-04.")
                                 .arg(text));
            return false;
        }
    }
    return true;
}

void SearchController::closeProgressPanel() {
    c.indicator->stopAnimation();
    c.progressPanel->close();
}

void SearchController::showStopPanel() {
    c.progressStopButton->setHidden(false);
    c.progressPanel->setModal(true);
    if (!c.progressPanel->isVisible())
        m_app.doProgressPanel("Searching for pictures...");
}

void SearchController::retrievePix() {
    if (!datesAreValid())
        return;
    c.progressTextField->setStringValue("0");
    c.progressTextField->setHidden(false);
    makeSearchSQL();
    m_sqlString = m_selectString + m_whereString;
    m_state.infoMode = 0;

    if (!m_c.latlonTextField->stringValue().isEmpty() &&
        (!m_centreValid || !search::centreInRange(m_distance))) {
        m_platform.criticalAlert({}, QString::asprintf("Invalid Latitude and longitude: %f,%f",
                                                       m_distance.searchLatitude,
                                                       m_distance.searchLongitude));
        closeProgressPanel();
        return;
    }
    m_app.doProgressPanel("Searching for pictures...");
    retrieve();
}

bool SearchController::runStatement(const QString& sql, const search::DistanceFilter& filter) {
    m_sqlString = sql;
    m_distance = filter;
    m_state.infoMode = 0;
    return retrieve();
}

bool SearchController::refreshResults() {
    if (m_shownStatement.isEmpty())
        return false;
    return runStatement(m_shownStatement, m_shownDistance);
}

bool SearchController::retrieve() {
    m_c.SQLPanel->endSheet();
    clearResults();

    const QString pixPath = m_state.pixPath;
    // The rows arrive in these lists, shown only once the statement is done.
    QList<ResultsRow> rows;
    QList<SqlRow> records;
    QStringList ids;
    SqlResult result;
    StatementWatch::Ending ending;
    {
        StatementWatch watch(m_database, {m_statementLimitMs, 150, [this] { showStopPanel(); }, m_stopRequested});
        m_watch = &watch;
        result = m_database.query(m_sqlString, [&](const SqlRow& row) {
            if (auto built = search::buildResultsRow(row.values, m_distance, pixPath)) {
                ids.append(built->flickrID);
                rows.append(built->row);
                records.append(row);
            }
            return 0;
        });
        m_watch = nullptr;
        ending = watch.ending();
    }
    c.progressStopButton->setHidden(true);
    c.progressPanel->setModal(false);
    closeProgressPanel();
    m_stopped = ending == StatementWatch::Ending::Stopped;
    if (!result.ok()) {
        clearResults();
        if (ending == StatementWatch::Ending::TimedOut)
            m_platform.criticalAlert({}, QString("The search was stopped after %1: it took longer than Tessaly "
                                                 "allows. Narrow it down and try again.")
                                             .arg(sync::durationText(double(m_statementLimitMs) / 1000.0)));
        else if (!m_stopped)
            m_platform.criticalAlert({}, QString("SQL Error: %1 %2").arg(result.message, m_sqlString));
        return false;
    }
    m_shownStatement = m_sqlString;
    m_shownDistance = m_distance;
    m_state.resultIDs = ids;
    m_resultRows = rows;
    m_resultRecords = records;
    m_app.setResultsShown(true);
    c.exportButton->setHidden(false);
    c.exportTextField->setHidden(false);
    c.foundTextField->setHidden(false);
    c.resultsTableView->reloadData();
    c.foundTextField->setStringValue(search::foundText(m_resultRows.size()));
    return true;
}

void SearchController::clearResults() {
    m_shownStatement.clear();
    m_state.resultIDs.clear();
    m_resultRows.clear();
    m_resultRecords.clear();
    m_thumbnails.clear();
    c.resultsTableView->reloadData();
}

bool SearchController::servesTable(const TableView* table) const {
    return table == c.resultsTableView || table == m_c.savedSearchesTableView;
}

int SearchController::numberOfRowsInTableView(const TableView* table) const {
    if (table == c.resultsTableView)
        return int(m_resultRows.size());
    if (table == m_c.savedSearchesTableView)
        return int(m_state.savedSearchNames.size());
    return 0;
}

QVariant SearchController::tableViewObjectValueForTableColumnRow(const TableView* table,
                                                                 const QString& column,
                                                                 int row) const {
    if (table == c.resultsTableView && row >= 0 && row < m_resultRows.size()) {
        // The thumbnail is read when its row is first shown.
        if (column == QLatin1String("resultsButton"))
            return m_thumbnails.thumbnail(m_resultRows[row].squareFile());
        if (column == QLatin1String("resultsText"))
            return QVariant::fromValue(m_resultRows[row].resultsText());
    }
    if (table == m_c.savedSearchesTableView && row >= 0 && row < m_state.savedSearchNames.size())
        return m_state.savedSearchNames[row];
    return {};
}

void SearchController::tableViewSelectionDidChange(TableView* table) {
    if (table != m_c.savedSearchesTableView)
        return;
    m_state.savedSearchIndex = table->selectedRow();
    if (m_state.savedSearchIndex >= 0) {
        getSavedSearch();
        setSavedSearch();
    }
}

} // namespace tessaly
