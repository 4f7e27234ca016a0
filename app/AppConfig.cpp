#include "AppConfig.h"

#include <QtGlobal>

namespace tessaly::config {

QString apiKey() {
    const QString fromEnvironment = qEnvironmentVariable("TESSALY_API_KEY");
    return fromEnvironment.isEmpty() ? QStringLiteral(TESSALY_API_KEY_DEFAULT) : fromEnvironment;
}

QString sharedSecret() {
    const QString fromEnvironment = qEnvironmentVariable("TESSALY_SHARED_SECRET");
    return fromEnvironment.isEmpty() ? QStringLiteral(TESSALY_SHARED_SECRET_DEFAULT)
                                     : fromEnvironment;
}

QString userAgent() { return QStringLiteral("Tessaly/" TESSALY_VERSION " (Linux; Flickr archive)"); }

} // namespace tessaly::config
