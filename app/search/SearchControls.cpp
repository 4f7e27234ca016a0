#include "SearchControls.h"

namespace tessaly {

namespace {

template <typename T, typename... Args>
T* make(TSControls& parent, const char* name, Args&&... args) {
    return new T(QString::fromLatin1(name), std::forward<Args>(args)..., &parent);
}

Button* button(TSControls& parent, const char* name, const QString& title) {
    auto* b = make<Button>(parent, name);
    b->setTitle(title);
    return b;
}

PopUpButton* popUp(TSControls& parent, const char* name, const QStringList& items) {
    auto* p = make<PopUpButton>(parent, name);
    p->addItemsWithTitles(items);
    return p;
}

} // namespace

SearchControls::SearchControls(TSControls& c) {
    // Field items are column names of the archive, or end in "make", "model"
    // or "sets"; a fresh form shows item n-1 in row n.
    const QStringList fields = {"title",        "description", "tags",     "camera make",
                                "camera model", "sets",        "flickrID", "originalformat"};
    for (int i = 0; i < 6; ++i) {
        c.fieldButtons[i]->removeAllItems();
        c.fieldButtons[i]->addItemsWithTitles(fields);
        c.fieldButtons[i]->selectItemAtIndex(i);
        c.opsButtons[i]->removeAllItems();
        c.opsButtons[i]->addItemsWithTitles({"contains", "does not contain"});
    }

    quickSearch = make<TextField>(c, "quickSearch");
    // A fresh form joins its conditions with AND (item 1).
    allButton = popUp(c, "allButton", {"any", "all"});
    allButton->selectItemAtIndex(1);
    takenBeginning = make<TextField>(c, "takenBeginning");
    takenEnding = make<TextField>(c, "takenEnding");
    uploadBeginning = make<TextField>(c, "uploadBeginning");
    uploadEnding = make<TextField>(c, "uploadEnding");
    lastBeginning = make<TextField>(c, "lastBeginning");
    lastEnding = make<TextField>(c, "lastEnding");
    familyCheck = button(c, "familyCheck", "Family");
    friendCheck = button(c, "friendCheck", "Friends");
    publicCheck = button(c, "publicCheck", "Public");
    flashCheck = button(c, "flashCheck", "Flash fired");
    videoCheck = button(c, "videoCheck", "Videos only");
    viewsButton = popUp(c, "viewsButton", {"greater than", "less than"});
    viewsTextField = make<TextField>(c, "viewsTextField");
    latlonTextField = make<TextField>(c, "latlonTextField");
    // One label per entry of the distance values, in metres.
    distanceButton =
        popUp(c, "distanceButton",
              {"100 m", "500 m", "1 km", "2 km", "5 km", "10 km", "20 km", "100 km", "1000 km"});
    distanceButton->selectItemAtIndex(2);
    // Each title names a column once "camera " and blanks are dropped.
    sortButton = popUp(c, "sortButton",
                       {"date taken", "date uploaded", "last update", "title", "views",
                        "camera make", "camera model"});
    sortMatrix = make<Matrix>(c, "sortMatrix", QStringList{"Descending", "Ascending"});

    listTagsButton = make<PopUpButton>(c, "listTagsButton");
    listMakeButton = make<PopUpButton>(c, "listMakeButton");
    listModelButton = make<PopUpButton>(c, "listModelButton");
    listSetsButton = make<PopUpButton>(c, "listSetsButton");

    searchButton = button(c, "searchButton", "Search");
    resetButton = button(c, "resetButton", "Reset");
    editSqlButton = button(c, "editSqlButton", "Edit SQL...");
    savedSearchesButton = button(c, "savedSearchesButton", "Saved Searches...");
    for (int i = 1; i <= 6; ++i)
        clearTextButtons << new Button(QString("clearText%1Button").arg(i), &c);
    clearLatlonButton = make<Button>(c, "clearLatlonButton");
    clearTakenBeginningButton = make<Button>(c, "clearTakenBeginningButton");
    clearTakenEndingButton = make<Button>(c, "clearTakenEndingButton");
    clearUploadBeginningButton = make<Button>(c, "clearUploadBeginningButton");
    clearUploadEndingButton = make<Button>(c, "clearUploadEndingButton");
    clearLastBeginningButton = make<Button>(c, "clearLastBeginningButton");
    clearLastEndingButton = make<Button>(c, "clearLastEndingButton");
    clearViewsButton = make<Button>(c, "clearViewsButton");

    SQLPanel = make<Window>(c, "SQLPanel");
    SQLPanel->setTitle("Edit SQL Statement");
    beginSqlTextField = make<TextField>(c, "beginSqlTextField");
    whereTextField = make<TextField>(c, "whereTextField");
    makeSqlStringButton = button(c, "makeSqlStringButton", "Search");
    cancelEditSqlButton = button(c, "cancelEditSqlButton", "Cancel");

    savedSearchesPanel = make<Window>(c, "savedSearchesPanel");
    savedSearchesPanel->setTitle("Saved Searches");
    savedSearchesTableView =
        make<TableView>(c, "savedSearchesTableView", QStringList{"searchName"});
    searchNameTextField = make<TextField>(c, "searchNameTextField");
    savedSearchTextField = make<TextField>(c, "savedSearchTextField");
    saveSearchButton = button(c, "saveSearchButton", "Save");
    deleteSearchButton = button(c, "deleteSearchButton", "Delete");
    doSavedSearchButton = button(c, "doSavedSearchButton", "Search");
    cancelSavedSearchButton = button(c, "cancelSavedSearchButton", "Close");
}

} // namespace tessaly
