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

void SyncController::processPhotos(int page) {
    QList<PhotoRecord> records;
    records.reserve(m_state.responseItems.size());
    for (const QVariant& item : std::as_const(m_state.responseItems))
        records << photoRecordFrom(item.toMap());
    if (const auto failure = PhotoStore(m_app.database()).storePhotos(records)) {
        alert(QString("SQL error: %1, title = %2:%3  %4")
                  .arg(failure->result.message, failure->id, failure->title, failure->statement));
        return;
    }
    m_app.controls().progressLabel->setStringValue(QString("downloading picture info... %1 of %2")
                                                       .arg(page * 500)
                                                       .arg(m_state.photoCountText));
}

void SyncController::getSets() {
    m_app.controls().progressLabel->setStringValue("downloading photo sets info...");
    // Accounts with more than one page of sets are read page by page.
    callStage("GetSets", "flickr.photosets.getList",
              {{"per_page", "500"}, {"page", QString::number(m_state.setsPage)}});
}

void SyncController::processSets() {
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
    if (const auto failure = PhotoStore(m_app.database()).storeSets(records))
        alert(QString("SQL error: %1, title = %2:%3  %4")
                  .arg(failure->result.message, failure->id, failure->title, failure->statement));
}

void SyncController::getPhotoSets() {
    if (m_state.setIndex >= m_state.setIDList.size())
        return;
    m_state.currentSetID = m_state.setIDList[m_state.setIndex];
    ++m_state.setIndex;
    m_state.setPhotosPage = 1;
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
    prepareRecordList();
    permsOrExif();
}

void SyncController::processPhotoSets() {
    QStringList ids;
    for (const QVariant& item : std::as_const(m_state.responseItems))
        ids << item.toMap().value("id").toString();
    const SqlResult result = PhotoStore(m_app.database()).recordMembership(ids, m_state.currentSetID);
    if (!result.ok())
        alert(QString("SQL error: %1").arg(result.message));
}

void SyncController::prepareRecordList() {
    m_state.recordIndex = 0;
    PhotoStore store(m_app.database());
    SqlResult result;
    m_state.flickrIDList = store.column("SELECT flickrID FROM photos", &result);
    if (!result.ok())
        alert(QString("SQL error: %1").arg(result.message));
    // Which records still lack EXIF data, asked once instead of per picture.
    const QStringList without = store.photosNeedingExif(&result);
    m_withoutExif = QSet<QString>(without.cbegin(), without.cend());
    m_withExifCount = int(m_state.flickrIDList.size() - m_withoutExif.size());
}

void SyncController::permsOrExif() {
    if (!m_state.permsOption) {
        getExif();
        return;
    }
    // Only the permissions that may have changed are asked for again.
    m_state.recordIndex = 0;
    SqlResult result;
    m_state.flickrIDList = PhotoStore(m_app.database()).photosNeedingPermissions(m_state.fullPerms, &result);
    if (!result.ok())
        alert(QString("SQL error: %1").arg(result.message));
    // The progress counts the pictures asked about: only changed ones, unless all are wanted.
    m_state.permsCountText = m_state.fullPerms ? m_state.photoCountText
                                               : status::groupedNumber(m_state.flickrIDList.size());
    getPerms();
}

void SyncController::getPerms() {
    // An archive without records has no permissions to ask for.
    if (m_state.recordIndex >= m_state.flickrIDList.size()) {
        prepareRecordList();
        getExif();
        return;
    }
    m_state.requestFlickrID = m_state.flickrIDList[m_state.recordIndex];
    ++m_state.recordIndex;
    callStage("GetPerms", "flickr.photos.getPerms", {{"photo_id", m_state.requestFlickrID}});
}

void SyncController::processPerms(const QVariantMap& perms) {
    const QString id = m_state.flickrIDList.value(m_state.recordIndex - 1);
    const SqlResult result = PhotoStore(m_app.database())
                                 .storePermissions(id, int(leadingInteger(perms.value("permcomment").toString())),
                                                   int(leadingInteger(perms.value("permaddmeta").toString())));
    if (!result.ok()) {
        alert(QString("SQL error: %1").arg(result.message));
        return;
    }
    m_app.controls().progressLabel->setStringValue(
        QString("downloading permissions info... %1 of %2").arg(m_state.recordIndex).arg(m_state.permsCountText));
    showEstimate(m_state.flickrIDList.size() - m_state.recordIndex, true);
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

void SyncController::processExif() {
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
        return;
    }
    if (m_withoutExif.remove(id))
        ++m_withExifCount;
    m_app.controls().progressLabel->setStringValue(
        QString("downloading EXIF info... %1 of %2").arg(m_state.recordIndex).arg(m_state.photoCountText));
    showEstimate(m_withoutExif.size(), true);
}

} // namespace tessaly::sync
