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

} // namespace tessaly::editing
