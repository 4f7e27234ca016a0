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
