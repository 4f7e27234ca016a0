#pragma once

#include <QString>

namespace tessaly {

// Marks a file as an archive of this application where the system keeps
// per-file creator and type codes. Linux has none and Tessaly has no bundle
// signature, so this does nothing there; it answers whether codes were set.
bool setCreatorAndTypeCodes(const QString& path);

} // namespace tessaly
