#include "FileMoves.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tessaly::files {

namespace {

bool copyTree(const QString& source, const QString& destination, QString* error) {
    const QFileInfo info(source);
    if (!info.isDir()) {
        if (!QFile::copy(source, destination)) {
            *error = QStringLiteral("Could not copy %1 to %2.").arg(source, destination);
            return false;
        }
        if (QFileInfo(destination).size() != info.size()) {
            *error = QStringLiteral("The copy of %1 is incomplete.").arg(source);
            return false;
        }
        return true;
    }
    if (!QDir().mkpath(destination)) {
        *error = QStringLiteral("Could not create the folder %1.").arg(destination);
        return false;
    }
    const QDir folder(source);
    for (const QFileInfo& entry :
         folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (!copyTree(entry.filePath(), destination + QLatin1Char('/') + entry.fileName(), error))
            return false;
    }
    return true;
}

bool removeItem(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
}

} // namespace

bool moveItem(const QString& source, const QString& destination, QString* error) {
    QString ignored;
    QString& why = error ? *error : ignored;
    if (!QFileInfo::exists(source)) {
        why = QStringLiteral("%1 does not exist.").arg(source);
        return false;
    }
    if (QFileInfo::exists(destination)) {
        why = QStringLiteral("%1 already exists.").arg(destination);
        return false;
    }
    if (std::rename(QFile::encodeName(source).constData(),
                    QFile::encodeName(destination).constData()) == 0)
        return true;
    if (errno != EXDEV) {
        why = QStringLiteral("Could not move %1 to %2: %3.")
                  .arg(source, destination, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Another file system: copy, check, then remove the source.
    if (!copyTree(source, destination, &why)) {
        removeItem(destination);
        return false;
    }
    if (!removeItem(source)) {
        why = QStringLiteral("%1 was copied but could not be removed.").arg(source);
        return true; // the data is safe at its new place
    }
    return true;
}

} // namespace tessaly::files
