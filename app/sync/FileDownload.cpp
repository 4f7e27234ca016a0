// The picture-file download: the original, square and large file of every
// record, one at a time, passing over files that are already there.
#include "SyncController.h"

#include "OFFlickrAPIRequest.h"
#include "OFTimeSource.h"
#include "PlatformServices.h"
#include "TSAppDelegate.h"
#include "accounts/PathRules.h"
#include "SyncValues.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

namespace tessaly::sync {

namespace {

// The name a picture file takes in the picture folder: the address's last
// path component. An address that is not a web address, or that names no
// file of its own, gives none.
QString fileNameOf(const QString& url) {
    if (!isWebAddress(url))
        return {};
    const QString name = paths::lastPathComponent(url);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QChar(0)))
        return {};
    return name;
}

// Long runs of files already present yield to the event loop now and then.
constexpr qint64 kSliceMs = 40;
// File sizes wait in memory and are written this many at a time.
constexpr int kSizeBatch = 500;
// A file that keeps failing is tried this many times, then logged and passed over.
constexpr int kFileAttempts = 3;

} // namespace

SqlResult SyncController::fillURLLists() {
    m_state.flickrIDList.clear();
    m_state.originalURLs.clear();
    m_state.squareURLs.clear();
    m_state.largeURLs.clear();
    // One statement fills all four lists, so they stay parallel.
    const SqlResult result = m_app.database().exec(
        "SELECT flickrID,url_o,url_sq,url_l FROM photos", [this](const SqlRow& row) {
            m_state.flickrIDList << row.value(0);
            m_state.originalURLs << row.value(1);
            m_state.squareURLs << row.value(2);
            m_state.largeURLs << row.value(3);
            if (m_state.largeURLs.last().isEmpty())
                m_state.largeURLs.last() = m_state.squareURLs.last();
            if (m_state.originalURLs.last().isEmpty())
                m_state.originalURLs.last() = m_state.largeURLs.last();
            return 0;
        });
    return result;
}

void SyncController::startFileDownload() {
    auto& c = m_app.controls();
    c.progressLabel->setStringValue("Downloading picture files...");
    c.progressIndicator->startAnimation();
    m_state.fileIndex = 0;
    m_state.sizePhase = 0;
    m_fileFailures = 0;
    m_pendingSizes.clear();
    m_videoPass = false;
    if (readFailed("DownloadFiles", fillURLLists()))
        return;
    QDir().mkpath(m_app.state().pixPath);
    downloadFiles();
}

QString SyncController::currentURL() const {
    const int i = m_state.fileIndex;
    switch (m_state.sizePhase) {
    case 0:
        return m_state.originalURLs.value(i);
    case 1:
        return m_state.squareURLs.value(i);
    default:
        return m_state.largeURLs.value(i);
    }
}

void SyncController::downloadFiles() {
    // A search keeps the archive busy: the files go on after it.
    if (m_app.database().isBusy()) {
        m_app.database().whenFree(this, [this, run = m_run] {
            if (run == m_run)
                downloadFiles();
        });
        return;
    }
    const QString folder = m_app.state().pixPath + QLatin1Char('/');
    const quint64 run = ++m_run;
    QElapsedTimer slice;
    slice.start();
    while (m_phase == Phase::Running && m_state.fileIndex < m_state.originalURLs.size()) {
        if (m_state.sizePhase == 0 && passRecordOver(folder)) {
            if (m_pendingSizes.size() >= kSizeBatch && !flushFileSizes())
                return;
            if (slice.elapsed() > kSliceMs)
                return resumeFilesLater(run);
            continue;
        }
        const QString url = currentURL();
        const QString name = fileNameOf(url);
        m_state.downloadDestination = name.isEmpty() ? QString() : folder + name;
        m_app.controls().progressLabel->setStringValue(
            QString("downloading pictures... %1 of %2").arg(m_state.fileIndex).arg(m_state.photoCountText));
        if (name.isEmpty()) {
            // Once per record, though its three files may share the address.
            const bool told = m_state.sizePhase > 0 &&
                              (url == m_state.originalURLs[m_state.fileIndex] ||
                               (m_state.sizePhase == 2 && url == m_state.squareURLs[m_state.fileIndex]));
            if (!told && !isWebAddress(url))
                log(QString("The picture address \"%1\" of picture %2 is not a web address; it was passed over.\n\n")
                        .arg(url, m_state.flickrIDList.value(m_state.fileIndex)));
            else if (!told)
                log(QString("The picture address \"%1\" names no file; it was passed over.\n\n").arg(url));
        } else {
            // A companion without a file name of its own cannot be fetched: it
            // counts as present.
            const auto present = [&folder](const QString& companion) {
                const QString file = fileNameOf(companion);
                return file.isEmpty() || QFileInfo::exists(folder + file);
            };
            if (!QFileInfo::exists(m_state.downloadDestination) ||
                !present(m_state.squareURLs[m_state.fileIndex]) ||
                !present(m_state.largeURLs[m_state.fileIndex])) {
                if (!flushFileSizes())
                    return;
                // A picture deleted meanwhile gets no files.
                if (!recordStillThere()) {
                    m_fileFailures = 0;
                    m_state.sizePhase = 0;
                    ++m_state.fileIndex;
                    continue;
                }
                startDownloadingURLFileDest(url, m_state.downloadDestination);
                return;
            }
        }
        if (!finishFile())
            return;
        if (slice.elapsed() > kSliceMs)
            return resumeFilesLater(run);
    }
    if (m_phase == Phase::Running)
        startVideoFiles();
}

// A record whose three files are all there is passed over at once, each
// file looked at once: the common case of a repeated download.
bool SyncController::passRecordOver(const QString& folder) {
    const int i = m_state.fileIndex;
    const QString original = fileNameOf(m_state.originalURLs[i]);
    const QString square = fileNameOf(m_state.squareURLs[i]);
    const QString large = fileNameOf(m_state.largeURLs[i]);
    if (original.isEmpty() || square.isEmpty() || large.isEmpty())
        return false;
    const QFileInfo originalFile(folder + original);
    if (!originalFile.exists() || !QFileInfo::exists(folder + square) || !QFileInfo::exists(folder + large))
        return false;
    m_state.downloadDestination = folder + large;
    m_pendingSizes.append({m_state.flickrIDList.value(i), originalFile.size()});
    ++m_state.fileIndex;
    if (m_state.fileIndex % 64 == 0 || m_state.fileIndex == m_state.originalURLs.size())
        m_app.controls().progressLabel->setStringValue(
            QString("downloading pictures... %1 of %2").arg(m_state.fileIndex).arg(m_state.photoCountText));
    return true;
}

bool SyncController::startDownloadingURLFileDest(const QString& url, const QString& destination) {
    m_download = m_app.platform().urlDownloads().startDownload(QUrl(url), destination, 120.0, this,
                                                               &pictureProblem);
    if (m_download) {
        m_state.downloadDestination = destination;
        return true;
    }
    alert(QString("The download of %1 was unsuccessful.").arg(url));
    clearProgress();
    enterIdle();
    return false;
}

bool SyncController::recordStillThere() {
    bool found = false;
    const SqlResult result = m_app.database().run("SELECT 1 FROM photos WHERE flickrID=?",
                                                  {m_state.flickrIDList.value(m_state.fileIndex)},
                                                  [&found](const SqlRow&) {
                                                      found = true;
                                                      return 0;
                                                  });
    // A record that cannot be looked at is fetched as before.
    return found || !result.ok();
}

void SyncController::downloadDidBegin(URLDownload*) {
    m_app.controls().progressLabel->setStringValue(
        QString("downloading pictures... %1 of %2").arg(m_state.fileIndex).arg(m_state.photoCountText));
}

void SyncController::downloadDidFinish(URLDownload* download) {
    if (download != m_download || m_phase != Phase::Running)
        return;
    m_download = nullptr;
    // The size goes to the archive, which a search may keep busy for a while.
    m_app.database().whenFree(this, [this, run = m_run] {
        if (run != m_run || m_phase != Phase::Running)
            return;
        if (m_videoPass)
            videoFileDone();
        else
            continueFiles();
    });
}

void SyncController::downloadDidFailWithError(URLDownload* download, const QString& description,
                                              const QString& url) {
    if (download != m_download || m_phase != Phase::Running)
        return;
    m_download = nullptr;
    m_app.database().whenFree(this, [=, this, run = m_run, status = download->httpStatus(),
                                     retryAfter = download->retryAfter(), failure = download->failure()] {
        if (run == m_run && m_phase == Phase::Running)
            fileFailed(status, retryAfter, failure, description, url);
    });
}

void SyncController::fileFailed(int status, const QByteArray& retryAfter, URLDownload::Failure failure,
                                const QString& description, const QString& url) {
    // Removed or withheld (the originals of free accounts): asking again won't help.
    if (status == 403 || status == 404 || status == 410) {
        log(QString("The picture file %1 is not available (HTTP %2); it was passed over.\n\n").arg(url).arg(status));
        continueFiles();
        return;
    }
    // Nothing further can be kept: the download ends here, as failed.
    if (failure == URLDownload::Failure::DiskFull) {
        alert(QString("The picture files could not be downloaded. %1").arg(description));
        endWithFailure("DownloadFiles", description);
        return;
    }
    // The same file again, after a wait that grows, but not for ever; a file
    // that arrives in the end leaves no failure in the log.
    const OFRetryPolicy& policy = OFFlickrAPIRequest::retryPolicy();
    if (failure != URLDownload::Failure::TooLarge && ++m_fileFailures < kFileAttempts) {
        const qint64 wait = policy.waitMs(m_fileFailures, status == 429,
                                          OFRetryPolicy::retryAfterMs(retryAfter,
                                                                      QDateTime::currentDateTimeUtc()));
        QString reason = description;
        if (status >= 400)
            reason = QString("The picture server answered HTTP %1").arg(status);
        else if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        waitingToRetry(double(wait) / 1000.0, reason);
        OFTimeSource::shared().callAfter(wait, this, [this, run = ++m_run] {
            if (run == m_run && m_phase == Phase::Running)
                retryFile();
        });
        return;
    }
    log(QString("Download failed! Error - %1 %2\n\n").arg(description, url));
    if (failure != URLDownload::Failure::TooLarge)
        log(QString("Gave up on %1 after %2 failed downloads.\n\n").arg(url).arg(kFileAttempts));
    continueFiles();
}

void SyncController::continueFiles() {
    if (m_videoPass) {
        m_fileFailures = 0;
        ++m_state.videoIndex;
        nextVideo();
    } else if (finishFile()) {
        downloadFiles();
    }
}

void SyncController::retryFile() {
    if (m_videoPass)
        startDownloadingURLFileDest(m_state.videoSize.source, m_state.downloadDestination);
    else
        downloadFiles();
}

void SyncController::resumeFilesLater(quint64 run) {
    QTimer::singleShot(0, this, [this, run] {
        if (run == m_run)
            downloadFiles();
    });
}

// The file of (fileIndex, sizePhase) is done, fetched or passed over: note
// the original's size and step to the next file. False when the flow stopped.
bool SyncController::finishFile() {
    m_fileFailures = 0;
    if (m_state.sizePhase == 0) {
        const QFileInfo original(m_state.downloadDestination);
        m_pendingSizes.append({m_state.flickrIDList.value(m_state.fileIndex),
                               m_state.downloadDestination.isEmpty() ? 0 : original.size()});
        if (m_pendingSizes.size() >= kSizeBatch && !flushFileSizes())
            return false;
    }
    if (++m_state.sizePhase > 2) {
        m_state.sizePhase = 0;
        ++m_state.fileIndex;
        showEstimate(m_state.originalURLs.size() - m_state.fileIndex, false);
    }
    return true;
}

bool SyncController::flushFileSizes() {
    if (m_pendingSizes.isEmpty())
        return true;
    const SqlResult result = PhotoStore(m_app.database()).storeFileSizes(m_pendingSizes);
    m_pendingSizes.clear();
    if (result.ok())
        return true;
    alert(QString("SQL error: %1").arg(result.message));
    clearProgress();
    enterIdle();
    return false;
}

void SyncController::finishFiles() {
    if (!flushFileSizes())
        return;
    m_app.setFilenum();
    showFinish("All of your picture files have finished downloading.");
}

} // namespace tessaly::sync
