#include "VideoFiles.h"

#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>

namespace fakeflickr {

namespace {

// Scales so that the edge `edge` picks (the long one, or the short one) becomes `target`;
// video sizes are even.
QSize scaled(const Photo& v, int target, bool byShortEdge) {
    const int w = v.originalWidth, h = v.originalHeight;
    const int edge = byShortEdge ? std::min(w, h) : std::max(w, h);
    const auto scale = [&](int value) { return std::max(2, int((qint64(value) * target / edge) & ~qint64(1))); };
    return {scale(w), scale(h)};
}

QSize originalSize(const Photo& v) {
    return {v.originalWidth, v.originalHeight};
}

QByteArray be32(quint32 value) {
    QByteArray out(4, '\0');
    qToBigEndian(value, out.data());
    return out;
}

QByteArray be16(quint16 value) {
    QByteArray out(2, '\0');
    qToBigEndian(value, out.data());
    return out;
}

QByteArray box(const char* type, const QByteArray& payload) {
    return be32(quint32(8 + payload.size())) + QByteArray(type, 4) + payload;
}

QByteArray fullBox(const char* type, quint32 versionAndFlags, const QByteArray& payload) {
    return box(type, be32(versionAndFlags) + payload);
}

QByteArray zeros(int count) {
    return QByteArray(count, '\0');
}

QByteArray unityMatrix() {
    return be32(0x00010000) + zeros(12) + be32(0x00010000) + zeros(12) + be32(0x40000000);
}

} // namespace

QList<VideoSize> videoSizes(const Photo& v, bool withOriginal) {
    QList<VideoSize> out;
    if (!v.isVideo)
        return out;
    const int shortEdge = std::min(v.originalWidth, v.originalHeight);
    const int longEdge = std::max(v.originalWidth, v.originalHeight);
    out << VideoSize{QStringLiteral("Mobile MP4"), QStringLiteral("mobile"), scaled(v, std::min(480, longEdge), false)};
    out << VideoSize{QStringLiteral("Site MP4"), QStringLiteral("site"), scaled(v, std::min(640, longEdge), false)};
    if (shortEdge >= 720)
        out << VideoSize{QStringLiteral("HD MP4"), QStringLiteral("hd"), scaled(v, 720, true)};
    for (const int lines : {360, 720, 1080})
        if (shortEdge >= lines)
            out << VideoSize{QStringLiteral("%1p").arg(lines), QStringLiteral("%1p").arg(lines), scaled(v, lines, true)};
    if (withOriginal && v.hasOriginalUrl)
        out << VideoSize{QStringLiteral("Video Original"), QStringLiteral("orig"), originalSize(v)};
    return out;
}

QString videoPlayPath(const QString& userName, const Photo& v, const QString& kind) {
    return QStringLiteral("/photos/%1/%2/play/%3/%4/")
        .arg(userName, v.idText(), kind, kind == QLatin1String("orig") ? v.originalSecret : v.secret);
}

QString videoFileName(const Photo& v, const QString& kind) {
    return QStringLiteral("%1_%2_%3.mp4").arg(v.idText(), kind == QLatin1String("orig") ? v.originalSecret : v.secret, kind);
}

static std::optional<VideoFile> resolve(const QString& id, const QString& kind, const QString& secret,
                                        const PhotoLibrary& library) {
    const auto index = library.stream().indexOfId(id);
    if (!index)
        return std::nullopt;
    const Photo v = library.photo(*index);
    const QList<VideoSize> sizes = videoSizes(v, true);
    const bool known = std::any_of(sizes.cbegin(), sizes.cend(), [&](const VideoSize& s) { return s.kind == kind; });
    if (!known || secret != (kind == QLatin1String("orig") ? v.originalSecret : v.secret))
        return std::nullopt;
    return VideoFile{*index, kind};
}

std::optional<VideoFile> parseVideoPlayPath(const QString& path, const PhotoLibrary& library) {
    static const QRegularExpression pattern(QStringLiteral("^/photos/[^/]+/(\\d+)/play/([a-z0-9]+)/([0-9a-f]+)/?$"));
    const auto m = pattern.match(path);
    return m.hasMatch() ? resolve(m.captured(1), m.captured(2), m.captured(3), library) : std::nullopt;
}

std::optional<VideoFile> parseVideoFileName(const QString& name, const PhotoLibrary& library) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)_([0-9a-f]+)_([a-z0-9]+)\\.mp4$"));
    const auto m = pattern.match(name);
    return m.hasMatch() ? resolve(m.captured(1), m.captured(3), m.captured(2), library) : std::nullopt;
}

QByteArray makeMp4(const Photo& v, const QString& kind) {
    QSize size = originalSize(v);
    int position = 0;
    const QList<VideoSize> sizes = videoSizes(v, true);
    for (int i = 0; i < sizes.size(); ++i)
        if (sizes[i].kind == kind) {
            size = sizes[i].size;
            position = i;
        }
    const QByteArray ftyp = box("ftyp", QByteArray("isom") + be32(0x200) + "isomiso2avc1mp41");
    const QByteArray mvhd = fullBox("mvhd", 0, zeros(8) + be32(1000) + be32(1000) + be32(0x00010000) + be16(0x0100)
                                                   + zeros(10) + unityMatrix() + zeros(24) + be32(2));
    const QByteArray tkhd = fullBox("tkhd", 3, zeros(8) + be32(1) + zeros(4) + be32(1000) + zeros(16) + unityMatrix()
                                                   + be32(quint32(size.width()) << 16) + be32(quint32(size.height()) << 16));
    const QByteArray mdhd = fullBox("mdhd", 0, zeros(8) + be32(1000) + be32(1000) + be16(0x55c4) + zeros(2));
    const QByteArray hdlr = fullBox("hdlr", 0, zeros(4) + "vide" + zeros(12) + QByteArray("VideoHandler", 13));
    const QByteArray dinf = box("dinf", fullBox("dref", 0, be32(1) + fullBox("url ", 1, {})));
    const QByteArray stbl = box("stbl", fullBox("stsd", 0, be32(0)) + fullBox("stts", 0, be32(0))
                                            + fullBox("stsc", 0, be32(0)) + fullBox("stsz", 0, be32(0) + be32(0))
                                            + fullBox("stco", 0, be32(0)));
    const QByteArray minf = box("minf", fullBox("vmhd", 1, zeros(8)) + dinf + stbl);
    const QByteArray moov = box("moov", mvhd + box("trak", tkhd + box("mdia", mdhd + hdlr + minf)));
    // The payload differs by video and size, so every file is its own.
    QByteArray payload;
    quint64 x = quint64(v.id) * 0x9e3779b97f4a7c15ULL + quint64(position + 1);
    for (int i = 0; i < 256 * (position + 1); ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        payload += char(x & 0xff);
    }
    return ftyp + moov + box("mdat", payload);
}

} // namespace fakeflickr
