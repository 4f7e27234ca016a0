#include "EditRules.h"

#include "OFXMLMapper.h"
#include "search/DateFieldFormatter.h"

#include <QRegularExpression>

#include <optional>

namespace tessaly::editing {

QString tagsText(const QStringList& rawTags) {
    QString text;
    for (const QString& tag : rawTags)
        text += tag.contains(QLatin1Char(' ')) ? QStringLiteral("\"%1\" ").arg(tag)
                                               : tag + QLatin1Char(' ');
    return text;
}

QStringList rawTagsFrom(const QVariantMap& response) {
    const QVariant raw = OFValueForKeyPath(response, QStringLiteral("photo.tags.tag.raw"));
    QStringList tags;
    if (raw.typeId() == QMetaType::QVariantList) {
        for (const QVariant& tag : raw.toList())
            if (!tag.isNull())
                tags << tag.toString();
    } else if (!raw.isNull()) {
        tags << raw.toString(); // a single tag element mapped on its own
    }
    return tags;
}

bool isValidDateTaken(const QString& text) {
    return DateFieldFormatter::dateFromString(text).has_value();
}

namespace {

// A whole decimal number: optional sign, digits, optional fraction.
std::optional<QVariant> decimalValue(const QString& part) {
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    const QRegularExpressionMatch match = number.match(part);
    if (!match.hasMatch())
        return std::nullopt;
    if (match.capturedLength(1) == 0) {
        bool ok = false;
        const qlonglong value = part.toLongLong(&ok);
        if (ok)
            return QVariant(value);
    }
    return QVariant(part.toDouble());
}

} // namespace

LocationEntry checkLocation(const QString& text) {
    LocationEntry entry;
    if (text.trimmed().isEmpty()) {
        entry.kind = LocationEntry::None;
        return entry;
    }
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2)
        return entry;
    entry.latitude = parts[0].trimmed();
    entry.longitude = parts[1].trimmed();
    const std::optional<QVariant> latitude = decimalValue(entry.latitude);
    const std::optional<QVariant> longitude = decimalValue(entry.longitude);
    if (!latitude || !longitude)
        return entry;
    const double lat = latitude->toDouble();
    const double lon = longitude->toDouble();
    if (lat < -90.0 || lat > 90.0 || lon < -180.0 || lon > 180.0)
        return entry;
    entry.kind = LocationEntry::Given;
    entry.latitudeValue = *latitude;
    entry.longitudeValue = *longitude;
    return entry;
}

QString locationFieldText(const QString& latitude, const QString& longitude) {
    const auto none = [](const QString& part) {
        bool ok = false;
        const double value = part.trimmed().toDouble(&ok);
        return part.trimmed().isEmpty() || (ok && value == 0.0);
    };
    if (none(latitude) && none(longitude))
        return {};
    return latitude + QLatin1Char(',') + longitude;
}

QString storedText(QString text) {
    return text.remove(QLatin1Char('\n'));
}

void takeFlickrInfo(const QVariantMap& response, EditValues* values) {
    const QVariantMap photo = response.value(QStringLiteral("photo")).toMap();
    if (photo.isEmpty())
        return;
    const auto number = [](const QVariantMap& map, const char* key, int* value) {
        bool ok = false;
        const int n = map.value(QLatin1String(key)).toString().toInt(&ok);
        if (ok)
            *value = n;
    };
    if (photo.contains(QStringLiteral("title")))
        values->title = OFTextContent(photo.value(QStringLiteral("title")));
    if (photo.contains(QStringLiteral("description")))
        values->description = OFTextContent(photo.value(QStringLiteral("description")));
    number(photo, "license", &values->license);
    const QVariantMap visibility = photo.value(QStringLiteral("visibility")).toMap();
    number(visibility, "ispublic", &values->isPublic);
    number(visibility, "isfriend", &values->isFriend);
    number(visibility, "isfamily", &values->isFamily);
    const QVariantMap permissions = photo.value(QStringLiteral("permissions")).toMap();
    number(permissions, "permcomment", &values->permComment);
    number(permissions, "permaddmeta", &values->permMeta);
    const QVariantMap dates = photo.value(QStringLiteral("dates")).toMap();
    if (dates.contains(QStringLiteral("taken")))
        values->dateTaken = dates.value(QStringLiteral("taken")).toString();
    // A picture without a location element has none on Flickr.
    const QVariantMap location = photo.value(QStringLiteral("location")).toMap();
    values->locationText = locationFieldText(location.value(QStringLiteral("latitude")).toString(),
                                             location.value(QStringLiteral("longitude")).toString());
    values->tags = tagsText(rawTagsFrom(response));
}

QStringList changedStages(const EditValues& shown, const EditValues& edited) {
    QStringList stages;
    if (edited.title != shown.title || edited.description != shown.description)
        stages << QStringLiteral("SetMeta");
    if (edited.tags != shown.tags)
        stages << QStringLiteral("SetTags");
    if (edited.dateTaken != shown.dateTaken)
        stages << QStringLiteral("SetDates");
    if (edited.isPublic != shown.isPublic || edited.isFriend != shown.isFriend ||
        edited.isFamily != shown.isFamily || edited.permComment != shown.permComment ||
        edited.permMeta != shown.permMeta)
        stages << QStringLiteral("SetPerms");
    if (edited.license != shown.license)
        stages << QStringLiteral("SetLicense");
    // An emptied field sends nothing: the picture keeps its location.
    if (edited.locationText.trimmed() != shown.locationText.trimmed() &&
        edited.location.kind == LocationEntry::Given)
        stages << QStringLiteral("SetLatLon");
    return stages;
}

void takeSentGroup(const QString& stage, const EditValues& sent, EditValues* held) {
    if (stage == QLatin1String("SetMeta")) {
        held->title = sent.title;
        held->description = sent.description;
    } else if (stage == QLatin1String("SetTags")) {
        held->tags = sent.tags;
    } else if (stage == QLatin1String("SetDates")) {
        held->dateTaken = sent.dateTaken;
    } else if (stage == QLatin1String("SetPerms")) {
        held->isPublic = sent.isPublic;
        held->isFriend = sent.isFriend;
        held->isFamily = sent.isFamily;
        held->permComment = sent.permComment;
        held->permMeta = sent.permMeta;
    } else if (stage == QLatin1String("SetLicense")) {
        held->license = sent.license;
    } else if (stage == QLatin1String("SetLatLon")) {
        held->locationText = sent.locationText;
        held->location = sent.location;
    }
}

} // namespace tessaly::editing
