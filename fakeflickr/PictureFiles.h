#pragma once

#include "Photostream.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace fakeflickr {

// Which picture and size a file name like "123_abc_s.jpg" names.
struct PictureFile {
    int index = 0;
    char suffix = 's';
};

// Checks the name against the stored picture: the secret (the original's own for "_o"),
// and that the picture has that size at all. A removed picture's files still resolve.
std::optional<PictureFile> parsePictureFileName(const QString& name, const PhotoLibrary& library);

// A real JPEG of the size the records announce, different for each picture and size.
QByteArray makeJpeg(const Photo& photo, char suffix);

} // namespace fakeflickr
