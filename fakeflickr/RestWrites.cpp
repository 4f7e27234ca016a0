// The write methods: each checks its arguments as Flickr does, then changes the stored picture.
#include "RestApi.h"

#include <QDateTime>
#include <QRegularExpression>

#include <cmath>

namespace fakeflickr {

namespace {

constexpr int kMaxTags = 75;

// Flickr's tag syntax: words separated by spaces, a phrase in double quotes is one tag.
QStringList splitTags(const QString& text) {
    QStringList tags;
    static const QRegularExpression token(QStringLiteral("\"([^\"]*)\"?|([^\\s\"]+)"));
    for (auto it = token.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const QString tag = (m.capturedLength(1) > 0 ? m.captured(1) : m.captured(2)).trimmed();
        if (!tag.isEmpty())
            tags << tag;
    }
    return tags;
}

bool parseBool(const QString& text, bool* value) {
    if (text != QLatin1String("0") && text != QLatin1String("1"))
        return false;
    *value = text == QLatin1String("1");
    return true;
}

bool parseLevel(const QString& text, int* value) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0 || v > 3)
        return false;
    *value = v;
    return true;
}

// A MySQL datetime as Flickr takes it; the missing parts count as zero.
QString parseTakenDate(const QString& text) {
    for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd", "yyyy-MM-ddTHH:mm:ss"}) {
        const QDateTime when = QDateTime::fromString(text.trimmed(), QLatin1String(format));
        if (when.isValid())
            return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return {};
}

} // namespace

RestAnswer RestApi::setMeta(const Params& args, const Caller&) {
    auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    if (!p)
        return error(1, QStringLiteral("Photo not found"));
    if (!args.contains(QStringLiteral("title")) && !args.contains(QStringLiteral("description")))
        return error(2, QStringLiteral("Not enough arguments"));
    if (args.contains(QStringLiteral("title")))
        p->title = args.value(QStringLiteral("title"));
    if (args.contains(QStringLiteral("description")))
        p->description = args.value(QStringLiteral("description"));
    store(*p);
    return ok();
}

RestAnswer RestApi::setTags(const Params& args, const Caller&) {
    auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    if (!p)
        return error(1, QStringLiteral("Photo not found"));
    if (!args.contains(QStringLiteral("tags")))
        return error(2, QStringLiteral("Not enough arguments"));
    QStringList tags, seen;
    for (const QString& raw : splitTags(args.value(QStringLiteral("tags")))) {
        const QString normal = normalizedTag(raw);
        if (!normal.isEmpty() && !seen.contains(normal)) {
            seen << normal;
            tags << raw;
        }
    }
    if (tags.size() > kMaxTags)
        return error(2, QStringLiteral("Maximum number of tags reached"));
    p->rawTags = tags;
    store(*p);
    return ok();
}

RestAnswer RestApi::setDates(const Params& args, const Caller&) {
    auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    if (!p)
        return error(1, QStringLiteral("Photo not found"));
    const bool hasTaken = args.contains(QStringLiteral("date_taken"));
    const bool hasPosted = args.contains(QStringLiteral("date_posted"));
    if (!hasTaken && !hasPosted)
        return error(2, QStringLiteral("Not enough arguments"));
    if (hasPosted) {
        bool ok = false;
        const qint64 posted = args.value(QStringLiteral("date_posted")).toLongLong(&ok);
        if (!ok || posted < 0 || posted > QDateTime::currentSecsSinceEpoch())
            return error(3, QStringLiteral("Invalid date posted"));
        p->dateUpload = posted;
    }
    if (hasTaken) {
        const QString taken = parseTakenDate(args.value(QStringLiteral("date_taken")));
        if (taken.isEmpty())
            return error(4, QStringLiteral("Invalid date taken"));
        p->dateTaken = taken;
    }
    store(*p);
    return ok();
}

RestAnswer RestApi::setPerms(const Params& args, const Caller&) {
    auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    if (!p)
        return error(1, QStringLiteral("Photo not found"));
    Photo changed = *p;
    bool valid = parseBool(args.value(QStringLiteral("is_public")), &changed.isPublic)
                 && parseBool(args.value(QStringLiteral("is_friend")), &changed.isFriend)
                 && parseBool(args.value(QStringLiteral("is_family")), &changed.isFamily);
    if (valid && args.contains(QStringLiteral("perm_comment")))
        valid = parseLevel(args.value(QStringLiteral("perm_comment")), &changed.permComment);
    if (valid && args.contains(QStringLiteral("perm_addmeta")))
        valid = parseLevel(args.value(QStringLiteral("perm_addmeta")), &changed.permAddMeta);
    if (!valid)
        return error(2, QStringLiteral("Invalid permissions"));
    store(changed);
    return ok();
}

RestAnswer RestApi::setLicense(const Params& args, const Caller&) {
    auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    if (!p)
        return error(1, QStringLiteral("Photo not found"));
    bool ok = false;
    const int license = args.value(QStringLiteral("license_id")).toInt(&ok);
    if (!ok || license < 0 || license > 10)
        return error(2, QStringLiteral("License not found"));
    p->license = license;
    store(*p);
    return this->ok();
}

RestAnswer RestApi::setLocation(const Params& args, const Caller&) {
    auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    if (!p)
        return error(1, QStringLiteral("Photo not found"));
    if (!args.contains(QStringLiteral("lat")) || !args.contains(QStringLiteral("lon")))
        return error(2, QStringLiteral("Required arguments missing."));
    bool ok = false;
    const double lat = args.value(QStringLiteral("lat")).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(lat) || lat < -90.0 || lat > 90.0)
        return error(3, QStringLiteral("Not a valid latitude."));
    const double lon = args.value(QStringLiteral("lon")).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(lon) || lon < -180.0 || lon > 180.0)
        return error(4, QStringLiteral("Not a valid longitude."));
    int accuracy = 16;
    if (args.contains(QStringLiteral("accuracy"))) {
        accuracy = args.value(QStringLiteral("accuracy")).toInt(&ok);
        if (!ok || accuracy < 1 || accuracy > 16)
            return error(5, QStringLiteral("Not a valid accuracy."));
    }
    // Flickr keeps six decimal places.
    p->latitude = std::round(lat * 1e6) / 1e6;
    p->longitude = std::round(lon * 1e6) / 1e6;
    p->accuracy = accuracy;
    p->geotagged = true;
    store(*p);
    return this->ok();
}

} // namespace fakeflickr
