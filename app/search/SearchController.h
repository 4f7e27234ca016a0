#pragma once

#include "ResultRows.h"
#include "SearchControls.h"
#include "SearchSql.h"
#include "ThumbnailCache.h"
#include "archive/ArchiveDatabase.h"
#include "archive/StatementWatch.h"

#include <QList>
#include <QVariant>

#include <functional>

namespace tessaly {

class PlatformServices;
class TSAppDelegate;
struct TSAppState;

// The search of the archive: the query builder and quick search, the result
// list, the value menus, the saved searches and the SQL editor. Owned by the
// controller, which forwards its tables' questions here.
class SearchController {
public:
    SearchController(TSAppDelegate& app, TSAppState& state, TSControls& controls,
                     ArchiveDatabase& database, PlatformServices& platform);
    ~SearchController();
    SearchController(const SearchController&) = delete;
    SearchController& operator=(const SearchController&) = delete;

    SearchControls& controls() { return m_c; }

    // The query builder.
    search::SearchForm searchForm() const;
    void makeSearchSQL();
    QString doFieldButton(int row) const;
    void resetRetrieve();
    // The one-field clear actions.
    void clearText1() { clearText(0); }
    void clearText2() { clearText(1); }
    void clearText3() { clearText(2); }
    void clearText4() { clearText(3); }
    void clearText5() { clearText(4); }
    void clearText6() { clearText(5); }
    void clearLatlon() { m_c.latlonTextField->setStringValue({}); }
    void clearTakenBeginning() { m_c.takenBeginning->setStringValue({}); }
    void clearTakenEnding() { m_c.takenEnding->setStringValue({}); }
    void clearUploadBeginning() { m_c.uploadBeginning->setStringValue({}); }
    void clearUploadEnding() { m_c.uploadEnding->setStringValue({}); }
    void clearLastBeginning() { m_c.lastBeginning->setStringValue({}); }
    void clearLastEnding() { m_c.lastEnding->setStringValue({}); }
    void clearViews() { m_c.viewsTextField->setStringValue({}); }

    // Running a search and its result list.
    void retrievePix();
    // False when the statement failed (the alert has been shown).
    bool retrieve();
    // Runs a whole statement as a saved search does, with this distance
    // filter: the way in for a front end that has no search form.
    bool runStatement(const QString& sql, const search::DistanceFilter& filter);
    // Runs again the statement behind the list on show (the builder's, a
    // saved search or a hand-edited one), with its distance filter.
    bool refreshResults();
    // The progress panel's Stop: a statement under way ends.
    void stopStatement();
    // Empties the result list (leaving the search window or the archive).
    void clearResults();
    // How long a statement may run before it is stopped (0: no limit; five
    // minutes unless set), and what else may ask it to stop.
    void setStatementTimeLimit(qint64 ms) { m_statementLimitMs = ms; }
    void setStopRequested(std::function<bool()> stopRequested) { m_stopRequested = std::move(stopRequested); }
    // Whether the last statement ended because it was asked to stop.
    bool wasStopped() const { return m_stopped; }
    const QList<ResultsRow>& resultRows() const { return m_resultRows; }
    // The statement's row behind each result row, as it was read.
    const QList<SqlRow>& resultRecords() const { return m_resultRecords; }

    // The value menus.
    void setTagsField();
    void setMakeField();
    void setModelField();
    void setSetsField();

    // The SQL editor, the saved searches and the way into the search window.
    void editSqlString();
    void makeSQLString();
    void cancelEditSQL();
    void savedSearches();
    void saveSearch();
    void deleteSearch();
    void doSavedSearch();
    void cancelSavedSearch();
    void getSavedSearch();
    void setSavedSearch();
    // Takes the saved searches from the preferences store (part of loading them).
    void loadSavedSearches();
    void searchDB();

    // The statement texts and the distance filter of the last search.
    QString sqlString() const { return m_sqlString; }
    QString selectString() const { return m_selectString; }
    QString whereString() const { return m_whereString; }
    const search::DistanceFilter& distanceFilter() const { return m_distance; }
    const search::SetLists& setLists() const { return m_sets; }

    // A click on a thumbnail opens the viewer on its row; the viewer sets it.
    void setClickedSquareButton(std::function<void()> action) {
        m_clickedSquareButton = std::move(action);
    }

    // The tables of the search, served for the controller.
    bool servesTable(const TableView* table) const;
    int numberOfRowsInTableView(const TableView* table) const;
    QVariant tableViewObjectValueForTableColumnRow(const TableView* table, const QString& column,
                                                   int row) const;
    void tableViewSelectionDidChange(TableView* table);

private:
    void wireActions();
    void clearText(int row) { c.searchTextFields[row]->setStringValue({}); }
    bool datesAreValid();
    void closeProgressPanel();
    // A statement turned out slow: the progress panel, with its Stop button, takes all input.
    void showStopPanel();
    void storeSavedSearches();
    void selectFirstSavedSearch();
    // Fills a value menu from the statement's rows (when it is not filled
    // yet) and opens it; a pick is copied into the first free row of `field`.
    void showValueMenu(PopUpButton* menu, bool* filled, const QString& progressTitle,
                       const QString& statement, bool tagWords, const QString& field);
    void fillMenu(PopUpButton* menu, const QStringList& values, const QString& field);
    void copyMenuValue(PopUpButton* menu, const QString& field);

    TSAppDelegate& m_app;
    TSAppState& m_state;
    TSControls& c;
    SearchControls m_c;
    ArchiveDatabase& m_database;
    PlatformServices& m_platform;

    QString m_sqlString;
    QString m_selectString;
    QString m_whereString;
    search::DistanceFilter m_distance;
    bool m_centreValid = true;
    // What produced the list on show.
    QString m_shownStatement;
    search::DistanceFilter m_shownDistance;
    search::SetLists m_sets; // filled together by the sets menu only
    QList<ResultsRow> m_resultRows;
    QList<SqlRow> m_resultRecords;
    mutable ThumbnailCache m_thumbnails;
    std::function<void()> m_clickedSquareButton;
    qint64 m_statementLimitMs = 5 * 60 * 1000;
    std::function<bool()> m_stopRequested;
    StatementWatch* m_watch = nullptr; // while a statement runs
    bool m_stopped = false;
};

} // namespace tessaly
