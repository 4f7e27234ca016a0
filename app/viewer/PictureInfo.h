#pragma once

#include "StyledText.h"

#include <QLocale>
#include <QString>
#include <QStringList>

namespace tessaly::viewer {

// The statements the information texts are built from; the ID is bound.
inline const QString kPictureInfoQuery = QStringLiteral("SELECT * FROM photos WHERE flickrID = ?");
inline const QString kExifQuery = QStringLiteral("SELECT exifdata FROM photos WHERE flickrID = ?");

// Positions of the photos columns in a "SELECT *" row.
namespace column {
// clang-format off
enum : int {
    flickrID = 0, owner, ownername, url_o, url_l, license, title, description, tags, views,
    width_o, height_o, url_sq, originalformat, datetaken, dateupload, filesize, isfamily,
    isfriend, ispublic, permcomment, permmeta, lastupdate, geo, latitude, longitude, Make,
    Model, Flash, media, setID, exifdata
};
// clang-format on
} // namespace column

// A permission's label; a value without one is shown as its number.
QString permissionText(const QString& stored, const QStringList& permissionLabels);

// The Flickr information text of a record: every stored field, labelled in
// blue, one per paragraph. `columns` are the record's values by position (a
// NULL is empty text); the file size is the caller's, shown with the
// locale's grouping.
StyledText pictureInfoText(const QStringList& columns, qint64 fileSize,
                           const QStringList& permissionLabels, const QLocale& locale = QLocale());

// "latitude,longitude" of a record, as the editor shows it.
QString latLonText(const QStringList& columns);

// The EXIF text of a record's exifdata: one piece per "label:  value"
// block, each a line end, the label in blue, and the value.
StyledText exifText(const QString& exifdata);

} // namespace tessaly::viewer
