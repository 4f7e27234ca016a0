#include "ThumbnailCache.h"

#include <QFileInfo>

namespace tessaly {

ThumbnailCache::ThumbnailCache(qsizetype maxBytes) : m_images(maxBytes / 1024) {}

QImage ThumbnailCache::thumbnail(const QString& squareFile) {
    if (const QImage* cached = m_images.object(squareFile))
        return *cached;
    QImage image;
    if (!squareFile.isEmpty() && QFileInfo(squareFile).isFile())
        image.load(squareFile);
    if (image.isNull()) {
        // Missing files are common (not downloaded yet) and cost nothing to keep.
        if (m_missing.isNull())
            m_missing.load(kMissingImage);
        return m_missing;
    }
    image = image.scaled(kDisplaySize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const qsizetype cost = qMax<qsizetype>(1, image.sizeInBytes() / 1024);
    m_images.insert(squareFile, new QImage(image), cost);
    return image;
}

} // namespace tessaly
