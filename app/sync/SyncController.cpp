// The download flows: their commands, the confirmation sheets, the routing of
// their answers, the finish and the failures.
#include "SyncController.h"

#include "OFCallBudget.h"
#include "OFFlickrAPIRequest.h"
#include "OFTimeSource.h"
#include "OFXMLMapper.h"
#include "PlatformServices.h"
#include "TSAppDelegate.h"
#include "accounts/PathRules.h"
#include "accounts/StatusFigures.h"

#include <QTimer>

namespace tessaly::sync {

namespace {
const QString kTakenDates = QStringLiteral("0000000000,9999999999,0000000000,9999999999");
} // namespace

SyncController::SyncController(TSAppDelegate& app) : m_app(app) {
    auto& c = app.controls();
    c.downloadButton->setAction([this] { getPhotoCount(); });
    c.downloadInfoItem->setAction([this] { getPhotoCount(); });
    c.downloadFilesButton->setAction([this] { getPhotoFiles(); });
    c.downloadPixItem->setAction([this] { getPhotoFiles(); });
    for (Button* ok : {c.permsOkButton, c.countOkButton})
        ok->setAction([this] { doCount(); });
    for (Button* cancel : {c.permsCancelButton, c.countCancelButton})
        cancel->setAction([this] { cancelCount(); });
    for (Button* done : {c.doneDownloadingButton, c.doneDownloadingButton2})
        done->setAction([this] { doneDownloading(); });
}

SyncController::~SyncController() {
    if (m_download)
        m_download->cancel();
}

bool SyncController::isSyncStage(const QString& stage) {
    static const QStringList stages = {"DownloadPhotos", "GetSets",     "GetPhotoSets", "GetPerms",
                                       "GetExif",        "CountPhotos", "GetSizes"};
    return stages.contains(stage);
}

void SyncController::log(const QString& line) { m_app.errorLog().write(line); }

void SyncController::alert(const QString& message) {
    m_app.postAlert({{}, message, {}, AlertStyle::Critical});
}

void SyncController::clearProgress() {
    m_app.controls().progressIndicator->stopAnimation();
    m_app.controls().progressLabel->setStringValue({});
    m_app.controls().progressDetailTextField->setStringValue({});
    m_pace.reset();
}

// The time left of a stage with a call (or a file) per picture, at the pace
// measured so far and never faster than the call budget allows.
void SyncController::showEstimate(qint64 remaining, bool calls) {
    m_pace.itemDone(OFTimeSource::shared().nowMs());
    const double seconds =
        m_pace.secondsFor(remaining, calls ? OFCallBudget::shared().secondsFor(1) : 0.0);
    m_app.controls().progressDetailTextField->setStringValue(seconds < 0 ? QString() : estimateText(seconds));
}

void SyncController::waitingToRetry(double seconds, const QString& reason) {
    m_app.controls().progressDetailTextField->setStringValue(retryText(reason, seconds));
}

void SyncController::openErrorLog() {
    m_app.errorLog().open(paths::errorLogFor(m_app.state().pixPath));
}

bool SyncController::callStage(const QString& stage, const QString& method, QVariantMap arguments) {
    arguments.insert(QStringLiteral("api_key"), m_app.flickrContext().key());
    if (m_app.callFlickr(stage, method, arguments))
        return true;
    // Another call holds the request (a connection test, say): the flow
    // cannot go on, and says so instead of waiting for ever.
    endWithFailure(stage, QStringLiteral("Another request to Flickr was under way."));
    return false;
}

void SyncController::getPhotoCount() {
    if (m_phase != Phase::Idle && m_phase != Phase::Finished)
        return; // one flow at a time
    m_app.setPixPath();
    if (!takeDownloadLock())
        return;
    m_flow = Flow::Information;
    m_phase = Phase::Counting;
    openErrorLog();
    requestCount();
}

void SyncController::getPhotoFiles() {
    if (m_phase != Phase::Idle && m_phase != Phase::Finished)
        return;
    m_app.setPixPath();
    if (!takeDownloadLock())
        return;
    m_flow = Flow::Files;
    m_phase = Phase::Counting;
    openErrorLog();
    requestCount();
}

bool SyncController::takeDownloadLock() {
    const QString archive = m_app.state().dbPath;
    m_lock = std::make_unique<QLockFile>(archive + QStringLiteral(".lock"));
    // Held as long as the download runs; only a dead process's lock is stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    const bool held = m_lock->error() == QLockFile::LockFailedError;
    m_lock.reset();
    m_app.postAlert(
        {"Download Already Running",
         held ? QString("Another download of the account \"%1\" is running, in Tessaly or in "
                        "tessaly-cli. Try again when it has finished.")
                    .arg(m_app.state().currentAccountName)
              : QString("Tessaly could not create the file %1.lock beside the archive, so it "
                        "cannot make sure that no other download of this account is running.")
                    .arg(archive),
         {},
         AlertStyle::Critical});
    return false;
}

void SyncController::enterIdle() {
    m_flow = Flow::None;
    m_phase = Phase::Idle;
    m_lock.reset();
}

void SyncController::requestCount(int attempts) {
    // Connecting ends with the profile address; a download asked for meanwhile
    // waits for it rather than failing.
    if (m_app.flickrRequest().isRunning() && attempts > 0) {
        QTimer::singleShot(50, this, [this, attempts, run = ++m_run] {
            if (run == m_run && m_phase == Phase::Counting)
                requestCount(attempts - 1);
        });
        return;
    }
    callStage("CountPhotos", "flickr.photos.getCounts", {{"taken_dates", kTakenDates}});
}

void SyncController::countPhotos() {
    auto& c = m_app.controls();
    m_phase = Phase::Confirming;
    if (m_flow == Flow::Information) {
        c.permsOptionTextField->setStringValue(
            QString("Your photostream contains %1 pictures. Are you ready to download the Flickr "
                    "picture information?")
                .arg(m_state.photoCountText));
        c.permsOptionSheet->beginSheet(c.window);
        return;
    }
    SqlResult result;
    m_state.flickrIDList = PhotoStore(m_app.database()).column("SELECT flickrID FROM photos", &result);
    if (!result.ok())
        alert(QString("SQL error: %1").arg(result.message));
    if (m_state.flickrIDList.isEmpty()) {
        m_app.postAlert({{},
                         "There is no picture information in your Tessaly database. You need to "
                         "download the picture information before downloading the picture files.",
                         {},
                         AlertStyle::Informational});
        enterIdle();
        return;
    }
    c.countTextField->setStringValue(
        QString("Your database contains %1 picture records. Are you ready to download the picture "
                "files? This may take a while.")
            .arg(status::groupedNumber(m_state.flickrIDList.size())));
    c.countSheet->beginSheet(c.window);
}

void SyncController::doCount() {
    auto& c = m_app.controls();
    if (m_phase != Phase::Confirming)
        return;
    m_phase = Phase::Running;
    if (m_flow == Flow::Files) {
        c.countSheet->endSheet();
        startFileDownload();
        return;
    }
    m_state.permsOption = c.permsCheck->state() == Button::On;
    m_state.exifOption = c.exifCheck->state() == Button::On;
    m_state.fullPerms = c.fullPermsCheck->state() == Button::On;
    c.permsOptionSheet->endSheet();
    c.progressLabel->setStringValue("Downloading picture info...");
    // The answers say how many pages there are; the count only asked the question.
    m_state.pageCount = 1;
    m_state.currentPage = 1;
    m_state.streamTotal = -1;
    m_state.streamTotalSteady = true;
    m_listed.clear();
    m_removedCount = 0;
    c.progressIndicator->startAnimation();
    downloadFlickr();
}

void SyncController::cancelCount() {
    auto& c = m_app.controls();
    c.permsOptionSheet->endSheet();
    c.countSheet->endSheet();
    clearProgress();
    enterIdle(); // the error log stays open until the next flow
}

void SyncController::didComplete(const QString& stage, const QVariantMap& response) {
    if (m_phase == Phase::Idle)
        return; // the flow was stopped meanwhile
    if (stage == QLatin1String("DownloadPhotos")) {
        photostreamPageAnswered(response);
    } else if (stage == QLatin1String("GetSets")) {
        setListAnswered(response);
    } else if (stage == QLatin1String("GetPhotoSets")) {
        setPhotosAnswered(response);
    } else if (stage == QLatin1String("GetPerms")) {
        if (!processPerms(OFValueForKeyPath(response, "perms").toMap()))
            return;
        if (m_state.recordIndex >= m_state.flickrIDList.size())
            afterPermissions();
        else
            getPerms();
    } else if (stage == QLatin1String("GetExif")) {
        m_state.exifEntries = asList(OFValueForKeyPath(response, "photo.exif"));
        if (processExif())
            getExif();
    } else if (stage == QLatin1String("GetSizes")) {
        videoSizesAnswered(response);
    } else if (stage == QLatin1String("CountPhotos")) {
        const QVariantMap first =
            asList(OFValueForKeyPath(response, "photocounts.photocount")).value(0).toMap();
        m_state.photoCount = int(leadingInteger(first.value("count").toString()));
        m_state.photoCountText = status::groupedNumber(m_state.photoCount);
        // The current account's paths and archive, afresh; the flow itself
        // does not count as a change of account.
        m_refreshingPreferences = true;
        m_app.savePreferences();
        m_app.getPrefs();
        m_app.openDatabase(m_app.state().dbPath);
        m_refreshingPreferences = false;
        countPhotos();
    }
}

void SyncController::didFail(const QString& stage, const OFError& error) {
    if (m_phase == Phase::Idle)
        return;
    const QString description = error.localizedDescription();
    if (stage == QLatin1String("GetExif")) {
        log(QString("An error occurred while downloading the EXIF information. Stage: %1, Error: %2\n\n")
                .arg(stage, description));
        getExif();
        return;
    }
    if (stage == QLatin1String("GetSizes")) {
        log(QString("Flickr did not say which video files the video %1 has; it was passed over. Error: %2\n\n")
                .arg(m_state.requestFlickrID, description));
        ++m_state.videoIndex;
        nextVideo();
        return;
    }
    if (stage == QLatin1String("GetPerms")) {
        log(QString("An error occurred while downloading the permissions information. Stage: %1, "
                    "Error: %2\n\n")
                .arg(stage, description));
        if (m_state.recordIndex >= m_state.flickrIDList.size())
            afterPermissions();
        else
            getPerms();
        return;
    }
    // A set deleted on Flickr since an earlier download: the others go on.
    if (stage == QLatin1String("GetPhotoSets") &&
        error.domain == QLatin1String(OFFlickrAPIReturnedErrorDomain) && error.code == 1) {
        log(QString("The photo set %1 is no longer on Flickr and was passed over. Error: %2\n")
                .arg(m_state.currentSetID, description));
        nextSetOrOn();
        return;
    }
    endWithFailure(stage, description);
}

bool SyncController::readFailed(const QString& stage, const SqlResult& result) {
    if (result.ok())
        return false;
    alert(QString("SQL error: %1").arg(result.message));
    endWithFailure(stage, QString("The archive could not be read: %1").arg(result.message));
    return true;
}

void SyncController::endWithFailure(const QString& stage, const QString& description) {
    // A call this flow has out (the next page, asked for early) is its own no more.
    if (isSyncStage(m_app.flickrRequest().sessionInfo().toString()))
        m_app.cancelCallInFlight();
    log(QString("An error occurred in the stage %1, Error: %2\n").arg(stage, description));
    clearProgress();
    m_app.setInfoDownloadRunning(false);
    flushFileSizes();
    enterIdle();
}

void SyncController::currentArchiveChanged() {
    if (m_refreshingPreferences || m_phase == Phase::Idle || m_phase == Phase::Finished)
        return;
    auto& c = m_app.controls();
    c.permsOptionSheet->endSheet();
    c.countSheet->endSheet();
    if (m_download)
        m_download->cancel();
    // Sizes measured so far belong to the archive still open.
    flushFileSizes();
    log("The download stopped because the current account changed.\n");
    clearProgress();
    m_app.setInfoDownloadRunning(false);
    enterIdle();
}

void SyncController::showFinish(const QString& message) {
    auto& c = m_app.controls();
    clearProgress();
    c.doneTextField->setStringValue(message);
    c.doneTextField2->setStringValue(message);
    c.errorsTextField->setStringValue(m_app.errorLog().readAll());
    m_phase = Phase::Finished;
    m_lock.reset();
    if (c.errorsTextField->stringValue().isEmpty())
        c.doneDownloadingSheet2->beginSheet(c.window);
    else
        c.doneDownloadingSheet->beginSheet(c.window);
}

bool SyncController::noteRemovedPictures() {
    SqlResult result;
    m_removedCount = PhotoStore(m_app.database()).recordRemovedPictures(m_listed, &result);
    if (result.ok())
        return true;
    m_removedCount = 0;
    endWithFailure("DownloadPhotos", QString("The pictures no longer on Flickr could not be noted in the "
                                             "archive: %1").arg(result.message));
    return false;
}

void SyncController::finishInformation(const QString& message) {
    // Never deleted: the archive may be the only copy left of them.
    if (m_removedCount > 0)
        log(m_removedCount == 1
                ? QString("The archive keeps 1 picture that is no longer in your Flickr photostream.\n")
                : QString("The archive keeps %1 pictures that are no longer in your Flickr photostream.\n")
                      .arg(m_removedCount));
    m_app.setDBnum();
    m_app.setInfoDownloadRunning(false);
    showFinish(message);
}

void SyncController::doneDownloading() {
    auto& c = m_app.controls();
    m_app.errorLog().close();
    c.doneDownloadingSheet->endSheet();
    c.doneDownloadingSheet2->endSheet();
    c.progressIndicator->stopAnimation();
    if (m_phase == Phase::Finished)
        enterIdle();
}

} // namespace tessaly::sync
