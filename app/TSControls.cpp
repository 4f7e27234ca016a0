#include "TSControls.h"

namespace tessaly {

TSControls::TSControls(QObject* parent) : QObject(parent) {
    window = make<Window>("window");
    window->setTitle("Tessaly");
    oauthAuthButton = make<Button>("oauthAuthButton");
    downloadButton = make<Button>("downloadButton");
    downloadFilesButton = make<Button>("downloadFilesButton");
    logoutButton = make<Button>("logoutButton");
    searchDbButton = make<Button>("searchDbButton");
    progressLabel = make<TextField>("progressLabel");
    progressDetailTextField = make<TextField>("progressDetailTextField");
    progressIndicator = make<ProgressIndicator>("progressIndicator");
    dbnumTextField = make<TextField>("dbnumTextField");
    filenumTextField = make<TextField>("filenumTextField");
    acctnumTextField = make<TextField>("acctnumTextField");
    listDbsButton = make<PopUpButton>("listDbsButton");
    listDbsButton2 = make<PopUpButton>("listDbsButton2");
    // Shown once an account exists.
    listDbsButton->setHidden(true);
    listDbsButton2->setHidden(true);
    doneSheet = make<Window>("doneSheet");
    doneSheet->setTitle("Authorize Tessaly");
    checkConnectionButton = make<Button>("checkConnectionButton");
    cancelConnectionButton = make<Button>("cancelConnectionButton");
    callbackURLTextField = make<TextField>("callbackURLTextField");
    useCallbackURLButton = make<Button>("useCallbackURLButton");
    codeSignInButton = make<Button>("codeSignInButton");
    verifierTextField = make<TextField>("verifierTextField");
    useVerifierButton = make<Button>("useVerifierButton");

    prefPanel = make<Window>("prefPanel");
    prefPanel->setTitle("Preferences");
    accountsTableView = make<TableView>("accountsTableView",
                                        QStringList{"accountName", "accountLoc", "accountUrl"});
    pixLocTextField = make<TextField>("pixLocTextField");
    callBudgetTextField = make<TextField>("callBudgetTextField");
    updatesCheck = make<Button>("updatesCheck");
    updatesCheck->setTitle("Check for updates at start-up");
    savePrefsButton = make<Button>("savePrefsButton");
    savePrefsButton->setTitle("Save");
    addAccountButton = make<Button>("addAccountButton");
    deleteAccountButton = make<Button>("deleteAccountButton");
    moveAccountButton = make<Button>("moveAccountButton");
    addAccountSheet = make<Window>("addAccountSheet");
    addAccountSheet->setTitle("New Flickr Account");
    addAcctNameTextField = make<TextField>("addAcctNameTextField");
    choosePixPathButton = make<Button>("choosePixPathButton");
    savePixPathButton = make<Button>("savePixPathButton");
    cancelPixPathButton = make<Button>("cancelPixPathButton");
    noAcctSheet = make<Window>("noAcctSheet");
    noAcctSheet->setTitle("No Account");
    noAcctOkButton = make<Button>("noAcctOkButton");

    permsOptionSheet = make<Window>("permsOptionSheet");
    permsOptionSheet->setTitle("Download Picture Information");
    permsOptionTextField = make<TextField>("permsOptionTextField");
    permsCheck = make<Button>("permsCheck");
    permsCheck->setTitle("Also download the permissions of every picture");
    fullPermsCheck = make<Button>("fullPermsCheck");
    fullPermsCheck->setTitle("Ask again for the permissions of pictures that did not change");
    exifCheck = make<Button>("exifCheck");
    exifCheck->setTitle("Also download the EXIF data of pictures that have none");
    permsOkButton = make<Button>("permsOkButton");
    permsCancelButton = make<Button>("permsCancelButton");
    countSheet = make<Window>("countSheet");
    countSheet->setTitle("Download Picture Files");
    countTextField = make<TextField>("countTextField");
    countOkButton = make<Button>("countOkButton");
    countCancelButton = make<Button>("countCancelButton");
    doneDownloadingSheet = make<Window>("doneDownloadingSheet");
    doneDownloadingSheet->setTitle("Download Finished");
    doneTextField = make<TextField>("doneTextField");
    errorsTextField = make<TextField>("errorsTextField");
    doneDownloadingButton = make<Button>("doneDownloadingButton");
    doneDownloadingSheet2 = make<Window>("doneDownloadingSheet2");
    doneDownloadingSheet2->setTitle("Download Finished");
    doneTextField2 = make<TextField>("doneTextField2");
    doneDownloadingButton2 = make<Button>("doneDownloadingButton2");

    progressPanel = make<Window>("progressPanel");
    indicator = make<ProgressIndicator>("indicator");
    indicator->setDisplayedWhenStopped(false); // the panel is up only while it runs
    progressTextField = make<TextField>("progressTextField");
    progressStopButton = make<Button>("progressStopButton");
    progressStopButton->setHidden(true); // only for what can be stopped

    searchWindow = make<Window>("searchWindow");
    searchWindow->setTitle("Search");
    resultsTableView = make<TableView>("resultsTableView",
                                       QStringList{"resultsButton", "resultsText"});
    exportButton = make<Button>("exportButton");
    exportTextField = make<TextField>("exportTextField");
    foundTextField = make<TextField>("foundTextField");
    imageWindow = make<Window>("imageWindow");
    imageWindow->setTitle("Image");
    for (int i = 1; i <= 6; ++i) {
        fieldButtons << make<PopUpButton>(QString("fieldButton%1").arg(i));
        opsButtons << make<PopUpButton>(QString("opsButton%1").arg(i));
        searchTextFields << make<TextField>(QString("searchTextField%1").arg(i));
    }

    aboutItem = item("aboutItem", "About Tessaly");
    prefsItem = item("prefsItem", "Preferences...");
    quitItem = item("quitItem", "Quit Tessaly");
    connectItem = item("connectItem", "Connect to Flickr...");
    downloadInfoItem = item("downloadInfoItem", "Download picture information...");
    downloadPixItem = item("downloadPixItem", "Download picture files...");
    schemaItem = item("schemaItem", "Database Schema");
    verifyItem = item("verifyItem", "Verify Archive...");
    searchItem = item("searchItem", "Search Archive");
    goHomeItem = item("goHomeItem", "Main Window");
    savePicItem = item("savePicItem", "Save Picture...");
    exportItem = item("exportItem", "Export...");
    deleteItem = item("deleteItem", "Delete Selected Pictures...");
    deselectItem = item("deselectItem", "Deselect All");
    editSqlItem = item("editSqlItem", "Edit SQL Statement...");
}

} // namespace tessaly
