// The stages of the picture-information download: photostream pages, sets
// and set membership, permissions and EXIF data.
#include "SyncController.h"

#include "TSAppDelegate.h"
#include "accounts/StatusFigures.h"

namespace tessaly::sync {

namespace {
const QString kExtras = QStringLiteral(
    "description, license, date_upload, date_taken, owner_name, icon_server, original_format, "
    "last_update, geo, tags, machine_tags, o_dims, views, media, path_alias, url_sq, url_t, url_s, "
    "url_m, url_z, url_l, url_o");
} // namespace

void SyncController::downloadFlickr() {
    m_app.setInfoDownloadRunning(true);
    callStage("DownloadPhotos", "flickr.people.getPhotos",
              {{"user_id", "me"},
               {"extras", kExtras},
               {"per_page", "500"},
               {"page", QString::number(m_state.currentPage)}});
}

void SyncController::photostreamPageAnswered(const QVariantMap& response) {
    const int page = m_state.currentPage;
    const QVariant list = response.value(QStringLiteral("photos"));
    if (list.typeId() != QMetaType::QVariantMap) {
        endWithFailure("DownloadPhotos",
                       QString("Flickr's answer for page %1 of the photostream held no list of pictures.").arg(page));
        return;
    }
    const QVariantMap photos = list.toMap();
    const int total = int(leadingInteger(photos.value(QStringLiteral("total")).toString()));
    if (m_state.streamTotal >= 0 && total != m_state.streamTotal)
        m_state.streamTotalSteady = false;
    m_state.streamTotal = total;
    m_state.photoCount = total;
    m_state.photoCountText = status::groupedNumber(total);
    m_state.pageCount = int(leadingInteger(photos.value(QStringLiteral("pages")).toString()));
    m_state.responseItems = asList(photos.value(QStringLiteral("photo")));
    if (m_state.responseItems.isEmpty()) {
        // Flickr counts more pages than this: a page was lost, not the stream's end.
        if (page < m_state.pageCount) {
            endWithFailure("DownloadPhotos", QString("Page %1 of the %2 pages of the photostream came back "
                                                     "without pictures.")
                                                 .arg(page)
                                                 .arg(m_state.pageCount));
            return;
        }
        photostreamRead();
        return;
    }
    const qsizetype before = m_listed.size();
    for (const QVariant& item : std::as_const(m_state.responseItems))
        m_listed.insert(item.toMap().value(QStringLiteral("id")).toString());
    if (m_listed.size() == before) {
        endWithFailure("DownloadPhotos",
                       QString("Page %1 of the photostream listed only pictures of the pages before it.").arg(page));
        return;
    }
    const bool more = m_state.pageCount > 0 ? page < m_state.pageCount : m_state.responseItems.size() >= 500;
    if (more) {
        // Flickr prepares the next page while this one is stored.
        ++m_state.currentPage;
        downloadFlickr();
        processPhotos(page);
        return;
    }
    if (processPhotos(page))
        photostreamRead();
}

void SyncController::photostreamRead() {
    // Only a walk that saw the whole stream, unchanged while it was read, can
    // tell which pictures Flickr no longer has.
    if (m_state.streamTotalSteady && m_listed.size() == m_state.streamTotal) {
        if (!noteRemovedPictures())
            return;
    } else {
        m_removedCount = 0;
        log(QString("The photostream changed while it was read (Flickr counts %1 pictures, %2 were listed); "
                    "which pictures are no longer on Flickr is decided by the next download.\n")
                .arg(status::groupedNumber(m_state.streamTotal), status::groupedNumber(m_listed.size())));
    }
    m_listed.clear();
    m_state.setsPage = 1;
    m_setsListed.clear();
    getSets();
}

bool SyncController::morePages(int page, const QVariantMap& list, const QVariantList& items, QSet<QString>* seen) {
    const qsizetype before = seen->size();
    for (const QVariant& item : items)
        seen->insert(item.toMap().value(QStringLiteral("id")).toString());
    if (items.isEmpty() || seen->size() == before)
        return false;
    const int pages = int(leadingInteger(list.value(QStringLiteral("pages")).toString()));
    return pages > 0 ? page < pages : items.size() >= 500;
}

void SyncController::setListAnswered(const QVariantMap& response) {
    const QVariantMap list = response.value(QStringLiteral("photosets")).toMap();
    m_state.responseItems = asList(list.value(QStringLiteral("photoset")));
    if (!processSets())
        return;
    if (morePages(m_state.setsPage, list, m_state.responseItems, &m_setsListed)) {
        ++m_state.setsPage;
        getSets();
        return;
    }
    m_state.setPhotosPage = 1;
    m_state.setIndex = 0;
    SqlResult result;
    m_state.setIDList = PhotoStore(m_app.database()).column("SELECT setID FROM sets", &result);
    if (!readFailed("GetPhotoSets", result))
        nextSetOrOn();
}

void SyncController::setPhotosAnswered(const QVariantMap& response) {
    // One picture or many: whatever the total says, one is a list of one.
    const QVariantMap list = response.value(QStringLiteral("photoset")).toMap();
    m_state.responseItems = asList(list.value(QStringLiteral("photo")));
    if (!processPhotoSets())
        return;
    if (morePages(m_state.setPhotosPage, list, m_state.responseItems, &m_setPhotosListed)) {
        ++m_state.setPhotosPage;
        requestSetPhotos();
        return;
    }
    nextSetOrOn();
}

bool SyncController::processPhotos(int page) {
    QList<PhotoRecord> records;
    records.reserve(m_state.responseItems.size());
    for (const QVariant& item : std::as_const(m_state.responseItems))
        records << photoRecordFrom(item.toMap());
    if (const auto failure = PhotoStore(m_app.database()).storePhotos(records)) {
        alert(QString("SQL error: %1, title = %2:%3  %4")
                  .arg(failure->result.message, failure->id, failure->title, failure->statement));
        endWithFailure("DownloadPhotos", QString("Page %1 of the photostream could not be stored: %2")
                                             .arg(page)
                                             .arg(failure->result.message));
        return false;
    }
    m_app.controls().progressLabel->setStringValue(QString("downloading picture info... %1 of %2")
                                                       .arg(qMin(qint64(page) * 500, qint64(m_state.streamTotal)))
                                                       .arg(m_state.photoCountText));
    return true;
}

void SyncController::getSets() {
    m_app.controls().progressLabel->setStringValue("downloading photo sets info...");
    // Accounts with more than one page of sets are read page by page.
    callStage("GetSets", "flickr.photosets.getList",
              {{"per_page", "500"}, {"page", QString::number(m_state.setsPage)}});
}

bool SyncController::processSets() {
    QList<SetRecord> records;
    for (const QVariant& item : std::as_const(m_state.responseItems)) {
        SetRecord record = setRecordFrom(item.toMap());
        if (isUsableSetID(record.setID))
            records << record;
        else if (record.setID.isEmpty())
            log("A photo set without an id was passed over.\n\n");
        else
            log(QString("The photo set id \"%1\" holds a comma, which the archive cannot store; the set was "
                        "passed over.\n\n")
                    .arg(record.setID));
    }
    const auto failure = PhotoStore(m_app.database()).storeSets(records);
    if (!failure)
        return true;
    alert(QString("SQL error: %1, title = %2:%3  %4")
              .arg(failure->result.message, failure->id, failure->title, failure->statement));
    endWithFailure("GetSets", QString("The photo sets could not be stored: %1").arg(failure->result.message));
    return false;
}

void SyncController::getPhotoSets() {
    if (m_state.setIndex >= m_state.setIDList.size())
        return;
    m_state.currentSetID = m_state.setIDList[m_state.setIndex];
    ++m_state.setIndex;
    m_state.setPhotosPage = 1;
    m_setPhotosListed.clear();
    requestSetPhotos();
}

void SyncController::requestSetPhotos() {
    callStage("GetPhotoSets", "flickr.photosets.getPhotos",
              {{"photoset_id", m_state.currentSetID},
               {"page", QString::number(m_state.setPhotosPage)},
               {"per_page", "500"}});
}

void SyncController::nextSetOrOn() {
    if (m_state.setIndex < m_state.setIDList.size()) {
        getPhotoSets();
        return;
    }
    permsOrExif();
}

bool SyncController::processPhotoSets() {
    QStringList ids;
    for (const QVariant& item : std::as_const(m_state.responseItems))
        ids << item.toMap().value("id").toString();
    const SqlResult result = PhotoStore(m_app.database()).recordMembership(ids, m_state.currentSetID);
    if (result.ok())
        return true;
    alert(QString("SQL error: %1").arg(result.message));
    endWithFailure("GetPhotoSets", QString("The pictures of the photo set %1 could not be stored: %2")
                                       .arg(m_state.currentSetID, result.message));
    return false;
}

bool SyncController::prepareRecordList() {
    m_state.recordIndex = 0;
    PhotoStore store(m_app.database());
    SqlResult result;
    m_state.flickrIDList = store.column("SELECT flickrID FROM photos", &result);
    if (readFailed("GetExif", result))
        return false;
    // Which records still lack EXIF data, asked once instead of per picture.
    // Not knowing it would count every picture as having some.
    const QStringList without = store.photosNeedingExif(&result);
    if (!result.ok()) {
        endWithFailure("GetExif", QString("The archive could not say which pictures lack EXIF data: %1")
                                      .arg(result.message));
        return false;
    }
    m_withoutExif = QSet<QString>(without.cbegin(), without.cend());
    m_withExifCount = int(m_state.flickrIDList.size() - m_withoutExif.size());
    return true;
}

void SyncController::permsOrExif() {
    if (!m_state.permsOption) {
        afterPermissions();
        return;
    }
    // Only the permissions that may have changed are asked for again.
    m_state.recordIndex = 0;
    SqlResult result;
    m_state.flickrIDList = PhotoStore(m_app.database()).photosNeedingPermissions(m_state.fullPerms, &result);
    if (readFailed("GetPerms", result))
        return;
    // The progress counts the pictures asked about: only changed ones, unless all are wanted.
    m_state.permsCountText = m_state.fullPerms ? m_state.photoCountText
                                               : status::groupedNumber(m_state.flickrIDList.size());
    getPerms();
}

void SyncController::getPerms() {
    // An archive without records has no permissions to ask for.
    if (m_state.recordIndex >= m_state.flickrIDList.size()) {
        afterPermissions();
        return;
    }
    m_state.requestFlickrID = m_state.flickrIDList[m_state.recordIndex];
    ++m_state.recordIndex;
    callStage("GetPerms", "flickr.photos.getPerms", {{"photo_id", m_state.requestFlickrID}});
}

void SyncController::afterPermissions() {
    // Without the EXIF option the download ends here, asking nothing more.
    if (!m_state.exifOption) {
        finishInformation("All of your picture information has finished downloading.");
        return;
    }
    if (prepareRecordList())
        getExif();
}

bool SyncController::processPerms(const QVariantMap& perms) {
    const QString id = m_state.flickrIDList.value(m_state.recordIndex - 1);
    const SqlResult result = PhotoStore(m_app.database())
                                 .storePermissions(id, int(leadingInteger(perms.value("permcomment").toString())),
                                                   int(leadingInteger(perms.value("permaddmeta").toString())));
    if (!result.ok()) {
        alert(QString("SQL error: %1").arg(result.message));
        endWithFailure("GetPerms", QString("The permissions of the picture %1 could not be stored: %2")
                                       .arg(id, result.message));
        return false;
    }
    m_app.controls().progressLabel->setStringValue(
        QString("downloading permissions info... %1 of %2").arg(m_state.recordIndex).arg(m_state.permsCountText));
    showEstimate(m_state.flickrIDList.size() - m_state.recordIndex, true);
    return true;
}

void SyncController::getExif() {
    // Pictures that hold EXIF data are passed over in a loop, without a call.
    while (m_state.recordIndex < m_state.flickrIDList.size()) {
        m_state.requestFlickrID = m_state.flickrIDList[m_state.recordIndex];
        ++m_state.recordIndex;
        if (m_withoutExif.contains(m_state.requestFlickrID)) {
            callStage("GetExif", "flickr.photos.getExif", {{"photo_id", m_state.requestFlickrID}});
            return;
        }
    }
    finishInformation("All of your Flickr and EXIF picture information has finished downloading.");
}

bool SyncController::processExif() {
    const QString id = m_state.flickrIDList.value(m_state.recordIndex - 1);
    const ExifRecord exif = exifRecordFrom(m_state.exifEntries);
    const SqlResult result = PhotoStore(m_app.database()).storeExif(id, exif);
    if (!result.ok()) {
        QString doubled = exif.text;
        doubled.replace('"', "\"\"");
        alert(QString("SQL error: %1, %2: %3")
                  .arg(result.message, id,
                       QString("UPDATE photos SET exifdata=\"%1\",Make=\"%2\",Model=\"%3\",Flash=\"%4\" "
                               "WHERE flickrID=\"%5\"")
                           .arg(doubled, exif.make, exif.model, exif.flash, id)));
        endWithFailure("GetExif", QString("The EXIF data of the picture %1 could not be stored: %2")
                                      .arg(id, result.message));
        return false;
    }
    if (m_withoutExif.remove(id))
        ++m_withExifCount;
    m_app.controls().progressLabel->setStringValue(
        QString("downloading EXIF info... %1 of %2").arg(m_state.recordIndex).arg(m_state.photoCountText));
    showEstimate(m_withoutExif.size(), true);
    return true;
}

} // namespace tessaly::sync
