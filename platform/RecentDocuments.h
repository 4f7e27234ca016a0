#pragma once

#include <QString>

namespace tessaly {

// Adds a file to the desktop's list of recently used documents
// ($XDG_DATA_HOME/recently-used.xbel). Answers whether the list was written.
bool addRecentDocument(const QString& path, const QString& recentFile = {});

} // namespace tessaly
