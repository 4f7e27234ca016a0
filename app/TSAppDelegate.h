#pragma once

#include "TSAppState.h"
#include "TSControls.h"
#include "OFFlickrAPIRequest.h"
#include "archive/ArchiveDatabase.h"
#include "auth/CallTicket.h"
#include "PlatformServices.h"
#include "prefs/PreferencesStore.h"
#include "sync/ErrorLog.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace tessaly {

class PlatformServices;
namespace sync {
class SyncController;
}
class SearchController;
class PictureDeletion;
class ViewerController;
class EditingController;
class ExportController;
class VerifyController;

// The application controller: owns the run-time state, the one archive
// connection and the control models, and carries every action. Its
// operations are grouped by area over several files.
class TSAppDelegate : public QObject, public TableDataSource, public OFFlickrAPIRequestDelegate {
    Q_OBJECT
public:
    TSAppDelegate(PlatformServices& platform, PreferencesStore& store, QObject* parent = nullptr);
    ~TSAppDelegate() override;

    TSControls& controls() { return *m_controls; }
    const TSAppState& state() const { return m_state; }
    ArchiveDatabase& database() { return m_database; }
    PlatformServices& platform() { return m_platform; }
    DefaultsController& defaults() { return m_defaults; }
    // The search window: query builder, results, value menus, saved searches.
    SearchController& search() { return *m_search; }
    // The picture viewer: the shown picture, its information, stepping.
    ViewerController& viewer() { return *m_viewer; }
    // Editing a picture's data on Flickr, from the viewer.
    EditingController& editing() { return *m_editing; }
    // Exporting the selected results.
    ExportController& exporting() { return *m_export; }
    VerifyController& verifying() { return *m_verify; }
    // Deleting pictures from the archive.
    PictureDeletion& deletion() { return *m_deletion; }

    // Shell: start-up, desktop documents, menus, returning home, quitting.
    void applicationDidFinishLaunching();
    bool applicationShouldOpenUntitledFile() const { return false; }
    bool applicationOpenFile(const QString& path);
    void goHome();
    bool validateMenuItem(const MenuItem& item) const;
    void revalidateMenuItems();
    void quitTessaly();
    // The main window's own close button: quits as the quit item would, and
    // only when that item is enabled; answers whether the window may close.
    bool windowShouldClose();
    void doAbout();

    // The progress panel long operations show; their callers close it.
    void doProgressPanel(const QString& title);
    // Shows an alert once the event loop is back: for handlers of network
    // and timer callbacks, which must not run a modal loop themselves.
    void postAlert(const AlertRequest& alert);

    // The areas, each with its state and operations.
    sync::SyncController& sync() { return *m_sync; }

    void setConnectionState(int state);
    void setResultsShown(bool shown);
    void setInfoDownloadRunning(bool running);
    void setViewerOpen(bool open);

    // Preferences and the current account.
    // Whether loading the preferences tests the current account's stored
    // token (on by default; a front end that may never talk to Flickr, such
    // as a listing of the accounts, turns it off and connects when needed).
    void setTestsTokenOnLoad(bool tests) { m_testsTokenOnLoad = tests; }
    void getPrefs();
    void savePreferences();
    void savePrefButton();
    void doPrefPanel();
    void setDatabase();
    // The pace of calls to Flickr; 0: the default.
    void applyCallBudget(double callsPerHour);
    // A pace for this run only, over the preference (0: none).
    void setCallsPerHourOverride(double callsPerHour) {
        m_callsPerHourOverride = callsPerHour;
        applyCallBudget(0);
    }

    // The archive database.
    void openDatabase(const QString& path);
    void showSchema();

    // Account management.
    void newAccount();
    void addAccount();
    void choosePixPath();
    void savePixPath();
    void cancelPixPath();
    void doPixPathArray();
    void doListDbsButtons();
    void chooseDatabase();
    void chooseDatabase2();
    void deleteAccount();
    void moveAccount();
    void noAcctOk();
    void setPixPath();

    // Status figures of the main window.
    void setFilenum();
    void setDBnum();
    void setAcctnum();

    // Authorization.
    void oauthAuthenticationAction();
    void handleIncomingURL(const QString& url);
    void checkConnection();
    void cancelConnection();
    void logout();
    // When the browser cannot hand the callback back: Flickr shows a code
    // (such as 123-456-789) that the user types in instead.
    void signInWithCode();
    void useVerifierCode(const QString& verifier);
    OFFlickrAPIContext& flickrContext() { return *_flickrContext; }
    OFFlickrAPIRequest& flickrRequest() { return *_flickrRequest; }

    // Starts an API call tagged with its stage and tied to the current account
    // and token. False, changing nothing, while another call is in flight.
    enum class HttpVerb { Get, Post };
    bool callFlickr(const QString& stage, const QString& method, const QVariantMap& arguments = {},
                    HttpVerb verb = HttpVerb::Get);
    // Bumped whenever the current account or its archive changes.
    quint64 accountGeneration() const { return m_accountGeneration; }

    // Answers of the Flickr API, routed by their stage tag.
    void flickrAPIRequestDidCompleteWithResponse(OFFlickrAPIRequest* request,
                                                 const QVariantMap& response) override;
    void flickrAPIRequestDidFailWithError(OFFlickrAPIRequest* request, const OFError& error) override;
    void flickrAPIRequestWillRetryAfterSecondsReason(OFFlickrAPIRequest* request, double seconds,
                                                     const QString& reason) override;
    void flickrAPIRequestDidObtainOAuthRequestTokenSecret(OFFlickrAPIRequest* request,
                                                          const QString& token,
                                                          const QString& secret) override;
    void flickrAPIRequestDidObtainOAuthAccessTokenSecretUserFullNameUserNameUserNSID(
        OFFlickrAPIRequest* request, const QString& token, const QString& secret,
        const QString& fullName, const QString& userName, const QString& nsid) override;

    ErrorLog& errorLog() { return m_errorLog; }
    // Drops the call in flight: its answer will reach nobody.
    void cancelCallInFlight();

    // Tables.
    int numberOfRowsInTableView(const TableView* table) const override;
    QVariant tableViewObjectValueForTableColumnRow(const TableView* table, const QString& column,
                                                   int row) const override;
    void tableViewSelectionDidChange(TableView* table) override;

private:
    void wireActions();
    // The result list and the viewer let go of the pictures they show.
    void dropResults();
    void setNotConnectedButtons();
    void setConnectedButtons(const QString& userName);
    void makeFlickrObjects();
    void beginAuthorization(const QUrl& callback);
    void chooseDatabaseFrom(PopUpButton* chosen, PopUpButton* other);
    QString chooseFolder(const QString& message, const QString& directory);
    void removeAccountAt(qsizetype index);
    void endConnectionSheet();
    bool beginCall(const QString& stage);
    std::optional<CallTicket> takeTicket(OFFlickrAPIRequest* request);
    // True when the answer must wait for a search that keeps the archive busy.
    bool waitForArchive(std::function<void()> handle);
    void currentAccountDidChange();
    void currentArchiveDidChange();
    void testConnectionIfTokenHeld();
    void testLoginSucceeded(const QVariantMap& response, const CallTicket& ticket);
    void editingStageCompleted(const QString& stage, const QVariantMap& response);
    void editingStageFailed(const QString& stage, const OFError& error);
    void userProfileReceived(const QVariantMap& response, const CallTicket& ticket);
    void logFailure(const QString& line);

    PlatformServices& m_platform;
    PreferencesStore& m_store;
    DefaultsController m_defaults;
    TSControls* m_controls;
    TSAppState m_state;
    ArchiveDatabase m_database;
    ErrorLog m_errorLog;
    std::unique_ptr<sync::SyncController> m_sync;
    std::unique_ptr<SearchController> m_search;
    std::unique_ptr<PictureDeletion> m_deletion;
    std::unique_ptr<ViewerController> m_viewer;
    std::unique_ptr<EditingController> m_editing;
    std::unique_ptr<ExportController> m_export;
    std::unique_ptr<VerifyController> m_verify;
    std::shared_ptr<OFFlickrAPIContext> _flickrContext;
    std::unique_ptr<OFFlickrAPIRequest, void (*)(OFFlickrAPIRequest*)> _flickrRequest;
    std::optional<CallTicket> m_callTicket;
    bool m_answerWaiting = false;
    quint64 m_accountGeneration = 0;
    double m_callsPerHourOverride = 0;
    // The account generation an authorization in the browser was begun for.
    std::optional<quint64> m_authorizationGeneration;
    QString m_requestToken; // of the authorization under way
    bool m_codeTyped = false; // the exchange under way is for a code the user typed
    bool m_testsTokenOnLoad = true;
};

} // namespace tessaly
