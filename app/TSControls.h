#pragma once

#include "controls/Control.h"
#include "controls/PopUpButton.h"
#include "controls/TableView.h"

#include <QList>

namespace tessaly {

// Every control model of the application, each named after its control. The
// Qt windows find them by objectName (findControl); tests use the members.
class TSControls : public QObject {
    Q_OBJECT
public:
    explicit TSControls(QObject* parent = nullptr);

    template <typename T = Control> T* findControl(const QString& name) const {
        return findChild<T*>(name, Qt::FindDirectChildrenOnly);
    }
    QList<MenuItem*> menuItems() const { return findChildren<MenuItem*>(); }

    // Main window.
    Window* window;
    Button* oauthAuthButton;
    Button* downloadButton;
    Button* downloadFilesButton;
    Button* logoutButton;
    Button* searchDbButton;
    TextField* progressLabel;
    // Beside the progress: time left, or why and how long Tessaly waits.
    TextField* progressDetailTextField;
    ProgressIndicator* progressIndicator;
    TextField* dbnumTextField;
    TextField* filenumTextField;
    TextField* acctnumTextField;
    PopUpButton* listDbsButton;
    PopUpButton* listDbsButton2;
    // Shown while the user authorizes Tessaly in the browser.
    Window* doneSheet;
    Button* checkConnectionButton;
    Button* cancelConnectionButton;
    TextField* callbackURLTextField; // for a callback address pasted by hand
    Button* useCallbackURLButton;
    // Signing in with the code Flickr shows, when no callback comes back.
    Button* codeSignInButton;
    TextField* verifierTextField;
    Button* useVerifierButton;

    // Preferences panel.
    Window* prefPanel;
    TableView* accountsTableView;
    TextField* pixLocTextField;
    Button* updatesCheck;
    TextField* callBudgetTextField; // Flickr calls per hour; empty: the default pace
    Button* savePrefsButton;
    Button* addAccountButton;
    Button* deleteAccountButton;
    Button* moveAccountButton;
    // The add-account sheet and the no-account sheet.
    Window* addAccountSheet;
    TextField* addAcctNameTextField;
    Button* choosePixPathButton;
    Button* savePixPathButton;
    Button* cancelPixPathButton;
    Window* noAcctSheet;
    Button* noAcctOkButton;

    // The download flows: their confirmation and finish sheets.
    Window* permsOptionSheet;
    TextField* permsOptionTextField;
    Button* permsCheck;
    Button* exifCheck;
    Button* fullPermsCheck; // every picture's permissions, not only changed ones
    Button* permsOkButton;
    Button* permsCancelButton;
    Window* countSheet;
    TextField* countTextField;
    Button* countOkButton;
    Button* countCancelButton;
    Window* doneDownloadingSheet; // shows the error log
    TextField* doneTextField;
    TextField* errorsTextField;
    Button* doneDownloadingButton;
    Window* doneDownloadingSheet2;
    TextField* doneTextField2;
    Button* doneDownloadingButton2;

    // The progress panel that long operations show (doProgressPanel).
    Window* progressPanel;
    ProgressIndicator* indicator;
    TextField* progressTextField;
    Button* progressStopButton;

    // Search window and viewer window, as far as the shell needs them.
    Window* searchWindow;
    TableView* resultsTableView;
    Button* exportButton;
    TextField* exportTextField;
    TextField* foundTextField;
    Window* imageWindow;
    QList<PopUpButton*> fieldButtons;  // fieldButton1..6
    QList<PopUpButton*> opsButtons;    // opsButton1..6
    QList<TextField*> searchTextFields; // searchTextField1..6

    // Menu items, titled as in the menus.
    MenuItem* aboutItem;
    MenuItem* prefsItem;
    MenuItem* quitItem;
    MenuItem* connectItem;
    MenuItem* downloadInfoItem;
    MenuItem* downloadPixItem;
    MenuItem* schemaItem;
    MenuItem* verifyItem;
    MenuItem* searchItem;
    MenuItem* goHomeItem;
    MenuItem* savePicItem;
    MenuItem* exportItem;
    MenuItem* deleteItem;
    MenuItem* deselectItem;
    MenuItem* editSqlItem;

private:
    template <typename T, typename... Args> T* make(const QString& name, Args&&... args) {
        return new T(name, std::forward<Args>(args)..., this);
    }
    MenuItem* item(const QString& name, const QString& title) {
        return new MenuItem(name, title, this);
    }
};

} // namespace tessaly
