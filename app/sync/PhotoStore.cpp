#include "PhotoStore.h"

#include "archive/SqlStatement.h"

#include <QFileInfo>

namespace tessaly::sync {

namespace {

const QString kInsertPhoto = QStringLiteral(
    "INSERT INTO photos (flickrID,owner,ownername,url_o,url_l,license,title,description,tags,"
    "url_sq,views,width_o,height_o,originalformat,datetaken,dateupload,isfamily,isfriend,ispublic,"
    "permcomment,permmeta,lastupdate,geo,latitude,longitude,media) "
    "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
// Pages never carry permissions: a stored picture keeps those it has.
const QString kUpdatePhoto = QStringLiteral(
    "UPDATE photos SET owner=?,ownername=?,url_o=?,url_l=?,license=?,title=?,description=?,tags=?,"
    "url_sq=?,views=?,width_o=?,height_o=?,originalformat=?,datetaken=?,dateupload=?,isfamily=?,"
    "isfriend=?,ispublic=?,lastupdate=?,geo=?,latitude=?,longitude=?,media=? WHERE flickrID=?");

QVariantList insertValues(const PhotoRecord& r) {
    return {r.flickrID, r.owner, r.ownername, r.url_o, r.url_l, r.license, r.title,
            r.description, r.tags, r.url_sq, r.views, r.width_o, r.height_o, r.originalformat,
            r.datetaken, r.dateupload, r.isfamily, r.isfriend, r.ispublic, r.permcomment,
            r.permmeta, r.lastupdate, r.geo, r.latitude, r.longitude, r.media};
}

QVariantList updateValues(const PhotoRecord& r) {
    return {r.owner, r.ownername, r.url_o, r.url_l, r.license, r.title, r.description, r.tags,
            r.url_sq, r.views, r.width_o, r.height_o, r.originalformat, r.datetaken,
            r.dateupload, r.isfamily, r.isfriend, r.ispublic, r.lastupdate, r.geo, r.latitude,
            r.longitude, r.media, r.flickrID};
}

} // namespace

std::optional<PhotoStore::Failure> PhotoStore::storePhotos(const QList<PhotoRecord>& records) {
    SqlTransaction transaction(m_database);
    SqlStatement insert(m_database, kInsertPhoto);
    SqlStatement update(m_database, kUpdatePhoto);
    std::optional<Failure> failure;
    for (const PhotoRecord& record : records) {
        SqlResult result = insert.run(insertValues(record));
        QString statement;
        if (result.isUniquenessViolation()) {
            result = update.run(updateValues(record));
            if (!result.ok())
                statement = updatePhotoText(record);
        } else if (!result.ok()) {
            statement = insertPhotoText(record);
        }
        if (!result.ok()) {
            failure = Failure{result, record.flickrID, record.title, statement};
            break;
        }
    }
    // What was stored before a failing record stays stored.
    const SqlResult committed = transaction.commit();
    if (!failure && !committed.ok())
        failure = Failure{committed, {}, {}, QStringLiteral("COMMIT")};
    return failure;
}

std::optional<PhotoStore::Failure> PhotoStore::storeSets(const QList<SetRecord>& records) {
    SqlTransaction transaction(m_database);
    SqlStatement insert(m_database,
                        "INSERT INTO sets (setID,set_title,set_description) VALUES(?,?,?)");
    SqlStatement update(m_database, "UPDATE sets SET set_title=?,set_description=? WHERE setID=?");
    std::optional<Failure> failure;
    for (const SetRecord& record : records) {
        SqlResult result = insert.run({record.setID, record.title, record.description});
        if (result.isUniquenessViolation())
            result = update.run({record.title, record.description, record.setID});
        if (!result.ok()) {
            failure = Failure{result, record.setID, record.title, insertSetText(record)};
            break;
        }
    }
    const SqlResult committed = transaction.commit();
    if (!failure && !committed.ok())
        failure = Failure{committed, {}, {}, QStringLiteral("COMMIT")};
    return failure;
}

SqlResult PhotoStore::recordMembership(const QStringList& photoIDs, const QString& setID) {
    SqlTransaction transaction(m_database);
    SqlStatement select(m_database, "SELECT setID FROM photos WHERE flickrID=?");
    SqlStatement update(m_database, "UPDATE photos SET setID=? WHERE flickrID=?");
    for (const QString& id : photoIDs) {
        std::optional<QString> membership;
        const SqlResult read = select.run({id}, [&](const SqlRow& row) {
            membership = row.isNull(0) ? QStringLiteral("0") : row.value(0);
            return 0;
        });
        if (!read.ok())
            return read;
        if (!membership)
            continue; // not a picture of the archive
        const QString joined = membershipWith(*membership, withoutLineBreaks(setID));
        if (joined == *membership)
            continue;
        if (const SqlResult written = update.run({joined, id}); !written.ok()) {
            transaction.commit();
            return written;
        }
    }
    return transaction.commit();
}

namespace {
// The pictures the photostream no longer lists, as of the last download.
const QString kCreateRemoved = "CREATE TABLE IF NOT EXISTS " + kRemovedTable + "(flickrID TEXT PRIMARY KEY)";
const QString kStillOnFlickr = "photos.flickrID NOT IN (SELECT flickrID FROM " + kRemovedTable + ")";
// Which pictures' permissions were fetched, and for which state of each: a
// table of its own, so the photos and sets tables stay as they are. An
// archive without it has fetched nothing.
const QString kCreatePermsFetched = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS permsfetched(flickrID TEXT PRIMARY KEY,lastupdate TEXT)");
} // namespace

SqlResult PhotoStore::storePermissions(const QString& photoID, int comment, int meta) {
    const QString id = withoutLineBreaks(photoID);
    SqlTransaction transaction(m_database);
    SqlResult result = m_database.run("UPDATE photos SET permcomment=?,permmeta=? WHERE flickrID=?",
                                      {comment, meta, id});
    if (result.ok())
        result = m_database.exec(kCreatePermsFetched);
    if (result.ok())
        result = m_database.run("INSERT OR REPLACE INTO permsfetched(flickrID,lastupdate) "
                                "SELECT flickrID,lastupdate FROM photos WHERE flickrID=?",
                                {id});
    return result.ok() ? transaction.commit() : result;
}

QStringList PhotoStore::photosNeedingPermissions(bool all, SqlResult* result) {
    *result = m_database.exec(kCreatePermsFetched + ";" + kCreateRemoved);
    if (!result->ok())
        return {};
    // Flickr no longer has the removed ones: asking would only fail.
    if (all)
        return column("SELECT flickrID FROM photos WHERE " + kStillOnFlickr, result);
    return column("SELECT photos.flickrID FROM photos LEFT JOIN permsfetched ON "
                  "permsfetched.flickrID=photos.flickrID WHERE (permsfetched.flickrID IS NULL OR "
                  "permsfetched.lastupdate IS NOT photos.lastupdate) AND " + kStillOnFlickr,
                  result);
}

QStringList PhotoStore::photosNeedingExif(SqlResult* result) {
    *result = m_database.exec(kCreateRemoved);
    if (!result->ok())
        return {};
    return column("SELECT flickrID FROM photos WHERE exifdata IS NULL AND " + kStillOnFlickr, result);
}

SqlResult PhotoStore::storeExif(const QString& photoID, const ExifRecord& exif) {
    return m_database.run("UPDATE photos SET exifdata=?,Make=?,Model=?,Flash=? WHERE flickrID=?",
                          {exif.text, exif.make, exif.model, exif.flash, photoID});
}

QStringList PhotoStore::videosNeedingFiles(const QString& folder, SqlResult* result) {
    *result = m_database.exec(kCreateVideoFiles + ";" + kCreateRemoved);
    if (!result->ok())
        return {};
    QStringList ids;
    *result = m_database.exec("SELECT photos.flickrID,videofiles.file FROM photos LEFT JOIN videofiles ON "
                              "videofiles.flickrID=photos.flickrID WHERE photos.media='video' AND " + kStillOnFlickr,
                              [&](const SqlRow& row) {
                                  const QString file = row.value(1);
                                  if (file.isEmpty() || !QFileInfo::exists(folder + QLatin1Char('/') + file))
                                      ids << row.value(0);
                                  return 0;
                              });
    return ids;
}

SqlResult PhotoStore::storeVideoFile(const QString& photoID, const QString& file, qint64 size, const QString& label) {
    const SqlResult created = m_database.exec(kCreateVideoFiles);
    if (!created.ok())
        return created;
    return m_database.run("INSERT OR REPLACE INTO videofiles(flickrID,file,size,label) VALUES(?,?,?,?)",
                          {photoID, file, size, label});
}

SqlResult PhotoStore::storeFileSizes(const QList<QPair<QString, qint64>>& sizes) {
    SqlTransaction transaction(m_database);
    SqlStatement update(m_database, "UPDATE photos SET filesize=? WHERE flickrID=?");
    for (const auto& [id, size] : sizes) {
        // Stored as the decimal text the size is written as.
        if (const SqlResult result = update.run({QString::number(size), withoutLineBreaks(id)}); !result.ok())
            return result;
    }
    return transaction.commit();
}

int PhotoStore::recordRemovedPictures(const QSet<QString>& listed, SqlResult* result) {
    QStringList removed;
    for (const QString& id : column("SELECT flickrID FROM photos", result))
        if (!listed.contains(id))
            removed << id;
    if (!result->ok())
        return 0;
    // A table of its own, as the permissions' marks: the photos table stays as it is.
    SqlTransaction transaction(m_database);
    *result = m_database.exec(kCreateRemoved + ";DELETE FROM " + kRemovedTable);
    SqlStatement insert(m_database, "INSERT OR IGNORE INTO " + kRemovedTable + "(flickrID) VALUES(?)");
    for (const QString& id : std::as_const(removed)) {
        if (!result->ok())
            break;
        *result = insert.run({id});
    }
    if (result->ok())
        *result = transaction.commit();
    return int(removed.size());
}

QStringList PhotoStore::column(const QString& sql, SqlResult* result) {
    QStringList values;
    *result = m_database.exec(sql, [&](const SqlRow& row) {
        values << row.value(0);
        return 0;
    });
    return values;
}

} // namespace tessaly::sync
