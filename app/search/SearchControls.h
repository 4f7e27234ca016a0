#pragma once

#include "TSControls.h"
#include "controls/Matrix.h"

#include <QList>

namespace tessaly {

// The control models of the search window and its two sheets that only the
// search uses. They are children of TSControls, so the windows find them by
// name like every other control; the ones the shell needs as well (the
// search window, the results table, the export controls, the builder rows)
// are TSControls' own.
struct SearchControls {
    explicit SearchControls(TSControls& controls);

    // The form.
    TextField* quickSearch;
    PopUpButton* allButton;
    TextField* takenBeginning;
    TextField* takenEnding;
    TextField* uploadBeginning;
    TextField* uploadEnding;
    TextField* lastBeginning;
    TextField* lastEnding;
    Button* familyCheck;
    Button* friendCheck;
    Button* publicCheck;
    Button* flashCheck;
    Button* videoCheck;
    PopUpButton* viewsButton;
    TextField* viewsTextField;
    TextField* latlonTextField;
    PopUpButton* distanceButton;
    PopUpButton* sortButton;
    Matrix* sortMatrix;

    // The value menus.
    PopUpButton* listTagsButton;
    PopUpButton* listMakeButton;
    PopUpButton* listModelButton;
    PopUpButton* listSetsButton;

    // Buttons of the search window.
    Button* searchButton;
    Button* resetButton;
    Button* editSqlButton;
    Button* savedSearchesButton;
    QList<Button*> clearTextButtons; // clearText1Button..6
    Button* clearLatlonButton;
    Button* clearTakenBeginningButton;
    Button* clearTakenEndingButton;
    Button* clearUploadBeginningButton;
    Button* clearUploadEndingButton;
    Button* clearLastBeginningButton;
    Button* clearLastEndingButton;
    Button* clearViewsButton;

    // The SQL editor sheet.
    Window* SQLPanel;
    TextField* beginSqlTextField;
    TextField* whereTextField;
    Button* makeSqlStringButton;
    Button* cancelEditSqlButton;

    // The saved-searches sheet.
    Window* savedSearchesPanel;
    TableView* savedSearchesTableView;
    TextField* searchNameTextField;
    TextField* savedSearchTextField;
    Button* saveSearchButton;
    Button* deleteSearchButton;
    Button* doSavedSearchButton;
    Button* cancelSavedSearchButton;

    // Every field the form reads, for the controls that clear or fill it.
    QList<TextField*> dateFields() const {
        return {takenBeginning, takenEnding,   uploadBeginning,
                uploadEnding,   lastBeginning, lastEnding};
    }
};

} // namespace tessaly
