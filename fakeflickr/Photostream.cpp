#include "Photostream.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <ctime>

namespace fakeflickr {

namespace {

constexpr qint64 kFirstUpload = 1230768000;             // 2009-01-01
constexpr qint64 kUploadSpan = 14LL * 365 * 24 * 3600;  // uploads spread over 14 years
constexpr int kMaxPhotos = 9'999'999;

enum Salt : quint64 {
    SecretSalt = 1, OriginalSecretSalt, ServerSalt, TitleSalt, DescriptionSalt, TagSalt,
    LicenseSalt, UploadSalt, TakenSalt, UpdateSalt, ViewsSalt, VideoSalt, GeoSalt, LatSalt,
    LonSalt, PermsSalt, DimsSalt, ExifSalt, SetSalt
};

quint64 splitmix(quint64 x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

QString hex(quint64 value, int digits) {
    return QString::number(value, 16).rightJustified(16, QLatin1Char('0')).right(digits);
}

template <std::size_t N>
QString pick(const std::array<const char*, N>& list, quint64 h) {
    return QString::fromUtf8(list[h % N]);
}

const std::array<const char*, 12> kAdjectives = {
    "Sunny", "Quiet", "Misty", "Golden", "Windy", "Early", "Late", "Old", "Blue", "Bright",
    "Rainy", "Frozen"};
const std::array<const char*, 12> kNouns = {
    "harbour", "street", "garden", "bridge", "market", "beach", "forest", "station", "tower",
    "river", "square", "hill"};
// Titles that carry the awkward characters a real photostream has.
const std::array<const char*, 10> kOddTitles = {
    "The \"Blue\" Door", "Say \\\"cheese\\\"", "Café in Zürich", "Ålesund harbour",
    "東京 at night", "São Paulo / Brazil", "Before/After", "Straße \"am\" Fluss",
    "Two lines\nof title", "Smørrebrød \\ lunch"};
const std::array<const char*, 8> kDescriptions = {
    "Taken on an evening walk.",
    "First line.\nSecond line after a break.",
    "She said \"look up\" and I did.",
    "A backslash before a quote: \\\" stays odd.",
    "Crème brûlée in Köln — über gut.",
    "Shot at 1/250 s, f/8.",
    "Line one\n\nLine three, after an empty line.",
    "Plain text with a / slash and an ampersand & more."};
const std::array<const char*, 16> kOneWordTags = {
    "sunset", "beach", "cat", "dog", "city", "night", "mountain", "river", "snow", "bridge",
    "flower", "portrait", "street", "family", "travel", "café"};
const std::array<const char*, 5> kMultiWordTags = {
    "new york", "golden gate", "black and white", "long exposure", "Zürich See"};
const std::array<std::array<const char*, 2>, 6> kCameras = {{
    {"Canon", "Canon EOS 5D Mark II"}, {"NIKON CORPORATION", "NIKON D700"},
    {"Apple", "iPhone 4"}, {"FUJIFILM", "X100S"}, {"SONY", "NEX-7"},
    {"Panasonic", "DMC-LX5 \"silver\""}}};

} // namespace

bool Photo::hasSize(char suffix) const {
    const int longEdge = std::max(originalWidth, originalHeight);
    switch (suffix) {
    case 's': case 't': case 'm': return true;
    case '-': return longEdge >= 500;
    case 'z': return longEdge >= 640;
    case 'b': return longEdge >= 1024;
    case 'o': return hasOriginalUrl;
    default: return false;
    }
}

QSize Photo::pixelSize(char suffix) const {
    int bound = 0;
    switch (suffix) {
    case 's': return {75, 75};
    case 't': bound = 100; break;
    case 'm': bound = 240; break;
    case '-': bound = 500; break;
    case 'z': bound = 640; break;
    case 'b': bound = 1024; break;
    default: return {originalWidth, originalHeight};
    }
    const int longEdge = std::max(originalWidth, originalHeight);
    const auto scale = [&](int v) { return std::max(1, int((qint64(v) * bound + longEdge / 2) / longEdge)); };
    return {scale(originalWidth), scale(originalHeight)};
}

QString Photo::fileName(char suffix) const {
    const QString base = idText() + QLatin1Char('_') + (suffix == 'o' ? originalSecret : secret);
    if (suffix == '-')
        return base + QStringLiteral(".jpg");
    return base + QLatin1Char('_') + QLatin1Char(suffix) + QStringLiteral(".jpg");
}

QString normalizedTag(const QString& raw) {
    QString out;
    for (const QChar c : raw.toLower())
        if (c.isLetterOrNumber())
            out += c;
    return out;
}

QStringList Photo::normalizedTags() const {
    QStringList out;
    for (const QString& raw : rawTags)
        out << normalizedTag(raw);
    return out;
}

QString formatDateTime(qint64 seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return QString::fromLatin1(text);
}

Photostream::Photostream(int photos, quint64 seed, int sets)
    : m_size(std::clamp(photos, 0, kMaxPhotos)), m_seed(seed) {
    m_sets = m_size == 0 ? 0 : sets >= 0 ? std::min(sets, 100000) : std::clamp(m_size / 50, 1, 50);
    m_idBase = 50'000'000'000LL + qint64(seed % 1000) * 10'000'000LL;
    m_setIdBase = 72'157'000'000'000'000LL + qint64(seed % 1000) * 100'000LL;
    m_uploadStep = std::max<qint64>(60, kUploadSpan / (m_size + 1));
}

quint64 Photostream::hash(quint64 ordinal, quint64 salt) const {
    return splitmix(splitmix(m_seed * 0x100000001b3ULL + salt) ^ ordinal);
}

bool Photostream::isVideoAt(int index) const {
    return hash(quint64(m_size - index), VideoSalt) % 100 < 3;
}

bool Photostream::isPublicAt(int index) const {
    return hash(quint64(m_size - index), PermsSalt) % 100 < 80;
}

qint64 Photostream::takenSecondsAt(int index) const {
    const quint64 ordinal = quint64(m_size - index);
    const qint64 upload = kFirstUpload + qint64(ordinal) * m_uploadStep
                          + qint64(hash(ordinal, UploadSalt) % quint64(m_uploadStep));
    return upload - qint64(hash(ordinal, TakenSalt) % (60 * 24 * 3600));
}

Photo Photostream::photoAt(int index) const {
    Photo p;
    const quint64 ord = quint64(m_size - index);
    p.index = index;
    p.id = m_idBase + qint64(ord);
    p.secret = hex(hash(ord, SecretSalt), 10);
    p.originalSecret = hex(hash(ord, OriginalSecretSalt), 10);
    p.server = QString::number(1000 + hash(ord, ServerSalt) % 9000);
    p.farm = int(1 + hash(ord, ServerSalt) / 9000 % 9);

    const quint64 ht = hash(ord, TitleSalt);
    const quint64 titleBucket = ht % 100;
    if (titleBucket < 5)
        p.title.clear();
    else if (titleBucket < 25)
        p.title = pick(kOddTitles, ht / 100);
    else
        p.title = pick(kAdjectives, ht / 100) + QLatin1Char(' ') + pick(kNouns, ht / 1200)
                  + QLatin1Char(' ') + QString::number(ord);

    const quint64 hd = hash(ord, DescriptionSalt);
    if (hd % 100 >= 20)
        p.description = pick(kDescriptions, hd / 100);

    const quint64 hg = hash(ord, TagSalt);
    const int tagCount = int(hg % 6);
    QStringList seen;
    for (int i = 0; i < tagCount; ++i) {
        const quint64 h = splitmix(hg + quint64(i));
        const QString raw = h % 5 == 0 ? pick(kMultiWordTags, h / 5) : pick(kOneWordTags, h / 5);
        if (!seen.contains(normalizedTag(raw))) {
            seen << normalizedTag(raw);
            p.rawTags << raw;
        }
    }

    p.license = int(hash(ord, LicenseSalt) % 11);
    p.dateUpload = kFirstUpload + qint64(ord) * m_uploadStep
                   + qint64(hash(ord, UploadSalt) % quint64(m_uploadStep));
    p.dateTaken = formatDateTime(takenSecondsAt(index));
    p.lastUpdate = p.dateUpload + qint64(hash(ord, UpdateSalt) % (365 * 24 * 3600));
    p.views = int(hash(ord, ViewsSalt) % 10000);
    p.isVideo = isVideoAt(index);

    const quint64 hgeo = hash(ord, GeoSalt);
    if (hgeo % 100 < 40) {
        p.geotagged = true;
        p.latitude = -60.0 + double(hash(ord, LatSalt) % 130'000'000) / 1e6;
        p.longitude = -180.0 + double(hash(ord, LonSalt) % 360'000'000) / 1e6;
        p.accuracy = int(1 + hgeo / 100 % 16);
    }

    const quint64 hp = hash(ord, PermsSalt);
    p.isPublic = isPublicAt(index);
    p.isFriend = !p.isPublic && (hp / 100) % 2 == 0;
    p.isFamily = !p.isPublic && (hp / 200) % 3 != 0;
    p.permComment = int(hp / 600 % 4);
    p.permAddMeta = int(hp / 2400 % 4);

    const quint64 hdim = hash(ord, DimsSalt);
    const int longEdge = hdim % 100 < 15 ? int(500 + hdim / 100 % 501) : int(1100 + hdim / 100 % 501);
    const quint64 shape = hdim / 60000 % 10;
    const int shortEdge = shape == 9 ? longEdge : longEdge * 3 / 4;
    const bool portrait = shape >= 7 && shape < 9;
    p.originalWidth = portrait ? shortEdge : longEdge;
    p.originalHeight = portrait ? longEdge : shortEdge;
    p.hasOriginalUrl = hdim / 600000 % 100 >= 7;
    return p;
}

std::optional<int> Photostream::indexOfId(const QString& id) const {
    bool ok = false;
    const qint64 value = id.toLongLong(&ok);
    if (!ok || value <= m_idBase || value > m_idBase + m_size || id != QString::number(value))
        return std::nullopt;
    return m_size - int(value - m_idBase);
}

QList<ExifEntry> Photostream::exifFor(qint64 photoId) const {
    const quint64 h = hash(quint64(photoId - m_idBase), ExifSalt);
    const auto& camera = kCameras[h / 100 % kCameras.size()];
    QList<ExifEntry> all = {
        {"IFD0", 0, "Make", "Make", QString::fromUtf8(camera[0]), {}},
        {"IFD0", 0, "Model", "Model", QString::fromUtf8(camera[1]), {}},
        {"ExifIFD", 0, "ExposureTime", "Exposure", "1/250", "0.004 sec (1/250)"},
        {"ExifIFD", 0, "FNumber", "Aperture", "8.0", "f/8.0"},
        {"ExifIFD", 0, "ISO", "ISO Speed", QString::number(100 << (h / 1000 % 5)), {}},
        {"ExifIFD", 0, "Flash", "Flash", (h / 5000) % 2 ? "Fired" : "Off, Did not fire",
         (h / 5000) % 2 ? "Fired" : "Off, Did not fire"},
        {"ExifIFD", 0, "FocalLength", "Focal Length", "35.0 mm", "35 mm"},
        {"ExifIFD", 0, "DateTimeOriginal", "Date and Time (Original)", "2011:06:04 17:30:05", {}},
        {"IFD1", 1, "Compression", "Compression", "JPEG (old-style)", {}},
        {"XMP-x", 0, "Make", "Make", QString::fromUtf8(camera[0]), {}},
        {"XMP-dc", 0, "Rights", "Rights", "© \"Tessaly\" demo", {}},
    };
    const quint64 bucket = h % 100;
    if (bucket < 10)
        return {};
    if (bucket < 15)
        return all.mid(0, 1);
    return all.mid(0, 6 + int(h / 10 % 6));
}

void Photostream::setBlock(int number, int* start, int* length) const {
    // Sets from number 2 on cover short runs of the stream, spread over it.
    const int blocks = std::max(1, m_sets - 2);
    *start = int((qint64(number - 2) * m_size) / blocks);
    *length = std::min(int(2 + hash(quint64(number), SetSalt) % 40), m_size - *start);
}

PhotoSet Photostream::setAt(int number) const {
    PhotoSet s;
    s.number = number;
    s.id = QString::number(m_setIdBase + number + 1);
    const quint64 h = hash(quint64(number), SetSalt);
    if (number == 0) {
        s.title = QStringLiteral("Favourites \"best of\"");
        s.description = QStringLiteral("Every picture I like.\nMore than fits on one page.");
        s.count = (m_size / 3) * 2 + std::min(m_size % 3, 2);
    } else if (number == 1) {
        s.title = QStringLiteral("Einzelstück — one picture");
        s.count = m_size > 0 ? 1 : 0;
    } else {
        s.title = pick(kAdjectives, h) + QLatin1Char(' ') + pick(kNouns, h / 12)
                  + QStringLiteral(" set ") + QString::number(number);
        if (h % 3 != 0)
            s.description = pick(kDescriptions, h / 7);
        int start = 0;
        setBlock(number, &start, &s.count);
    }
    s.dateCreate = kFirstUpload + qint64(number) * 86400;
    return s;
}

std::optional<int> Photostream::setNumberOfId(const QString& id) const {
    bool ok = false;
    const qint64 value = id.toLongLong(&ok);
    if (!ok || value <= m_setIdBase || value > m_setIdBase + m_sets || id != QString::number(value))
        return std::nullopt;
    return int(value - m_setIdBase - 1);
}

int Photostream::setMember(int number, int j) const {
    if (number == 0)
        return (j / 2) * 3 + j % 2;
    if (number == 1)
        return m_size / 2;
    int start = 0, length = 0;
    setBlock(number, &start, &length);
    return start + j;
}

int Photostream::setVideoCount(int number) const {
    const int count = setAt(number).count;
    int videos = 0;
    for (int j = 0; j < count; ++j)
        videos += isVideoAt(setMember(number, j)) ? 1 : 0;
    return videos;
}

} // namespace fakeflickr
