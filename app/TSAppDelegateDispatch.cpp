// The answers of the Flickr API, routed by the stage tag each request carries.
#include "TSAppDelegate.h"

#include "PlatformServices.h"
#include "editing/EditingController.h"
#include "archive/VerifyController.h"
#include "sync/SyncController.h"

#include <utility>

namespace tessaly {

bool TSAppDelegate::beginCall(const QString& stage) {
    // A busy request keeps its own tag: its answer must still find its stage.
    if (_flickrRequest->isRunning() || m_answerWaiting)
        return false;
    _flickrRequest->setSessionInfo(stage);
    const int index = m_state.indexOfAccount(m_state.currentAccountName);
    m_callTicket = CallTicket{stage, index >= 0 ? m_state.currentAccountName : QString(),
                              _flickrContext->OAuthToken(), _flickrContext->OAuthTokenSecret(),
                              m_accountGeneration};
    return true;
}

bool TSAppDelegate::callFlickr(const QString& stage, const QString& method,
                               const QVariantMap& arguments, HttpVerb verb) {
    if (!beginCall(stage))
        return false;
    const bool started = verb == HttpVerb::Get
                             ? _flickrRequest->callAPIMethodWithGETArguments(method, arguments)
                             : _flickrRequest->callAPIMethodWithPOSTArguments(method, arguments);
    if (!started)
        m_callTicket.reset();
    return started;
}

std::optional<CallTicket> TSAppDelegate::takeTicket(OFFlickrAPIRequest* request) {
    std::optional<CallTicket> ticket = std::exchange(m_callTicket, std::nullopt);
    if (request != _flickrRequest.get() || !ticket || ticket->generation != m_accountGeneration)
        return std::nullopt;
    return ticket;
}

// An answer that arrives while a search keeps the archive busy is handled
// once the search is over; no other call starts meanwhile.
bool TSAppDelegate::waitForArchive(std::function<void()> handle) {
    if (!m_database.isBusy())
        return false;
    m_answerWaiting = true;
    m_database.whenFree(this, [this, handle = std::move(handle)] {
        m_answerWaiting = false;
        handle();
    });
    return true;
}

void TSAppDelegate::flickrAPIRequestDidCompleteWithResponse(OFFlickrAPIRequest* request,
                                                            const QVariantMap& response) {
    if (waitForArchive([=, this] { flickrAPIRequestDidCompleteWithResponse(request, response); }))
        return;
    const std::optional<CallTicket> ticket = takeTicket(request);
    if (!ticket)
        return; // issued for an account that is no longer current
    const QString stage = request->sessionInfo().toString();
    if (sync::SyncController::isSyncStage(stage))
        m_sync->didComplete(stage, response);
    else if (stage == QLatin1String("TestLogin"))
        testLoginSucceeded(response, *ticket);
    else if (EditingController::isEditingStage(stage))
        editingStageCompleted(stage, response);
    else if (stage == QLatin1String("GetUserProfile"))
        userProfileReceived(response, *ticket);
    // Answers of any other stage are ignored.
}

void TSAppDelegate::editingStageCompleted(const QString& stage, const QVariantMap& response) {
    m_editing->didComplete(stage, response);
}

void TSAppDelegate::logFailure(const QString& line) { m_errorLog.write(line); }

void TSAppDelegate::flickrAPIRequestDidFailWithError(OFFlickrAPIRequest* request,
                                                     const OFError& error) {
    if (waitForArchive([=, this] { flickrAPIRequestDidFailWithError(request, error); }))
        return;
    if (!takeTicket(request))
        return;
    const QString stage = request->sessionInfo().toString();
    // The download flows route their own failures; the per-picture stages go on.
    if (sync::SyncController::isSyncStage(stage)) {
        m_sync->didFail(stage, error);
        return;
    }
    setInfoDownloadRunning(false);
    if (stage == QLatin1String("TestLogin")) {
        setNotConnectedButtons();
        postAlert({"Authorization Unsuccessful",
                   "Tessaly couldn't connect to Flickr. Check your Internet connection.",
                   {},
                   AlertStyle::Informational});
        return;
    }
    if (EditingController::isEditingStage(stage) && stage != QLatin1String("GetPhotoInfo")) {
        editingStageFailed(stage, error);
        return;
    }
    if (stage == QLatin1String("OAuth")) {
        setNotConnectedButtons();
        // The user is looking at the sheet and can type the code again.
        if (std::exchange(m_codeTyped, false))
            postAlert({"Code Not Accepted",
                       "Flickr did not accept the code. Type the nine digits that Flickr shows, such as "
                       "123-456-789, and try again.",
                       {},
                       AlertStyle::Informational});
    }
    logFailure(QString("An error occurred in the stage %1, Error: %2\n")
                   .arg(stage, error.localizedDescription()));
    m_controls->progressIndicator->stopAnimation();
    m_controls->progressLabel->setStringValue({});
}

void TSAppDelegate::cancelCallInFlight() {
    _flickrRequest->cancel();
    _flickrRequest->setSessionInfo({});
    m_callTicket.reset();
}

void TSAppDelegate::flickrAPIRequestWillRetryAfterSecondsReason(OFFlickrAPIRequest* request,
                                                                 double seconds, const QString& reason) {
    if (request != _flickrRequest.get() || !m_callTicket || m_callTicket->generation != m_accountGeneration)
        return;
    m_sync->waitingToRetry(seconds, reason);
}

void TSAppDelegate::editingStageFailed(const QString& stage, const OFError& error) {
    m_editing->didFail(stage, error);
}

void TSAppDelegate::currentArchiveDidChange() {
    if (m_sync->isRefreshingPreferences())
        return;
    m_sync->currentArchiveChanged();
    // Results of the archive let go would name pictures of another one.
    dropResults();
    // The account and its token stay valid; what writes to the archive stops.
    static const QStringList kAccountStages = {"OAuth", "TestLogin", "GetUserProfile"};
    if (m_callTicket && !kAccountStages.contains(m_callTicket->stage))
        cancelCallInFlight();
    m_editing->currentArchiveChanged();
    m_verify->currentArchiveChanged();
}

void TSAppDelegate::currentAccountDidChange() {
    auto& s = m_state;
    if (m_sync->isRefreshingPreferences())
        return;
    m_sync->currentArchiveChanged();
    dropResults();
    // Nothing begun for the old account may finish against the new one.
    ++m_accountGeneration;
    cancelCallInFlight();
    m_editing->currentArchiveChanged();
    m_verify->currentArchiveChanged();
    if (m_controls->doneSheet->isVisible())
        m_controls->doneSheet->endSheet();
    const int index = s.indexOfAccount(s.currentAccountName);
    _flickrContext->setOAuthToken(index >= 0 ? s.authTokenArray.value(index, kNoToken) : kNoToken);
    _flickrContext->setOAuthTokenSecret(index >= 0 ? s.authTokenSecretArray.value(index, kNoToken)
                                                   : kNoToken);
    setConnectionState(0);
    setNotConnectedButtons();
}

void TSAppDelegate::testConnectionIfTokenHeld() {
    const int index = m_state.indexOfAccount(m_state.currentAccountName);
    if (index >= 0 && m_state.authTokenArray.value(index, kNoToken) != kNoToken)
        checkConnection();
}

} // namespace tessaly
