// The videos' own files: after the picture files, each video that has no
// video file yet gets its sizes asked for (paced like every call) and its
// best video size downloaded, through the same checks and retries as a
// picture file.
#include "SyncController.h"

#include "OFFlickrAPIRequest.h"
#include "TSAppDelegate.h"
#include "accounts/StatusFigures.h"

#include <QFileInfo>

namespace tessaly::sync {

void SyncController::startVideoFiles() {
    if (!flushFileSizes())
        return;
    SqlResult result;
    m_state.videoIDs = PhotoStore(m_app.database()).videosNeedingFiles(m_app.state().pixPath, &result);
    if (!result.ok()) {
        alert(QString("SQL error: %1").arg(result.message));
        endWithFailure("GetSizes", QString("The archive could not say which videos lack their file: %1")
                                       .arg(result.message));
        return;
    }
    m_state.videoIndex = 0;
    m_videoPass = true;
    m_fileFailures = 0;
    nextVideo();
}

void SyncController::nextVideo() {
    while (m_phase == Phase::Running && m_state.videoIndex < m_state.videoIDs.size()) {
        m_state.requestFlickrID = m_state.videoIDs[m_state.videoIndex];
        // A video deleted from the archive meanwhile gets no file.
        bool there = false;
        m_app.database().run("SELECT 1 FROM photos WHERE flickrID=?", {m_state.requestFlickrID},
                             [&there](const SqlRow&) {
                                 there = true;
                                 return 0;
                             });
        if (!there) {
            ++m_state.videoIndex;
            continue;
        }
        m_app.controls().progressLabel->setStringValue(
            QString("downloading videos... %1 of %2")
                .arg(m_state.videoIndex)
                .arg(status::groupedNumber(m_state.videoIDs.size())));
        callStage("GetSizes", "flickr.photos.getSizes", {{"photo_id", m_state.requestFlickrID}});
        return;
    }
    if (m_phase == Phase::Running) {
        m_videoPass = false;
        finishFiles();
    }
}

void SyncController::videoSizesAnswered(const QVariantMap& response) {
    const QString id = m_state.requestFlickrID;
    m_state.videoSize = bestVideoSize(response);
    const QString name = videoFileName(m_state.videoSize.source, id);
    if (m_state.videoSize.source.isEmpty() || !isWebAddress(m_state.videoSize.source) || name.isEmpty()) {
        log(QString("Flickr offers no video file for the video %1; it was passed over.\n\n").arg(id));
        ++m_state.videoIndex;
        nextVideo();
        return;
    }
    m_fileFailures = 0;
    startDownloadingURLFileDest(m_state.videoSize.source, m_app.state().pixPath + QLatin1Char('/') + name);
}

void SyncController::videoFileDone() {
    const QFileInfo file(m_state.downloadDestination);
    const SqlResult result = PhotoStore(m_app.database())
                                 .storeVideoFile(m_state.requestFlickrID, file.fileName(), file.size(),
                                                 m_state.videoSize.label);
    if (!result.ok()) {
        alert(QString("SQL error: %1").arg(result.message));
        endWithFailure("GetSizes", QString("The video file of %1 could not be noted in the archive: %2")
                                       .arg(m_state.requestFlickrID, result.message));
        return;
    }
    m_fileFailures = 0;
    ++m_state.videoIndex;
    nextVideo();
}

} // namespace tessaly::sync
