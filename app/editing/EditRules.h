#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

namespace tessaly::editing {

// The tags as the edit view shows them: each followed by a space, a tag of
// several words in double quotes, so that Flickr reads the text back as the
// same tags.
QString tagsText(const QStringList& rawTags);

// The tags of a "flickr.photos.getInfo" (or "flickr.tags.getListPhoto")
// answer as their author wrote them, in order.
QStringList rawTagsFrom(const QVariantMap& response);

// A date taken the search window's date fields would accept: a day
// ("2010-05-01") or a moment ("2010-05-01 14:30:00"). Empty text is no date.
bool isValidDateTaken(const QString& text);

// The location typed into the edit view.
struct LocationEntry {
    // Refused: not two decimal numbers in range. None: the field is empty,
    // so no location is sent. Given: a location to send.
    enum Kind { Refused, None, Given };
    Kind kind = Refused;
    // Sent to Flickr: each part as typed, trimmed.
    QString latitude;
    QString longitude;
    // Stored in the archive: the number each part stands for (an integer
    // stays one, so the stored text reads as SQLite writes a number).
    QVariant latitudeValue;
    QVariant longitudeValue;
};

// Each part must be a whole decimal number (optional sign, digits, optional
// fraction); latitude -90..90, longitude -180..180, exactly one comma.
LocationEntry checkLocation(const QString& text);

// What the location field shows for a record: "latitude,longitude", empty
// for a picture without a location (both parts 0 or empty), so that editing
// it never places it at 0,0.
QString locationFieldText(const QString& latitude, const QString& longitude);

// A typed text as the archive stores it: without its line breaks.
QString storedText(QString text);

} // namespace tessaly::editing

namespace tessaly {

// What the edit view shows of a picture, and what an edit sends to Flickr
// and writes into the archive.
struct EditValues {
    // The picture edited: fixed when the editor opens, so every call and
    // every archive update of one edit is for the same picture.
    QString requestFlickrID;
    QString title;
    QString description;
    QString tags;
    QString dateTaken;
    QString uploadDate; // read with the record, not used further
    int isFamily = 0;
    int isFriend = 0;
    int isPublic = 0;
    int license = 0;
    int permComment = 0;
    int permMeta = 0;
    QString locationText; // the location field: "latitude,longitude" or empty
    editing::LocationEntry location;
};

namespace editing {

// Takes what a "flickr.photos.getInfo" answer says of the picture: Flickr's
// own texts, byte for byte, its date taken, visibility, permissions, licence,
// location and tags. What the answer does not carry is left as it was.
void takeFlickrInfo(const QVariantMap& response, EditValues* values);

// The calls an edit needs, in the order they are made: only those of fields
// that differ from what the edit view showed.
QStringList changedStages(const EditValues& shown, const EditValues& edited);
// Copies the fields that the call of `stage` sent from `sent` into `held`.
void takeSentGroup(const QString& stage, const EditValues& sent, EditValues* held);

} // namespace editing
} // namespace tessaly
