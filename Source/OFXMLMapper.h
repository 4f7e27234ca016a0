#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// Turns the XML body of a Flickr answer into nested dictionaries:
// - an element becomes a map holding its attributes as text;
// - a child element is an entry under its name: a map, or a list of maps in
//   document order when the name repeats, or when the most recently started
//   element is the child's name plus more ending in "s" ("photos"/"photo");
// - an element's direct character data is joined under "_text";
// - the result is { root name: root map }.
class OFXMLMapper {
public:
    // The outer map, or nothing when the bytes are not well-formed XML or the
    // structure cannot be mapped (a child named like an attribute of its
    // parent, or "_text").
    static std::optional<QVariantMap> dictionaryMappedFromXMLData(const QByteArray& data);
};

// Reads a dotted key path ("photos.photo.id"). A step on a map takes the entry
// (QVariant() when absent); a step on a list applies to each item and gives the
// list of results, absent values as QVariant() entries; any other step gives QVariant().
QVariant OFValueForKeyPath(const QVariant& root, const QString& keyPath);

// The "_text" entry of an element map, or empty text.
QString OFTextContent(const QVariant& dictionary);
