#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace tessaly::exporter {

// A name is taken when anything is there, a dangling symbolic link included.
bool nameTaken(const QString& path);

// Writes a file that did not exist: the bytes go to a temporary file in the
// same folder, which then takes the name only if the name is still free. It
// never replaces a file and never writes through a symbolic link; on a file
// system without atomic renames of that kind the file is created exclusively.
bool writeNewFile(const QString& path, const QByteArray& bytes, QString* error);

// The same for a copy of `source`: the copy is made under a temporary name
// beside `path`, `change` (when given) may rewrite it there, then it takes
// the name as above. Answers false, with the reason, when anything fails; no
// temporary file is left.
using TemporaryChange = std::function<bool(const QString& temporaryPath, QString* error)>;
bool copyAsNewFile(const QString& source, const QString& path, const TemporaryChange& change,
                   QString* error);

} // namespace tessaly::exporter
