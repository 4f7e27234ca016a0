#include "ResultRows.h"

#include <cmath>
#include <numbers>

namespace tessaly::search {

double greatCircleDistance(double latitude1, double longitude1, double latitude2,
                           double longitude2) {
    constexpr double kEarthRadius = 6371009.0;
    constexpr double kRadians = std::numbers::pi / 180.0;
    const double dLat = (latitude2 - latitude1) * kRadians;
    const double dLon = (longitude2 - longitude1) * kRadians;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(latitude1 * kRadians) * std::cos(latitude2 * kRadians) *
                         std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(a)));
}

bool passesDistanceFilter(const DistanceFilter& filter, const QString& latitude,
                          const QString& longitude) {
    if (!filter.applies())
        return true;
    const double distance = greatCircleDistance(doubleValue(latitude), doubleValue(longitude),
                                                filter.searchLatitude, filter.searchLongitude);
    if (distance > filter.searchDistance)
        return false;
    return !(latitude == QLatin1String("0") && longitude == QLatin1String("0"));
}

StyledText resultRowText(const QString& flickrID, const QString& media, const QString& title,
                         const QString& description, const QString& tags, const QString& latitude,
                         const QString& longitude) {
    StyledText text;
    text.text.reserve(64 + flickrID.size() + media.size() + title.size() + description.size() +
                      tags.size() + latitude.size() + longitude.size());
    const auto gray = TextColor::DarkGray;
    text.append(QLatin1String("FLICKR ID: ") + flickrID + QLatin1String(", Media: ") + media +
                    QLatin1Char('\n'),
                9, gray);
    text.append(QLatin1String("TITLE: ") + title + QLatin1Char('\n'), 5, gray);
    text.append(QLatin1String("DESCRIPTION: ") + description + QLatin1Char('\n'), 11, gray);
    text.append(QLatin1String("TAGS: ") + tags + QLatin1Char('\n'), 4, gray);
    const QString separator = longitude.isEmpty() ? QString() : QStringLiteral(",");
    text.append(QLatin1String("LAT,LON: ") + latitude + separator + longitude, 7, gray);
    return text;
}

std::optional<BuiltRow> buildResultsRow(const QStringList& columns, const DistanceFilter& filter,
                                        const QString& pixPath) {
    const QString latitude = columns.value(5);
    const QString longitude = columns.value(6);
    if (!passesDistanceFilter(filter, latitude, longitude))
        return std::nullopt;
    const QString flickrID = columns.value(0);
    // The square file's name in the picture folder is the last part of its address.
    // A name that could point elsewhere counts as no file.
    const QString name = columns.value(3).section(QLatin1Char('/'), -1);
    const bool usable = !name.isEmpty() && name != QLatin1String(".") &&
                        name != QLatin1String("..") && !name.contains(QChar(0));
    const QString squareFile = usable ? pixPath + QLatin1Char('/') + name : QString();
    return BuiltRow{flickrID,
                    ResultsRow(squareFile, resultRowText(flickrID, columns.value(7),
                                                         columns.value(1), columns.value(2),
                                                         columns.value(4), latitude, longitude))};
}

QString foundText(qsizetype count, const QLocale& locale) {
    const QString number = locale.toString(qlonglong(count));
    return count == 1 ? QStringLiteral("Found %1 picture.").arg(number)
                      : QStringLiteral("Found %1 pictures.").arg(number);
}

} // namespace tessaly::search
