#pragma once

#include <QString>

namespace tessaly {

// A launch argument as the running instance takes it: a tessaly: address
// stays as it is; a file: address (as file managers pass it) or a path
// becomes an absolute local path.
QString launchMessageFor(const QString& argument);

// Whether a message is a callback address rather than a file to open.
bool isCallbackMessage(const QString& message);

} // namespace tessaly
