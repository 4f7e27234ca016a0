#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

namespace tessaly::sync {

// A value that may hold one element or many: one element is a list of one.
QVariantList asList(const QVariant& value);

// The integer a text starts with (white space, sign, digits), else 0.
qint64 leadingInteger(const QString& text);
// Seconds since 1970 as local time, "%Y-%m-%d %H:%M:%S".
QString localTimeText(qint64 secondsSinceEpoch);
// Every line break ("\n") removed, as from the text of a whole statement.
QString withoutLineBreaks(QString text);
// The stored form of an escaped free text: a backslash before a double quote dropped.
QString withoutEscapedQuotes(QString text);
// The "_text" of an element map, or empty text.
QString elementText(const QVariant& element);

// One picture of a photostream page, as its record stores it.
struct PhotoRecord {
    QString flickrID, owner, ownername, url_o, url_l, title, description, tags, url_sq,
        originalformat, datetaken, dateupload, lastupdate, geo, latitude, longitude, media;
    int license = 0, views = 0, width_o = 0, height_o = 0, isfamily = 0, isfriend = 0,
        ispublic = 0, permcomment = 0, permmeta = 0;
};
PhotoRecord photoRecordFrom(const QVariantMap& photo);

// A photo set of a set-list page, as its row stores it.
struct SetRecord {
    QString setID, title, description;
};
SetRecord setRecordFrom(const QVariantMap& set);

// The EXIF text of a picture and the three values taken out of it.
struct ExifRecord {
    QString text, make, model, flash;
};
ExifRecord exifRecordFrom(const QVariantList& exifEntries);

// Whether a picture address may be fetched: an http or https address as
// it stands (no blanks around it, a host), not a local file or anything else.
bool isWebAddress(const QString& url);
// Why a picture server's answer is not a picture file (empty, or its first
// bytes are no JPEG, PNG, GIF, MP4 or QuickTime), or "" when it is one.
QString pictureProblem(const QByteArray& head, qint64 size, const QString& contentType);

// The video size a "flickr.photos.getSizes" answer offers for download:
// "Video Original" when Flickr lists it (to the owner of a Pro account),
// else the largest MP4. Empty when the answer lists no video file.
struct VideoSize {
    QString label;
    QString source;
};
VideoSize bestVideoSize(const QVariantMap& response);

// The name a video file takes in the picture folder. Flickr hands a video
// out through a play address (".../play/720p/SECRET/") that names no file:
// the name is then the picture's id, the secret and the size
// ("ID_SECRET_720p.mp4"), the shape of its picture files' names. A file
// address keeps its own name, with the id put in front when it lacks it,
// so that names stay unique and go with their picture when it is deleted.
QString videoFileName(const QString& source, const QString& photoID);

// A set id as the archive can hold it: the "setID" column joins ids with ",".
bool isUsableSetID(const QString& setID);

// The membership text after adding a set: ids joined by ","; unchanged
// when the set is already one of them (compared as whole ids).
QString membershipWith(const QString& membership, const QString& setID);

// The statements as they would read as SQL text, for messages about them.
QString insertPhotoText(const PhotoRecord& record);
QString updatePhotoText(const PhotoRecord& record);
QString insertSetText(const SetRecord& record);

} // namespace tessaly::sync
