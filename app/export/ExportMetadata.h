#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tessaly::exporter {

// What an exported copy carries of its picture's Flickr information.
struct FlickrInformation {
    QString title;
    QString description;
    QStringList tags;  // each whole, a tag of several words as one
    QString dateTaken; // "YYYY-MM-DD HH:MM:SS", empty when unknown
    std::optional<std::pair<double, double>> location; // latitude, longitude
    QString licenseName;
    QString pageAddress;
};

// The tags of an archive's tags text: a phrase in double quotes is one tag,
// otherwise blanks separate them.
QStringList splitTags(const QString& text);

// The address of a picture's page on Flickr: under the account's photostream
// address when it is known, else under the owner's id.
QString flickrPageAddress(const QString& webAddress, const QString& owner, const QString& photoID);

// Whether the file is a picture whose metadata Tessaly writes (JPEG, PNG or TIFF).
bool carriesInformation(const QString& file);

// Writes the information into a picture file, as XMP (dc:title,
// dc:description, dc:subject, dc:source for the page, photoshop:DateCreated,
// xmpRights:UsageTerms), IPTC (Object Name, Caption, Keywords; UTF-8) and
// EXIF (DateTimeOriginal and the GPS position, each only where the file has
// none). What the file holds already, its camera's EXIF data first of all,
// is kept. Meant for a copy: the file is changed in place.
bool writeFlickrInformation(const QString& file, const FlickrInformation& information, QString* error);

} // namespace tessaly::exporter
