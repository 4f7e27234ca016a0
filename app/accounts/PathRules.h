#pragma once

#include <QString>

namespace tessaly::paths {

// The only places where file names are formed from an account.

// <location>/<name>_pix
QString pixFolder(const QString& location, const QString& name);
// <location>/<name>_db
QString databaseFile(const QString& location, const QString& name);
// <home>/Pictures/Tessaly, where new accounts are placed.
QString baseFolder(const QString& homeFolder);

// The account name from a picture folder path: its last component with a
// trailing "_pix" removed (a name such as my_pix_2 stays whole).
QString accountNameFromPixFolder(const QString& pixFolder);
// The account location: the path without its last component.
QString locationFromPath(const QString& path);
// The last path component ("" for a path ending in "/").
QString lastPathComponent(const QString& path);

// Whether a picture folder path belongs to the named account: its last
// component equals the name followed by "_pix".
bool pixFolderBelongsTo(const QString& pixFolder, const QString& name);

// Whether a name can name an account's files: not empty, no "/" or NUL,
// and not "." or "..".
bool isValidAccountName(const QString& name);

// The error log beside a picture folder: the trailing "_pix" of its last
// component replaced by "_errorlog" (appended when there is none).
QString errorLogFor(const QString& pixFolder);

} // namespace tessaly::paths
