#pragma once

#include "SyncValues.h"
#include "archive/ArchiveDatabase.h"
#include "archive/VideoFile.h"

#include <QSet>

#include <optional>

namespace tessaly::sync {

// The archive's table of the pictures the photostream no longer lists.
inline const QString kRemovedTable = QStringLiteral("removedfromflickr");


// What the downloads write to the archive, with bound values: the stored
// texts are those of the statements shown in messages. Each call is one
// transaction, so a page is stored whole or up to its first failing record.
class PhotoStore {
public:
    explicit PhotoStore(ArchiveDatabase& database) : m_database(database) {}

    struct Failure {
        SqlResult result;
        QString id;
        QString title;     // as the statement holds it
        QString statement; // as SQL text
    };

    // Adds new pictures; a picture already stored gets the page's values but
    // keeps its permissions and every column the page does not carry.
    std::optional<Failure> storePhotos(const QList<PhotoRecord>& records);
    std::optional<Failure> storeSets(const QList<SetRecord>& records);
    // Adds the set to the membership of each stored picture of the list.
    SqlResult recordMembership(const QStringList& photoIDs, const QString& setID);
    // Stores a picture's permissions and notes that they were fetched for
    // its current state (its lastupdate).
    SqlResult storePermissions(const QString& photoID, int comment, int meta);
    // The pictures whose permissions are unknown: new, changed on Flickr since
    // they were fetched, or never fetched (every one when `all`); never those
    // Flickr no longer has.
    QStringList photosNeedingPermissions(bool all, SqlResult* result);
    // The records without EXIF data, but for those Flickr no longer has.
    QStringList photosNeedingExif(SqlResult* result);
    SqlResult storeExif(const QString& photoID, const ExifRecord& exif);
    SqlResult storeFileSizes(const QList<QPair<QString, qint64>>& sizes);

    // The videos of the archive whose video file is not in `folder` yet (Flickr
    // must still have them), in the database's order.
    QStringList videosNeedingFiles(const QString& folder, SqlResult* result);
    // Notes the video file of a picture (its name in the picture folder).
    SqlResult storeVideoFile(const QString& photoID, const QString& file, qint64 size, const QString& label);

    // Notes which records of the archive the photostream no longer lists
    // (they stay in the archive); answers how many.
    int recordRemovedPictures(const QSet<QString>& listed, SqlResult* result);

    // The first column of every row, in the database's order.
    QStringList column(const QString& sql, SqlResult* result);

private:
    ArchiveDatabase& m_database;
};

} // namespace tessaly::sync
