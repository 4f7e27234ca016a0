#include "SyncValues.h"

#include "OFXMLMapper.h"

#include <QRegularExpression>
#include <QStringBuilder>
#include <QUrl>

#include <ctime>
#include <limits>

namespace tessaly::sync {

QVariantList asList(const QVariant& value) {
    if (value.typeId() == QMetaType::QVariantList)
        return value.toList();
    if (value.typeId() == QMetaType::QVariantMap)
        return {value};
    return {};
}

qint64 leadingInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    qint64 value = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        const int digit = text[i].unicode() - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

namespace {
// A 32-bit column value as a number text reads (out of range clamps).
int intValue(const QString& text) {
    const qint64 value = leadingInteger(text);
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}
} // namespace

QString localTimeText(qint64 secondsSinceEpoch) {
    const std::time_t seconds = std::time_t(secondsSinceEpoch);
    std::tm parts{};
    char text[64];
    if (!localtime_r(&seconds, &parts) || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts) == 0)
        return {};
    return QString::fromLatin1(text);
}

QString withoutLineBreaks(QString text) { return text.remove(QLatin1Char('\n')); }

QString withoutEscapedQuotes(QString text) {
    return text.replace(QStringLiteral("\\\""), QStringLiteral("\""));
}

QString elementText(const QVariant& element) {
    return element.typeId() == QMetaType::QVariantMap
               ? element.toMap().value(QStringLiteral("_text")).toString()
               : QString();
}

PhotoRecord photoRecordFrom(const QVariantMap& d) {
    const auto text = [&](const QString& key) { return withoutLineBreaks(d.value(key).toString()); };
    const auto number = [&](const QString& key) { return intValue(d.value(key).toString()); };
    PhotoRecord r;
    r.flickrID = text(QStringLiteral("id"));
    r.owner = text(QStringLiteral("owner"));
    r.ownername = text(QStringLiteral("ownername"));
    r.url_o = text(QStringLiteral("url_o"));
    r.url_l = text(QStringLiteral("url_l"));
    r.license = number(QStringLiteral("license"));
    r.title = withoutLineBreaks(withoutEscapedQuotes(d.value(QStringLiteral("title")).toString()));
    r.description =
        withoutLineBreaks(withoutEscapedQuotes(elementText(d.value(QStringLiteral("description")))));
    r.tags = text(QStringLiteral("tags"));
    r.url_sq = text(QStringLiteral("url_sq"));
    r.views = number(QStringLiteral("views"));
    r.width_o = number(QStringLiteral("width_o"));
    r.height_o = number(QStringLiteral("height_o"));
    r.originalformat = text(QStringLiteral("originalformat"));
    r.datetaken = text(QStringLiteral("datetaken"));
    r.dateupload = localTimeText(leadingInteger(d.value(QStringLiteral("dateupload")).toString()));
    r.isfamily = number(QStringLiteral("isfamily"));
    r.isfriend = number(QStringLiteral("isfriend"));
    r.ispublic = number(QStringLiteral("ispublic"));
    r.permcomment = number(QStringLiteral("permcomment"));
    r.permmeta = number(QStringLiteral("permmeta"));
    r.lastupdate = localTimeText(leadingInteger(d.value(QStringLiteral("lastupdate")).toString()));
    r.geo = text(QStringLiteral("geo"));
    r.latitude = text(QStringLiteral("latitude"));
    r.longitude = text(QStringLiteral("longitude"));
    r.media = text(QStringLiteral("media"));
    return r;
}

SetRecord setRecordFrom(const QVariantMap& set) {
    const auto stored = [](const QString& value) {
        return withoutLineBreaks(withoutEscapedQuotes(value));
    };
    return {withoutLineBreaks(set.value(QStringLiteral("id")).toString()),
            stored(elementText(set.value(QStringLiteral("title")))),
            stored(elementText(set.value(QStringLiteral("description"))))};
}

ExifRecord exifRecordFrom(const QVariantList& exifEntries) {
    ExifRecord r;
    for (const QVariant& entry : exifEntries) {
        const QVariantMap e = entry.toMap();
        const QString tag = e.value(QStringLiteral("tag")).toString();
        // An element with neither form of value has none, not its neighbour's.
        QString value;
        if (e.contains(QStringLiteral("clean")))
            value = elementText(e.value(QStringLiteral("clean")));
        else if (e.contains(QStringLiteral("raw")))
            value = elementText(e.value(QStringLiteral("raw")));
        if (tag == QLatin1String("Make"))
            r.make = value;
        else if (tag == QLatin1String("Model"))
            r.model = value;
        else if (tag == QLatin1String("Flash"))
            r.flash = value;
        r.text += tag % QLatin1String(":  ") % value % QLatin1String("\n\n");
    }
    return r;
}

bool isWebAddress(const QString& url) {
    const QUrl address(url, QUrl::StrictMode);
    const QString scheme = address.scheme();
    return url == url.trimmed() && address.isValid() && !address.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

QString pictureProblem(const QByteArray& head, qint64 size, const QString& contentType) {
    if (size <= 0)
        return QStringLiteral("The picture server sent no data.");
    const auto startsWith = [&](const char* bytes, qsizetype length, qsizetype at = 0) {
        return head.size() >= at + length && head.mid(at, length) == QByteArray(bytes, length);
    };
    // JPEG, PNG, GIF; MP4 and QuickTime begin with the length and type of a box.
    if (startsWith("\xff\xd8\xff", 3) || startsWith("\x89PNG\r\n\x1a\n", 8) || startsWith("GIF87a", 6) ||
        startsWith("GIF89a", 6))
        return {};
    for (const char* box : {"ftyp", "moov", "mdat", "wide", "free", "skip", "pnot"})
        if (startsWith(box, 4, 4))
            return {};
    const QString type = contentType.section(QLatin1Char(';'), 0, 0).trimmed();
    return type.isEmpty() ? QStringLiteral("The picture server sent something that is not a picture.")
                          : QStringLiteral("The picture server sent a %1 answer, not a picture.").arg(type);
}

VideoSize bestVideoSize(const QVariantMap& response) {
    VideoSize best;
    qint64 bestArea = -1;
    for (const QVariant& item : asList(OFValueForKeyPath(response, QStringLiteral("sizes.size")))) {
        const QVariantMap size = item.toMap();
        const QString label = size.value(QStringLiteral("label")).toString();
        const QString source = size.value(QStringLiteral("source")).toString();
        // The "Video Player" size is a player for web pages, not a file.
        if (size.value(QStringLiteral("media")).toString() != QLatin1String("video") || source.isEmpty() ||
            label == QLatin1String("Video Player"))
            continue;
        if (label == QLatin1String("Video Original"))
            return {label, source};
        const qint64 area = leadingInteger(size.value(QStringLiteral("width")).toString()) *
                            leadingInteger(size.value(QStringLiteral("height")).toString());
        if (area > bestArea) {
            bestArea = area;
            best = {label, source};
        }
    }
    return best;
}

QString videoFileName(const QString& source, const QString& photoID) {
    const QStringList parts = QUrl(source).path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const qsizetype play = parts.lastIndexOf(QStringLiteral("play"));
    const auto usable = [](const QString& part) {
        static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9_-]+$"));
        return word.match(part).hasMatch();
    };
    if (play >= 0 && play + 2 < parts.size() && usable(parts[play + 1]) && usable(parts[play + 2]))
        return photoID + QLatin1Char('_') + parts[play + 2] + QLatin1Char('_') + parts[play + 1] + QStringLiteral(".mp4");
    if (!source.endsWith(QLatin1Char('/')) && !parts.isEmpty()) {
        const QString name = parts.last();
        if (name == QLatin1String("..") || name == QLatin1String(".") || name.contains(QChar(0)))
            return {};
        return name.startsWith(photoID + QLatin1Char('_')) ? name : photoID + QLatin1Char('_') + name;
    }
    return {};
}

bool isUsableSetID(const QString& setID) {
    return !setID.isEmpty() && !setID.contains(QLatin1Char(','));
}

QString membershipWith(const QString& membership, const QString& setID) {
    const QString current = membership == QLatin1String("0") ? QString() : membership;
    if (!isUsableSetID(setID) || current.split(QLatin1Char(',')).contains(setID))
        return current;
    return current.isEmpty() ? setID : current + QLatin1Char(',') + setID;
}

namespace {
QString q(const QString& text) {
    QString doubled = text;
    return QLatin1Char('"') + doubled.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}
QString n(int value) { return QString::number(value); }
} // namespace

QString insertPhotoText(const PhotoRecord& r) {
    return QStringLiteral("INSERT INTO photos (flickrID,owner,ownername,url_o,url_l,license,title,"
                          "description,tags,url_sq,views,width_o,height_o,originalformat,datetaken,"
                          "dateupload,isfamily,isfriend,ispublic,permcomment,permmeta,lastupdate,geo,"
                          "latitude,longitude,media) VALUES(") %
           QStringList{q(r.flickrID), q(r.owner), q(r.ownername), q(r.url_o), q(r.url_l), n(r.license),
                       q(r.title), q(r.description), q(r.tags), q(r.url_sq), n(r.views), n(r.width_o),
                       n(r.height_o), q(r.originalformat), q(r.datetaken), q(r.dateupload),
                       n(r.isfamily), n(r.isfriend), n(r.ispublic), n(r.permcomment), n(r.permmeta),
                       q(r.lastupdate), q(r.geo), q(r.latitude), q(r.longitude), q(r.media)}
               .join(QLatin1Char(',')) %
           QLatin1Char(')');
}

QString updatePhotoText(const PhotoRecord& r) {
    return QStringLiteral("UPDATE photos SET owner=%1,ownername=%2,url_o=%3,url_l=%4,license=%5,"
                          "title=%6,description=%7,tags=%8,url_sq=%9,")
               .arg(q(r.owner), q(r.ownername), q(r.url_o), q(r.url_l), n(r.license), q(r.title),
                    q(r.description), q(r.tags), q(r.url_sq)) %
           QStringLiteral("views=%1,width_o=%2,height_o=%3,originalformat=%4,datetaken=%5,"
                          "dateupload=%6,isfamily=%7,isfriend=%8,ispublic=%9,")
               .arg(n(r.views), n(r.width_o), n(r.height_o), q(r.originalformat), q(r.datetaken),
                    q(r.dateupload), n(r.isfamily), n(r.isfriend), n(r.ispublic)) %
           QStringLiteral("lastupdate=%1,geo=%2,latitude=%3,longitude=%4,media=%5 WHERE flickrID=%6")
               .arg(q(r.lastupdate), q(r.geo), q(r.latitude), q(r.longitude), q(r.media), q(r.flickrID));
}

QString insertSetText(const SetRecord& r) {
    return QStringLiteral("INSERT INTO sets (setID,set_title,set_description) VALUES(%1,%2,%3)")
        .arg(q(r.setID), q(r.title), q(r.description));
}

} // namespace tessaly::sync
