#pragma once

#include <QString>

namespace tessaly::files {

// Moves a file or a folder. Within one file system it is a rename; across file
// systems the item is copied, the copy checked against the source, and only
// then the source removed. On failure nothing is left at the destination, the
// source is untouched and `error` says why.
bool moveItem(const QString& source, const QString& destination, QString* error);

} // namespace tessaly::files
