#include "ThumbnailCache.h"

#include <QFileInfo>

namespace tessaly {

ThumbnailCache::ThumbnailCache(qsizetype maxBytes) : m_images(maxBytes / 1024) {}

QImage ThumbnailCache::thumbnail(const QString& squareFile) {
    QImage image;
    if (const QImage* cached = m_images.object(squareFile)) {
        image = *cached;
    } else {
        if (!squareFile.isEmpty() && QFileInfo(squareFile).isFile())
            image.load(squareFile);
        if (!image.isNull())
            image = image.scaled(kDisplaySize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // A missing file is remembered as a null image, so it is looked for
        // once per search and not at every repaint.
        m_images.insert(squareFile, new QImage(image),
                        qMax<qsizetype>(1, image.sizeInBytes() / 1024));
    }
    if (!image.isNull())
        return image;
    if (m_missing.isNull()) {
        m_missing.load(kMissingImage);
        m_missing.setDevicePixelRatio(2);
    }
    return m_missing;
}

} // namespace tessaly
