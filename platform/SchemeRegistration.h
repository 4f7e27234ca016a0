#pragma once

#include <QString>

namespace tessaly {

// Makes Tessaly the handler of tessaly:// addresses, so that the browser hands
// the OAuth callback to it: writes tessaly.desktop (MimeType
// x-scheme-handler/tessaly) into the applications folder and, where xdg-mime
// exists, makes it the scheme's default. Answers whether the desktop file is
// in place; otherwise `error` says why (an executable path holding a control
// character other than a line break, tab or carriage return is refused). An
// existing file that already runs `executable` is left alone.
bool registerURLScheme(const QString& executable, const QString& applicationsFolder = {},
                       QString* error = nullptr);

// One argument of an Exec line, quoted by the Desktop Entry rules.
QString desktopExecArgument(const QString& argument);
// The text of the desktop file for an executable.
QString desktopFileText(const QString& executable);

} // namespace tessaly
