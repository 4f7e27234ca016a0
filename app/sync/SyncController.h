#pragma once

#include "Pacing.h"
#include "PhotoStore.h"
#include "URLDownload.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QVariantList>

#include <memory>

struct OFError;

namespace tessaly {

class TSAppDelegate;

namespace sync {

// Where a download flow stands.
enum class Flow { None, Information, Files };
enum class Phase { Idle, Counting, Confirming, Running, Finished };

// The synchronisation state, under the names the flows use.
struct SyncState {
    int photoCount = 0;
    QString photoCountText;
    QString permsCountText; // of the pictures whose permissions are asked for
    int currentPage = 0;
    int pageCount = 0; // as the last photostream answer says
    // The photostream's total as its answers give it, and whether every
    // answer of this download gave the same one.
    int streamTotal = -1;
    bool streamTotalSteady = true;
    QVariantList responseItems;
    QStringList setIDList;
    int setIndex = 0;
    int setPhotosPage = 0;
    int setsPage = 0;
    QString currentSetID;
    QStringList flickrIDList;
    int recordIndex = 0;
    QString requestFlickrID;
    QVariantList exifEntries;
    bool permsOption = false;
    bool fullPerms = false; // ask for every picture's permissions, changed or not
    bool exifOption = false;

    // The picture-file download.
    QStringList originalURLs;
    QStringList squareURLs;
    QStringList largeURLs;
    int fileIndex = 0;
    int sizePhase = 0;
    QString downloadDestination;

    // The videos' own files, after the picture files.
    QStringList videoIDs;
    int videoIndex = 0;
    VideoSize videoSize;
};

// The two download flows: the picture information (count, pages, sets, set
// membership, permissions, EXIF) and the picture files. The controller
// routes each answer of their stages here; the flow starts its next call.
class SyncController : public QObject, public URLDownloadDelegate {
    Q_OBJECT
public:
    explicit SyncController(TSAppDelegate& app);
    ~SyncController() override;

    const SyncState& state() const { return m_state; }
    Flow flow() const { return m_flow; }
    Phase phase() const { return m_phase; }

    // Commands and the confirmation sheets.
    void getPhotoCount();
    void getPhotoFiles();
    void countPhotos();
    void doCount();
    void cancelCount();
    void doneDownloading();

    // Routing of the answers of the download stages.
    static bool isSyncStage(const QString& stage);
    void didComplete(const QString& stage, const QVariantMap& response);
    void didFail(const QString& stage, const OFError& error);
    // The current account or archive changed: a flow under way stops.
    void currentArchiveChanged();
    // A call of the application waits before it is sent again.
    void waitingToRetry(double seconds, const QString& reason);
    bool isRefreshingPreferences() const { return m_refreshingPreferences; }

    // The stages of the information download. A process step that cannot
    // store what it was given ends the flow as failed and answers false.
    void downloadFlickr();
    // Stores the pictures of the page answered last (number `page`).
    bool processPhotos(int page);
    void getSets();
    bool processSets();
    void getPhotoSets();
    bool processPhotoSets();
    void getPerms();
    bool processPerms(const QVariantMap& perms);
    void getExif();
    bool processExif();

    // The picture-file download.
    void downloadFiles();
    bool startDownloadingURLFileDest(const QString& url, const QString& destination);
    void downloadDidBegin(URLDownload* download) override;
    void downloadDidFinish(URLDownload* download) override;
    void downloadDidFailWithError(URLDownload* download, const QString& description,
                                  const QString& url) override;

    // The video files (VideoFiles.cpp): each video without its file gets
    // its sizes asked for and its best video size downloaded.
    void startVideoFiles();
    void nextVideo();
    void videoSizesAnswered(const QVariantMap& response);

private:
    bool callStage(const QString& stage, const QString& method, QVariantMap arguments);
    void endWithFailure(const QString& stage, const QString& description);
    // The flow is over: nothing runs, and the account's lock is let go.
    void enterIdle();
    void finishInformation(const QString& message);
    void showFinish(const QString& message);
    void clearProgress();
    void showEstimate(qint64 remaining, bool calls);
    void alert(const QString& message);
    void log(const QString& line);
    void openErrorLog();
    void requestCount(int attempts = 600);
    // A download of this account in another process, or in this one, holds
    // the lock beside the archive: the flow starts nothing and says so.
    bool takeDownloadLock();
    void photostreamPageAnswered(const QVariantMap& response);
    void photostreamRead();
    void setListAnswered(const QVariantMap& response);
    void setPhotosAnswered(const QVariantMap& response);
    // Whether a listing goes on after a page of `items`: while the answer's
    // own page count says so, never after a page that listed nothing new.
    static bool morePages(int page, const QVariantMap& list, const QVariantList& items, QSet<QString>* seen);
    void requestSetPhotos();
    void nextSetOrOn();
    bool prepareRecordList();
    void permsOrExif();
    void afterPermissions();
    bool noteRemovedPictures();

    void startFileDownload();
    SqlResult fillURLLists();
    // A list the flow goes on from that could not be read ends it: an empty list would finish as if all were done.
    bool readFailed(const QString& stage, const SqlResult& result);
    bool finishFile();
    // The skip loop gives the event loop a turn, then goes on where it was.
    void resumeFilesLater(quint64 run);
    bool passRecordOver(const QString& folder);
    // Whether the record of the current file is still in the archive.
    bool recordStillThere();
    void fileFailed(int status, const QByteArray& retryAfter, URLDownload::Failure failure,
                    const QString& description, const QString& url);
    void finishFiles();
    // The file in flight is done, fetched or given up: the flow goes on.
    void continueFiles();
    void retryFile();
    void videoFileDone();
    bool flushFileSizes();
    QString currentURL() const;

    TSAppDelegate& m_app;
    SyncState m_state;
    Flow m_flow = Flow::None;
    Phase m_phase = Phase::Idle;
    bool m_refreshingPreferences = false;
    // Records of the EXIF stage that still lack EXIF data, and how many have it.
    QSet<QString> m_withoutExif;
    int m_withExifCount = 0;
    // The file download: the download in flight, failures of the current
    // file, sizes waiting to be written, and the slice that passes files over.
    QPointer<URLDownload> m_download;
    bool m_videoPass = false;
    int m_fileFailures = 0;
    QList<QPair<QString, qint64>> m_pendingSizes;
    quint64 m_run = 0;
    PaceEstimate m_pace;
    // The pictures the photostream pages listed, and how many of the archive's
    // they no longer list.
    QSet<QString> m_listed;
    int m_removedCount = 0;
    // The sets, and the pictures of the current set, listed so far.
    QSet<QString> m_setsListed;
    QSet<QString> m_setPhotosListed;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace sync
} // namespace tessaly
