#include "VideoFile.h"

#include <QFileInfo>

namespace tessaly {

QString videoFileOf(ArchiveDatabase& database, const QString& pixPath, const QString& photoID) {
    QString name;
    database.run("SELECT file FROM videofiles WHERE flickrID=?", {photoID}, [&](const SqlRow& row) {
        name = row.value(0);
        return 0;
    });
    // Only a plain name in the folder: never a path that leads elsewhere.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String("..") || name == QLatin1String("."))
        return {};
    const QString path = pixPath + QLatin1Char('/') + name;
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace tessaly
