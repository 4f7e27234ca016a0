#include "ExportNaming.h"

namespace tessaly::exporter {

QString exportSource(const viewer::CurrentPicture& p, const QString& pixPath, ExportSize size) {
    QString url;
    if (size == ExportSize::Large)
        url = p.currentLargeURL.isEmpty() ? p.currentSquareURL : p.currentLargeURL;
    else
        for (const QString* candidate :
             {&p.currentOriginalURL, &p.currentLargeURL, &p.currentSquareURL})
            if (!candidate->isEmpty()) {
                url = *candidate;
                break;
            }
    return viewer::pictureFile(pixPath, url);
}

QString destinationName(Naming naming, const QString& sourceFile, const QString& title,
                        const QString& prefix, int number) {
    const QFileInfo source(sourceFile);
    if (naming == Naming::FileName)
        return source.fileName();
    const QString extension =
        source.suffix().isEmpty() ? QString() : QLatin1Char('.') + source.suffix();
    const QString stem =
        naming == Naming::Title ? title : prefix + QLatin1Char('_') + QString::number(number);
    const QString name = viewer::safeFileName(stem + extension);
    return name.isEmpty() ? source.fileName() : name;
}

QString freeDestination(const QString& folder, const QString& name, int rowPosition,
                        const std::function<bool(const QString&)>& exists) {
    const QString first = folder + QLatin1Char('/') + name;
    if (!exists(first))
        return first;
    const QString suffix = QFileInfo(name).suffix();
    const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
    const QString base = folder + QLatin1Char('/') + name.left(name.size() - extension.size()) +
                         QString::number(rowPosition);
    QString path = base + extension;
    for (int more = 2; exists(path); ++more)
        path = base + QLatin1Char('-') + QString::number(more) + extension;
    return path;
}

QString siblingFilePath(const QString& picturePath, const QString& extension) {
    const qsizetype slash = picturePath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = picturePath.lastIndexOf(QLatin1Char('.'));
    if (dot > slash && picturePath.size() - dot <= 6)
        return picturePath.left(dot + 1) + extension;
    return picturePath + QLatin1Char('.') + extension;
}

} // namespace tessaly::exporter
