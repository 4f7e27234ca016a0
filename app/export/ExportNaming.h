#pragma once

#include "viewer/CurrentPicture.h"

#include <QFileInfo>
#include <QString>

#include <functional>

namespace tessaly::exporter {

enum class ExportSize { Original, Large };
enum class Naming { Title, FileName, Prefix };

// The picture file exported from the picture folder. Original size: the
// original, else the large, else the square file. Large size: the large
// file, else the square one. Empty when the record names no such file.
QString exportSource(const viewer::CurrentPicture& picture, const QString& pixPath,
                     ExportSize size);

// The name of the copy: the title, the source's own file name, or the
// prefix with "_" and the running number, each with the source's extension.
// It always stays inside the export folder ("/" and NUL become "_", no
// leading "..").
QString destinationName(Naming naming, const QString& sourceFile, const QString& title,
                        const QString& prefix, int number);

// Where the copy goes: the folder and the name, or when that is taken the
// name with the picture's row position (counted from 1) before the
// extension, then with further numbers until the name is free.
QString freeDestination(
    const QString& folder, const QString& name, int rowPosition,
    const std::function<bool(const QString&)>& exists = [](const QString& path) {
        return QFileInfo::exists(path);
    });

// A file beside a copy: its extension (a dot within the last six
// characters) replaced by `extension`, else "." and `extension` added.
QString siblingFilePath(const QString& picturePath, const QString& extension);
// The text file beside a copy.
inline QString textFilePath(const QString& picturePath) {
    return siblingFilePath(picturePath, QStringLiteral("txt"));
}

} // namespace tessaly::exporter
