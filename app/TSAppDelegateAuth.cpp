// Authorization: connecting an account through OAuth, the token test, the
// profile address and logging out.
#include "TSAppDelegate.h"

#include "AppConfig.h"
#include "OFUtilities.h"
#include "OFXMLMapper.h"
#include "PlatformServices.h"
#include "accounts/PathRules.h"
#include "editing/EditingController.h"

#include <QDebug>

namespace tessaly {

namespace {
const QString kOAuthStage = QStringLiteral("OAuth");

QString connectedTitle(const QString& userName) {
    return QString("  Connected to \"%1\"").arg(userName);
}
} // namespace

void TSAppDelegate::makeFlickrObjects() {
    _flickrContext = std::make_shared<OFFlickrAPIContext>(config::apiKey(), config::sharedSecret());
    _flickrContext->setUserAgent(config::userAgent());
    auto* request = new OFFlickrAPIRequest(_flickrContext);
    request->setDelegate(this);
    request->setRequestTimeoutInterval(120.0);
    _flickrRequest.reset(request);
}

void TSAppDelegate::setConnectedButtons(const QString& userName) {
    auto& c = *m_controls;
    c.oauthAuthButton->setTitle(connectedTitle(userName));
    c.oauthAuthButton->setEnabled(false);
    c.downloadButton->setEnabled(true);
    c.downloadFilesButton->setEnabled(true);
    c.logoutButton->setEnabled(true);
    revalidateMenuItems();
}

void TSAppDelegate::oauthAuthenticationAction() {
    auto& c = *m_controls;
    auto& s = m_state;
    if (s.accountRows.isEmpty()) {
        newAccount();
        return;
    }
    // With no row selected, the current account is the one to connect.
    int row = c.accountsTableView->selectedRow();
    if (row < 0)
        row = s.indexOfAccount(s.currentAccountName);
    if (row < 0)
        return;
    const QString token = s.authTokenArray.value(row, kNoToken);
    _flickrContext->setOAuthToken(token);
    _flickrContext->setOAuthTokenSecret(s.authTokenSecretArray.value(row, kNoToken));
    if (token != kNoToken) {
        checkConnection();
        return;
    }
    beginAuthorization(QUrl(config::kCallbackURL));
}

void TSAppDelegate::beginAuthorization(const QUrl& callback) {
    auto& c = *m_controls;
    makeFlickrObjects();
    m_authorizationGeneration = m_accountGeneration;
    m_requestToken.clear();
    m_codeTyped = false;
    if (beginCall(kOAuthStage) && !_flickrRequest->fetchOAuthRequestTokenWithCallbackURL(callback))
        m_callTicket.reset();
    c.callbackURLTextField->setStringValue({});
    c.verifierTextField->setStringValue({});
    if (!c.doneSheet->isVisible())
        c.doneSheet->beginSheet(c.window);
}

void TSAppDelegate::signInWithCode() {
    if (m_state.accountRows.isEmpty()) {
        newAccount();
        return;
    }
    // Flickr shows the verifier on its page instead of calling back.
    beginAuthorization(QUrl(QStringLiteral("oob")));
}

void TSAppDelegate::useVerifierCode(const QString& verifier) {
    if (m_authorizationGeneration && *m_authorizationGeneration != m_accountGeneration)
        return;
    m_codeTyped = true;
    if (beginCall(kOAuthStage) &&
        !_flickrRequest->fetchOAuthAccessTokenWithRequestTokenVerifier(m_requestToken, verifier))
        m_callTicket.reset();
}

void TSAppDelegate::flickrAPIRequestDidObtainOAuthRequestTokenSecret(OFFlickrAPIRequest* request,
                                                                    const QString& token,
                                                                    const QString& secret) {
    if (!takeTicket(request))
        return;
    m_requestToken = token;
    _flickrContext->setOAuthToken(token);
    _flickrContext->setOAuthTokenSecret(secret);
    m_platform.openURL(_flickrContext->userAuthorizationURLWithRequestTokenRequestedPermission(
        token, config::kRequestedPermission));
}

void TSAppDelegate::handleIncomingURL(const QString& url) {
    // The authorization was begun for an account that is no longer current.
    if (m_authorizationGeneration && *m_authorizationGeneration != m_accountGeneration) {
        qWarning("Callback of an abandoned authorization ignored");
        return;
    }
    QString token;
    QString verifier;
    if (!OFExtractOAuthCallback(QUrl(url), QUrl(config::kCallbackURL), &token, &verifier))
        qWarning("Invalid callback URL");
    if (beginCall(kOAuthStage) &&
        !_flickrRequest->fetchOAuthAccessTokenWithRequestTokenVerifier(token, verifier))
        m_callTicket.reset();
}

void TSAppDelegate::flickrAPIRequestDidObtainOAuthAccessTokenSecretUserFullNameUserNameUserNSID(
    OFFlickrAPIRequest* request, const QString& token, const QString& secret, const QString&,
    const QString&, const QString&) {
    if (!takeTicket(request))
        return;
    _flickrContext->setOAuthToken(token);
    _flickrContext->setOAuthTokenSecret(secret);
}

void TSAppDelegate::endConnectionSheet() { m_controls->doneSheet->endSheet(); }

void TSAppDelegate::checkConnection() {
    endConnectionSheet();
    if (_flickrContext->hasOAuthToken()) {
        callFlickr(QStringLiteral("TestLogin"), "flickr.test.login");
        if (m_controls->prefPanel->isVisible())
            m_controls->prefPanel->orderFront();
        return;
    }
    m_platform.alert("Authorization Unsuccessful",
                     "The Flickr authorization was unsuccessful. Please try again.",
                     AlertStyle::Informational, "Dismiss");
    setConnectionState(0);
}

void TSAppDelegate::cancelConnection() {
    endConnectionSheet();
    setConnectionState(0);
}

void TSAppDelegate::testLoginSucceeded(const QVariantMap& response, const CallTicket& ticket) {
    auto& c = *m_controls;
    auto& s = m_state;
    _flickrRequest->setSessionInfo({});
    const QString userName = OFValueForKeyPath(response, "user.username._text").toString();
    const int index = s.indexOfAccount(userName);
    if (index < 0) {
        s.currentAccountName = userName;
        setConnectionState(0);
        setNotConnectedButtons();
        postAlert({{},
                   QString("There is no account named %1 listed in the Tessaly Preferences Accounts table.")
                       .arg(userName),
                   {},
                   AlertStyle::Critical});
        c.addAcctNameTextField->setStringValue(userName);
        newAccount();
        return;
    }

    // The token tested is the one the call carried, whatever the context holds now.
    s.authTokenArray[index] = ticket.token;
    s.authTokenSecretArray[index] = ticket.tokenSecret;
    const int previousState = s.connectionState;
    c.accountsTableView->selectRow(index);
    savePreferences(); // may make the token's account current
    _flickrContext->setOAuthToken(ticket.token);
    _flickrContext->setOAuthTokenSecret(ticket.tokenSecret);
    setConnectionState(1);
    doListDbsButtons();
    setConnectedButtons(userName);

    if (previousState == 2) {
        m_editing->editFlickr(); // the edit that waited for this connection
        return;
    }
    callFlickr(QStringLiteral("GetUserProfile"), "flickr.urls.getUserProfile",
               {{"api_key", _flickrContext->key()}});
}

void TSAppDelegate::userProfileReceived(const QVariantMap& response, const CallTicket& ticket) {
    auto& c = *m_controls;
    auto& s = m_state;
    // The address belongs to the account the call was made for.
    const int index = s.indexOfAccount(ticket.accountName);
    if (index < 0)
        return;
    s.currentWebAddress = OFValueForKeyPath(response, "user.url").toString();
    s.currentWebAddress.replace("people", "photos");
    s.accountRows[index] = AccountsRow(ticket.accountName, s.accountRows[index].accountLoc(),
                                       s.currentWebAddress);
    c.oauthAuthButton->setTitle(connectedTitle(s.currentAccountName));
    setInfoDownloadRunning(false);
    c.accountsTableView->reloadData();
    c.accountsTableView->selectRow(index);
    savePreferences();
}

void TSAppDelegate::logout() {
    if (m_platform.runAlert({"Confirm Logout",
                             "Are you sure you want to logout from your Flickr account?",
                             {"Yes", "Cancel"},
                             AlertStyle::Informational}) != AlertFirstButton)
        return;
    _flickrContext->setOAuthToken(QString());
    setNotConnectedButtons();
    m_platform.alert("Logged Out", "You are now logged out of your Flickr account");
    setConnectionState(0);
}

} // namespace tessaly
