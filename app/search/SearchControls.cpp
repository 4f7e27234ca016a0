#include "SearchControls.h"

#include "controls/AreaControls.h"

namespace tessaly {

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

    quickSearch = makeControl<TextField>(c, "quickSearch");
    // A fresh form joins its conditions with AND (item 1).
    allButton = makePopUp(c, "allButton", {"any", "all"});
    allButton->selectItemAtIndex(1);
    takenBeginning = makeControl<TextField>(c, "takenBeginning");
    takenEnding = makeControl<TextField>(c, "takenEnding");
    uploadBeginning = makeControl<TextField>(c, "uploadBeginning");
    uploadEnding = makeControl<TextField>(c, "uploadEnding");
    lastBeginning = makeControl<TextField>(c, "lastBeginning");
    lastEnding = makeControl<TextField>(c, "lastEnding");
    familyCheck = makeButton(c, "familyCheck", "Family");
    friendCheck = makeButton(c, "friendCheck", "Friends");
    publicCheck = makeButton(c, "publicCheck", "Public");
    flashCheck = makeButton(c, "flashCheck", "Flash fired");
    videoCheck = makeButton(c, "videoCheck", "Videos only");
    viewsButton = makePopUp(c, "viewsButton", {"greater than", "less than"});
    viewsTextField = makeControl<TextField>(c, "viewsTextField");
    latlonTextField = makeControl<TextField>(c, "latlonTextField");
    // One label per entry of the distance values, in metres.
    distanceButton =
        makePopUp(c, "distanceButton",
              {"100 m", "500 m", "1 km", "2 km", "5 km", "10 km", "20 km", "100 km", "1000 km"});
    distanceButton->selectItemAtIndex(2);
    // Each title names a column once "camera " and blanks are dropped.
    sortButton = makePopUp(c, "sortButton",
                       {"date taken", "date uploaded", "last update", "title", "views",
                        "camera make", "camera model"});
    sortMatrix = makeControl<Matrix>(c, "sortMatrix", QStringList{"Descending", "Ascending"});

    listTagsButton = makeControl<PopUpButton>(c, "listTagsButton");
    listMakeButton = makeControl<PopUpButton>(c, "listMakeButton");
    listModelButton = makeControl<PopUpButton>(c, "listModelButton");
    listSetsButton = makeControl<PopUpButton>(c, "listSetsButton");

    searchButton = makeButton(c, "searchButton", "Search");
    resetButton = makeButton(c, "resetButton", "Reset");
    editSqlButton = makeButton(c, "editSqlButton", "Edit SQL...");
    savedSearchesButton = makeButton(c, "savedSearchesButton", "Saved Searches...");
    for (int i = 1; i <= 6; ++i)
        clearTextButtons << new Button(QString("clearText%1Button").arg(i), &c);
    clearLatlonButton = makeControl<Button>(c, "clearLatlonButton");
    clearTakenBeginningButton = makeControl<Button>(c, "clearTakenBeginningButton");
    clearTakenEndingButton = makeControl<Button>(c, "clearTakenEndingButton");
    clearUploadBeginningButton = makeControl<Button>(c, "clearUploadBeginningButton");
    clearUploadEndingButton = makeControl<Button>(c, "clearUploadEndingButton");
    clearLastBeginningButton = makeControl<Button>(c, "clearLastBeginningButton");
    clearLastEndingButton = makeControl<Button>(c, "clearLastEndingButton");
    clearViewsButton = makeControl<Button>(c, "clearViewsButton");

    SQLPanel = makeControl<Window>(c, "SQLPanel");
    SQLPanel->setTitle("Edit SQL Statement");
    beginSqlTextField = makeControl<TextField>(c, "beginSqlTextField");
    whereTextField = makeControl<TextField>(c, "whereTextField");
    makeSqlStringButton = makeButton(c, "makeSqlStringButton", "Search");
    cancelEditSqlButton = makeButton(c, "cancelEditSqlButton", "Cancel");

    savedSearchesPanel = makeControl<Window>(c, "savedSearchesPanel");
    savedSearchesPanel->setTitle("Saved Searches");
    savedSearchesTableView =
        makeControl<TableView>(c, "savedSearchesTableView", QStringList{"searchName"});
    searchNameTextField = makeControl<TextField>(c, "searchNameTextField");
    savedSearchTextField = makeControl<TextField>(c, "savedSearchTextField");
    saveSearchButton = makeButton(c, "saveSearchButton", "Save");
    deleteSearchButton = makeButton(c, "deleteSearchButton", "Delete");
    doSavedSearchButton = makeButton(c, "doSavedSearchButton", "Search");
    cancelSavedSearchButton = makeButton(c, "cancelSavedSearchButton", "Close");
}

} // namespace tessaly
