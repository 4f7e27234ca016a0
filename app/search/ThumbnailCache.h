#pragma once

#include <QCache>
#include <QImage>
#include <QString>

namespace tessaly {

// Thumbnails of the results table, loaded when a row is first shown and kept
// in a cache of bounded size, so that a result of any length costs memory
// only for the rows the user has looked at.
class ThumbnailCache {
public:
    static constexpr QSize kDisplaySize{75, 75};
    // Drawn at twice its 32-point size, so that it is sharp on high-DPI screens.
    static inline const QString kMissingImage = QStringLiteral(":/images/cancl_32@2x.png");

    // `maxBytes` bounds the pixels held.
    explicit ThumbnailCache(qsizetype maxBytes = 24 * 1024 * 1024);

    // The square file's image at the display size, or the missing-file image
    // when the file is absent or not an image.
    QImage thumbnail(const QString& squareFile);
    void clear() { m_images.clear(); }
    int count() const { return int(m_images.count()); }

private:
    QCache<QString, QImage> m_images; // cost: KiB of pixels
    QImage m_missing;
};

} // namespace tessaly
