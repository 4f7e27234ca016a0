#pragma once

#include <QString>

namespace tessaly::config {

// The application's Flickr API key and shared secret: build settings that the
// environment variables TESSALY_API_KEY and TESSALY_SHARED_SECRET override.
QString apiKey();
QString sharedSecret();

// What every request to Flickr says the application is: name and version.
QString userAgent();

// The OAuth callback address and the permission the application asks for.
inline const QString kCallbackURL = QStringLiteral("tessaly://callback");
inline const QString kRequestedPermission = QStringLiteral("write");

} // namespace tessaly::config
