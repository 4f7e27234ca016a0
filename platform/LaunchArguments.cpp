#include "LaunchArguments.h"

#include <QFileInfo>
#include <QUrl>

namespace tessaly {

bool isCallbackMessage(const QString& message) {
    return message.startsWith(QLatin1String("tessaly:"), Qt::CaseInsensitive);
}

QString launchMessageFor(const QString& argument) {
    if (isCallbackMessage(argument))
        return argument;
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        if (url.isLocalFile())
            return QFileInfo(url.toLocalFile()).absoluteFilePath();
    }
    return QFileInfo(argument).absoluteFilePath();
}

} // namespace tessaly
