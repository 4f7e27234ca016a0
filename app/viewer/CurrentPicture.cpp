#include "CurrentPicture.h"

#include "accounts/PathRules.h"

#include <QFileInfo>

namespace tessaly::viewer {

CurrentPicture CurrentPicture::fromColumns(const QStringList& columns) {
    return {columns.value(0), columns.value(1), columns.value(2), columns.value(3),
            columns.value(4), columns.value(5), columns.value(6)};
}

QString pictureFile(const QString& pixPath, const QString& url) {
    const QString name = paths::lastPathComponent(url);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QChar(0)))
        return {};
    return pixPath + QLatin1Char('/') + name;
}

ViewerFiles chooseFiles(const CurrentPicture& p, const QString& pixPath) {
    ViewerFiles files;
    files.squareFile = pictureFile(pixPath, p.currentSquareURL);
    files.originalAvailable = !p.currentOriginalURL.isEmpty();
    if (files.originalAvailable)
        files.originalFilePath = pictureFile(pixPath, p.currentOriginalURL);
    const QString& fallback = files.originalAvailable ? p.currentOriginalURL : p.currentSquareURL;
    files.shownFile =
        pictureFile(pixPath, p.currentLargeURL.isEmpty() ? fallback : p.currentLargeURL);
    return files;
}

QString saveSource(const CurrentPicture& p, const QString& pixPath) {
    for (const QString* url : {&p.currentOriginalURL, &p.currentLargeURL, &p.currentSquareURL})
        if (const QString file = pictureFile(pixPath, *url); !file.isEmpty())
            return file;
    return {};
}

QString fileSizeSource(const QString& originalURL, const QString& largeURL,
                       const QString& squareURL, const QString& pixPath) {
    for (const QString* url : {&originalURL, &largeURL, &squareURL})
        if (!url->isEmpty())
            return pictureFile(pixPath, *url);
    return {};
}

QSize displaySizeFor(QSize pixelSize) {
    return pixelSize.width() < 200 ? pixelSize * 6 : pixelSize;
}

QString suggestedSaveName(const QString& sourceFile) {
    const QFileInfo info(sourceFile);
    QString name = info.fileName();
    if (!info.suffix().isEmpty())
        name.remove(QLatin1Char('.') + info.suffix());
    return name;
}

QString savePathWithExtension(const QString& chosenPath, const QString& extension) {
    if (extension.isEmpty() || chosenPath.endsWith(QLatin1Char('.') + extension))
        return chosenPath;
    return chosenPath + QLatin1Char('.') + extension;
}

QString safeFileName(const QString& name) {
    QString safe = name;
    safe.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QChar(0), QLatin1Char('_'));
    if (safe.startsWith(QLatin1String("..")))
        safe.prepend(QLatin1Char('_'));
    return safe;
}

} // namespace tessaly::viewer
