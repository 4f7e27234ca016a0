#include "PictureFiles.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>

#include <string_view>

namespace fakeflickr {

std::optional<PictureFile> parsePictureFileName(const QString& name, const PhotoLibrary& library) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)_([0-9a-f]+)(?:_([stmzbo]))?\\.jpg$"));
    const auto m = pattern.match(name);
    if (!m.hasMatch())
        return std::nullopt;
    // Removed pictures resolve too: the server answers them as gone, not as unknown.
    const auto index = library.stream().indexOfId(m.captured(1));
    if (!index)
        return std::nullopt;
    const Photo photo = library.photo(*index);
    const char suffix = m.capturedLength(3) ? m.captured(3).at(0).toLatin1() : '-';
    if (!photo.hasSize(suffix))
        return std::nullopt;
    const QString& secret = suffix == 'o' ? photo.originalSecret : photo.secret;
    if (m.captured(2) != secret)
        return std::nullopt;
    return PictureFile{photo.index, suffix};
}

QByteArray makeJpeg(const Photo& photo, char suffix) {
    const QSize size = photo.pixelSize(suffix);
    QImage image(size, QImage::Format_RGB32);
    // Colours from the picture's secret, stripes from the size, so every file differs.
    const quint32 h = photo.secret.left(8).toUInt(nullptr, 16);
    const int r0 = int(h & 0xff), g0 = int((h >> 8) & 0xff), b0 = int((h >> 16) & 0xff);
    const int stripes = 2 + int(std::string_view("stm-zbo").find(suffix));
    const int cx = size.width() * int((h >> 24) % 100) / 100, cy = size.height() / 3;
    const int radius = std::max(4, std::min(size.width(), size.height()) / 5);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int fy = y * 255 / std::max(1, size.height() - 1);
        for (int x = 0; x < size.width(); ++x) {
            const int fx = x * 255 / std::max(1, size.width() - 1);
            const int dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy < radius * radius) {
                line[x] = qRgb(255, 230, 120);
                continue;
            }
            const bool band = (fx * stripes / 256) % 2 == 0 && y > size.height() * 2 / 3;
            line[x] = qRgb((r0 + fx) / 2, (g0 + fy) / 2, band ? 255 - b0 / 2 : b0);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return bytes;
}

} // namespace fakeflickr
