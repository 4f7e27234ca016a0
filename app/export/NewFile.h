#pragma once

#include <QByteArray>
#include <QString>

namespace tessaly::exporter {

// A name is taken when anything is there, a dangling symbolic link included.
bool nameTaken(const QString& path);

// Writes a file that did not exist: the bytes go to a temporary file in the
// same folder, which then takes the name only if the name is still free. It
// never replaces a file and never writes through a symbolic link; on a file
// system without atomic renames of that kind the file is created exclusively.
bool writeNewFile(const QString& path, const QByteArray& bytes, QString* error);

} // namespace tessaly::exporter
