// The answers of the Flickr API, routed by the stage tag each request carries.
#include "TSAppDelegate.h"

#include "PlatformServices.h"

namespace tessaly {

void TSAppDelegate::flickrAPIRequestDidCompleteWithResponse(OFFlickrAPIRequest* request,
                                                            const QVariantMap& response) {
    const QString stage = request->sessionInfo().toString();
    if (stage == QLatin1String("TestLogin"))
        testLoginSucceeded(response);
    else if (stage == QLatin1String("GetUserProfile"))
        userProfileReceived(response);
    // Answers of any other stage are ignored.
}

void TSAppDelegate::logFailure(const QString& line) { m_errorLog.write(line); }

void TSAppDelegate::flickrAPIRequestDidFailWithError(OFFlickrAPIRequest* request,
                                                     const OFError& error) {
    const QString stage = request->sessionInfo().toString();
    setInfoDownloadRunning(false);
    if (stage == QLatin1String("TestLogin")) {
        setNotConnectedButtons();
        m_platform.alert("Authorization Unsuccessful",
                         "Tessaly couldn't connect to Flickr. Check your Internet connection.");
        return;
    }
    if (stage == QLatin1String("OAuth"))
        setNotConnectedButtons();
    logFailure(QString("An error occurred in the stage %1, Error: %2\n")
                   .arg(stage, error.localizedDescription()));
    m_controls->progressIndicator->stopAnimation();
    m_controls->progressLabel->setStringValue({});
}

} // namespace tessaly
