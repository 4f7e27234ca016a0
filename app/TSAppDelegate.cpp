#include "TSAppDelegate.h"

#include "AppConfig.h"
#include "archive/CreatorCodes.h"
#include "PlatformServices.h"
#include "sync/SyncController.h"
#include "archive/PictureDeletion.h"
#include "archive/VerifyController.h"
#include "editing/EditingController.h"
#include "export/ExportController.h"
#include "search/SearchController.h"
#include "viewer/ViewerController.h"

#include <QtGlobal>

namespace tessaly {

namespace {
const QString kNotConnectedTitle = QStringLiteral("    Connect to your Flickr account");

// A request is let go without a word to its delegate, and deleted once the
// event loop is back: it may be letting go from inside its own callback.
void releaseRequest(OFFlickrAPIRequest* request) {
    if (!request)
        return;
    request->setDelegate(nullptr);
    request->cancel();
    request->deleteLater();
}
} // namespace

TSAppDelegate::TSAppDelegate(PlatformServices& platform, PreferencesStore& store, QObject* parent)
    : QObject(parent), m_platform(platform), m_store(store), m_defaults(store),
      m_controls(new TSControls(this)), _flickrRequest(nullptr, &releaseRequest) {
    m_search =
        std::make_unique<SearchController>(*this, m_state, *m_controls, m_database, m_platform);
    m_viewer = std::make_unique<ViewerController>(*this, m_state, *m_controls, m_database,
                                                  m_platform);
    m_controls->accountsTableView->setDataSource(this);
    m_controls->resultsTableView->setDataSource(this);
    m_search->controls().savedSearchesTableView->setDataSource(this);
    wireActions();
    m_platform.urlDownloads().setUserAgent(config::userAgent().toUtf8());
    m_sync = std::make_unique<sync::SyncController>(*this);
    m_deletion = std::make_unique<PictureDeletion>(*this);
    m_editing = std::make_unique<EditingController>(*this);
    m_export = std::make_unique<ExportController>(*this);
    m_verify = std::make_unique<VerifyController>(*this);
    m_controls->progressStopButton->setAction([this] {
        m_search->stopStatement();
        m_verify->stopWalk();
    });
    // Menus that depend on a window's visibility follow it.
    for (Window* w : {m_controls->searchWindow, m_controls->imageWindow})
        connect(w, &Window::visibilityChanged, this, &TSAppDelegate::revalidateMenuItems);
    makeFlickrObjects();
    _flickrContext->setOAuthToken("none");
}

TSAppDelegate::~TSAppDelegate() {
    if (_flickrRequest)
        _flickrRequest->setDelegate(nullptr);
    m_sync.reset();
}

void TSAppDelegate::wireActions() {
    auto& c = *m_controls;
    c.savePrefsButton->setAction([this] { savePrefButton(); });
    c.prefsItem->setAction([this] { doPrefPanel(); });
    c.aboutItem->setAction([this] { doAbout(); });
    c.quitItem->setAction([this] { quitTessaly(); });
    c.schemaItem->setAction([this] { showSchema(); });
    c.goHomeItem->setAction([this] { goHome(); });

    c.addAccountButton->setAction([this] { newAccount(); });
    c.deleteAccountButton->setAction([this] { deleteAccount(); });
    c.moveAccountButton->setAction([this] { moveAccount(); });
    c.choosePixPathButton->setAction([this] { choosePixPath(); });
    c.savePixPathButton->setAction([this] { savePixPath(); });
    c.cancelPixPathButton->setAction([this] { cancelPixPath(); });
    c.noAcctOkButton->setAction([this] { noAcctOk(); });
    c.listDbsButton->setAction([this] { chooseDatabase(); });
    c.listDbsButton2->setAction([this] { chooseDatabase2(); });

    c.oauthAuthButton->setAction([this] { oauthAuthenticationAction(); });
    c.connectItem->setAction([this] { oauthAuthenticationAction(); });
    c.logoutButton->setAction([this] { logout(); });
    c.checkConnectionButton->setAction([this] { checkConnection(); });
    c.cancelConnectionButton->setAction([this] { cancelConnection(); });
    const auto useCallback = [this] {
        const QString url = m_controls->callbackURLTextField->stringValue().trimmed();
        if (!url.isEmpty())
            handleIncomingURL(url);
    };
    c.useCallbackURLButton->setAction(useCallback);
    c.callbackURLTextField->setAction(useCallback);
    c.codeSignInButton->setAction([this] { signInWithCode(); });
    const auto useVerifier = [this] {
        const QString code = m_controls->verifierTextField->stringValue().trimmed();
        if (!code.isEmpty())
            useVerifierCode(code);
    };
    c.useVerifierButton->setAction(useVerifier);
    c.verifierTextField->setAction(useVerifier);
}

void TSAppDelegate::applicationDidFinishLaunching() {
    auto& c = *m_controls;
    m_state.homeFolder = qEnvironmentVariable("HOME");

    m_state.permissionLabels = {"0 - nobody", "1 - friends & family", "2 - contacts",
                                "3 - everybody"};
    m_state.distanceValues = {"100.0",   "500.0",    "1000.0",    "2000.0",   "5000.0",
                              "10000.0", "20000.0",  "100000.0",  "1000000.0"};

    getPrefs();
    savePreferences();

    // Saving has just opened the current archive; it is not opened twice.
    if (m_state.dbPath.isEmpty())
        c.searchDbButton->setEnabled(false);
    else if (!m_database.isOpen() || m_database.path() != m_state.dbPath)
        openDatabase(m_state.dbPath);

    c.downloadButton->setEnabled(false);
    c.downloadFilesButton->setEnabled(false);
    c.progressLabel->setStringValue({});
    c.dbnumTextField->setStringValue({});
    c.filenumTextField->setStringValue({});

    doListDbsButtons();
    setFilenum();
    setDBnum();
    setAcctnum();

    setConnectionState(0);
    setViewerOpen(false);

    if (!m_state.accountRows.isEmpty()) {
        c.listDbsButton->setHidden(false);
        c.listDbsButton2->setHidden(false);
    }
    c.window->makeKeyAndOrderFront();

    if (m_state.updatesState != 0)
        m_platform.checkForUpdatesInBackground();

    c.progressIndicator->setIndeterminate(true);
    c.progressIndicator->setDisplayedWhenStopped(false);
    c.progressIndicator->setUsesThreadedAnimation(true);
    c.imageWindow->setAcceptsMouseMovedEvents(true);

    // Systems before 10.7 drew these buttons with their older images.
    const SystemVersion version = m_platform.systemVersion();
    if (version.major == 10 && version.minor < 7) {
        c.oauthAuthButton->setImageName("flickr_sl.png");
        c.downloadButton->setImageName("glyphicon_bigdownload_sl.png");
        c.downloadFilesButton->setImageName("glyphicon_bigdownload_sl.png");
        c.searchDbButton->setImageName("glyphicon_bigsearch_sl.png");
    }
}

bool TSAppDelegate::applicationOpenFile(const QString& path) {
    m_state.dbPath = path;
    m_state.realDbPath = path;
    m_platform.noteRecentDocument(path);
    setCreatorAndTypeCodes(path);
    savePreferences();
    getPrefs();
    // Without accounts the save empties the database path; the opened file is
    // the one to open then, not an empty path.
    if (m_state.accountRows.isEmpty()) {
        m_state.dbPath = path;
        m_state.realDbPath = path;
    }
    openDatabase(m_state.dbPath);
    return true;
}

void TSAppDelegate::dropResults() {
    auto& c = *m_controls;
    setResultsShown(false);
    c.exportButton->setHidden(true);
    c.exportTextField->setHidden(true);
    c.foundTextField->setHidden(true);
    m_search->clearResults();
    c.imageWindow->close();
    setViewerOpen(false);
}

void TSAppDelegate::goHome() {
    auto& c = *m_controls;
    c.searchWindow->close();
    dropResults();
    setFilenum();
    setDBnum();
    c.window->makeKeyAndOrderFront();
}

bool TSAppDelegate::validateMenuItem(const MenuItem& item) const {
    const QString title = item.title();
    const auto& c = *m_controls;
    if (title == QLatin1String("Download picture information...") ||
        title == QLatin1String("Download picture files..."))
        return m_state.connectionState != 0;
    if (title == QLatin1String("Connect to Flickr..."))
        return m_state.connectionState == 0;
    if (title == QLatin1String("Save Picture..."))
        return c.imageWindow->isVisible();
    if (title == QLatin1String("Delete Selected Pictures...") ||
        title == QLatin1String("Export..."))
        return m_state.resultsShown;
    if (title == QLatin1String("Deselect All"))
        return m_state.resultsShown && c.resultsTableView->numberOfSelectedRows() > 0;
    if (title == QLatin1String("Edit SQL Statement..."))
        return c.searchWindow->isVisible();
    if (title == QLatin1String("Quit Tessaly"))
        return !m_state.infoDownloadRunning;
    if (title == QLatin1String("Verify Archive..."))
        return m_database.isOpen() && !m_verify->isVerifying() && !m_state.infoDownloadRunning &&
               m_sync->flow() == sync::Flow::None;
    return true;
}

void TSAppDelegate::revalidateMenuItems() {
    for (MenuItem* item : m_controls->menuItems())
        item->setEnabled(validateMenuItem(*item));
}

void TSAppDelegate::setConnectionState(int state) {
    m_state.connectionState = state;
    revalidateMenuItems();
}

void TSAppDelegate::setResultsShown(bool shown) {
    m_state.resultsShown = shown;
    revalidateMenuItems();
}

void TSAppDelegate::setInfoDownloadRunning(bool running) {
    m_state.infoDownloadRunning = running;
    revalidateMenuItems();
}

void TSAppDelegate::setViewerOpen(bool open) {
    m_state.viewerOpen = open;
    revalidateMenuItems();
}

void TSAppDelegate::quitTessaly() {
    // Preferences are written whenever they change; nothing to save here.
    m_platform.terminate();
}

bool TSAppDelegate::windowShouldClose() {
    if (!validateMenuItem(*m_controls->quitItem))
        return false;
    quitTessaly();
    return true;
}

void TSAppDelegate::doAbout() { m_platform.showAboutPanel(); }

void TSAppDelegate::postAlert(const AlertRequest& alert) {
    QMetaObject::invokeMethod(
        this, [this, alert] { m_platform.runAlert(alert); }, Qt::QueuedConnection);
}

void TSAppDelegate::doProgressPanel(const QString& title) {
    m_controls->progressPanel->setTitle(title);
    m_controls->progressPanel->makeKeyAndOrderFront();
    m_controls->indicator->startAnimation();
}

void TSAppDelegate::setNotConnectedButtons() {
    auto& c = *m_controls;
    c.oauthAuthButton->setTitle(kNotConnectedTitle);
    c.oauthAuthButton->setEnabled(true);
    c.downloadButton->setEnabled(false);
    c.downloadFilesButton->setEnabled(false);
    c.logoutButton->setEnabled(false);
    revalidateMenuItems();
}

int TSAppDelegate::numberOfRowsInTableView(const TableView* table) const {
    if (table == m_controls->accountsTableView)
        return int(m_state.accountRows.size());
    if (m_search->servesTable(table))
        return m_search->numberOfRowsInTableView(table);
    return 0;
}

QVariant TSAppDelegate::tableViewObjectValueForTableColumnRow(const TableView* table,
                                                             const QString& column,
                                                             int row) const {
    if (table == m_controls->accountsTableView && row >= 0 && row < m_state.accountRows.size())
        return m_state.accountRows[row].valueForKey(column);
    if (m_search->servesTable(table))
        return m_search->tableViewObjectValueForTableColumnRow(table, column, row);
    return {};
}

void TSAppDelegate::tableViewSelectionDidChange(TableView* table) {
    if (table == m_controls->resultsTableView) {
        revalidateMenuItems(); // "Deselect All" follows the selection
        m_export->selectionChanged();
    }
    else if (m_search->servesTable(table))
        m_search->tableViewSelectionDidChange(table);
}

} // namespace tessaly
