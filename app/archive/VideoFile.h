#pragma once

#include "ArchiveDatabase.h"

#include <QString>

namespace tessaly {

// The archive's table of the videos' own files: a table of its own, so the
// photos table and everything that reads it stay as they are. Made when missing.
inline const QString kCreateVideoFiles =
    QStringLiteral("CREATE TABLE IF NOT EXISTS videofiles(flickrID TEXT PRIMARY KEY,file TEXT,size INTEGER,label TEXT)");

// The video file of a picture in the picture folder, when the archive names
// one and it is there; empty otherwise (an archive without the table has none).
QString videoFileOf(ArchiveDatabase& database, const QString& pixPath, const QString& photoID);

} // namespace tessaly
