#include "ExportMetadata.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <exiv2/exiv2.hpp>

#include <cmath>

namespace tessaly::exporter {

namespace {

std::string utf8(const QString& text) {
    return text.toStdString();
}

// IPTC's datasets have byte limits; a text is cut at a whole character.
std::string iptcText(const QString& text, int maxBytes) {
    QString cut = text;
    while (cut.toUtf8().size() > maxBytes)
        cut.chop(cut.size() >= 2 && cut.at(cut.size() - 1).isLowSurrogate() ? 2 : 1);
    return utf8(cut);
}

void setLangAlt(Exiv2::XmpData& xmp, const char* key, const QString& text) {
    Exiv2::LangAltValue value;
    value.value_["x-default"] = utf8(text);
    xmp.add(Exiv2::XmpKey(key), &value);
}

// Degrees as EXIF writes them: degrees, minutes and seconds as rationals.
std::string degreesMinutesSeconds(double value) {
    const double magnitude = std::fabs(value);
    const long degrees = long(magnitude);
    const double minutesExact = (magnitude - double(degrees)) * 60.0;
    const long minutes = long(minutesExact);
    const long seconds = std::lround((minutesExact - double(minutes)) * 60.0 * 10000.0);
    return std::to_string(degrees) + "/1 " + std::to_string(minutes) + "/1 " + std::to_string(seconds) + "/10000";
}

void addExif(Exiv2::ExifData& exif, const FlickrInformation& information) {
    const QDateTime taken = QDateTime::fromString(information.dateTaken, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (taken.isValid() && exif.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal")) == exif.end())
        exif["Exif.Photo.DateTimeOriginal"] = utf8(taken.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")));
    if (!information.location || exif.findKey(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude")) != exif.end())
        return;
    const auto [latitude, longitude] = *information.location;
    Exiv2::Value::AutoPtr version = Exiv2::Value::create(Exiv2::unsignedByte);
    version->read("2 2 0 0");
    exif.add(Exiv2::ExifKey("Exif.GPSInfo.GPSVersionID"), version.get());
    exif["Exif.GPSInfo.GPSLatitudeRef"] = latitude < 0 ? "S" : "N";
    Exiv2::URationalValue lat;
    lat.read(degreesMinutesSeconds(latitude));
    exif.add(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude"), &lat);
    exif["Exif.GPSInfo.GPSLongitudeRef"] = longitude < 0 ? "W" : "E";
    Exiv2::URationalValue lon;
    lon.read(degreesMinutesSeconds(longitude));
    exif.add(Exiv2::ExifKey("Exif.GPSInfo.GPSLongitude"), &lon);
}

void addXmp(Exiv2::XmpData& xmp, const FlickrInformation& information) {
    const auto replace = [&](const char* key) {
        const auto it = xmp.findKey(Exiv2::XmpKey(key));
        if (it != xmp.end())
            xmp.erase(it);
    };
    for (const char* key : {"Xmp.dc.title", "Xmp.dc.description", "Xmp.dc.subject", "Xmp.dc.source",
                            "Xmp.photoshop.DateCreated", "Xmp.xmpRights.UsageTerms"})
        replace(key);
    if (!information.title.isEmpty())
        setLangAlt(xmp, "Xmp.dc.title", information.title);
    if (!information.description.isEmpty())
        setLangAlt(xmp, "Xmp.dc.description", information.description);
    if (!information.tags.isEmpty()) {
        Exiv2::XmpArrayValue subjects(Exiv2::xmpBag);
        for (const QString& tag : information.tags)
            subjects.read(utf8(tag));
        xmp.add(Exiv2::XmpKey("Xmp.dc.subject"), &subjects);
    }
    const QDateTime taken = QDateTime::fromString(information.dateTaken, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (taken.isValid())
        xmp["Xmp.photoshop.DateCreated"] = utf8(taken.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
    if (!information.licenseName.isEmpty())
        setLangAlt(xmp, "Xmp.xmpRights.UsageTerms", information.licenseName);
    if (!information.pageAddress.isEmpty())
        xmp["Xmp.dc.source"] = utf8(information.pageAddress);
}

void addIptc(Exiv2::IptcData& iptc, const FlickrInformation& information) {
    // Tessaly's datasets take the place of any the file had.
    for (auto it = iptc.begin(); it != iptc.end();) {
        const std::string key = it->key();
        if (key == "Iptc.Application2.ObjectName" || key == "Iptc.Application2.Caption" ||
            key == "Iptc.Application2.Keywords" || key == "Iptc.Envelope.CharacterSet")
            it = iptc.erase(it);
        else
            ++it;
    }
    iptc["Iptc.Envelope.CharacterSet"] = "\x1b%G"; // UTF-8
    if (!information.title.isEmpty())
        iptc["Iptc.Application2.ObjectName"] = iptcText(information.title, 64);
    if (!information.description.isEmpty())
        iptc["Iptc.Application2.Caption"] = iptcText(information.description, 2000);
    for (const QString& tag : information.tags) {
        Exiv2::StringValue keyword(iptcText(tag, 64));
        iptc.add(Exiv2::IptcKey("Iptc.Application2.Keywords"), &keyword);
    }
}

} // namespace

QStringList splitTags(const QString& text) {
    static const QRegularExpression token(QStringLiteral("\"([^\"]*)\"?|([^\\s\"]+)"));
    QStringList tags;
    for (auto it = token.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        const QString tag = (match.capturedLength(1) > 0 ? match.captured(1) : match.captured(2)).trimmed();
        if (!tag.isEmpty() && !tags.contains(tag))
            tags << tag;
    }
    return tags;
}

QString flickrPageAddress(const QString& webAddress, const QString& owner, const QString& photoID) {
    QString base = webAddress.trimmed();
    if (base.isEmpty())
        base = QStringLiteral("https://www.flickr.com/photos/") + owner;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QLatin1Char('/') + photoID + QLatin1Char('/');
}

bool carriesInformation(const QString& file) {
    try {
        const int type = Exiv2::ImageFactory::getType(QFile::encodeName(file).toStdString());
        return type == Exiv2::ImageType::jpeg || type == Exiv2::ImageType::png || type == Exiv2::ImageType::tiff;
    } catch (const std::exception&) {
        return false;
    }
}

bool writeFlickrInformation(const QString& file, const FlickrInformation& information, QString* error) {
    static const bool ready = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        return Exiv2::XmpParser::initialize();
    }();
    if (!ready) {
        *error = QStringLiteral("the XMP toolkit could not be started");
        return false;
    }
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(file).toStdString());
        image->readMetadata();
        if (image->checkMode(Exiv2::mdExif) & Exiv2::amWrite)
            addExif(image->exifData(), information);
        if (image->checkMode(Exiv2::mdXmp) & Exiv2::amWrite)
            addXmp(image->xmpData(), information);
        if (image->checkMode(Exiv2::mdIptc) & Exiv2::amWrite)
            addIptc(image->iptcData(), information);
        image->writeMetadata();
        return true;
    } catch (const std::exception& e) {
        *error = QString::fromUtf8(e.what());
        return false;
    }
}

} // namespace tessaly::exporter
