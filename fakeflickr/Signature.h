#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace fakeflickr {

// Request parameters after percent-decoding; names are unique, as Tessaly sends them.
using Params = QMap<QString, QString>;

// The escaping Tessaly's signer uses: only letters, digits, "-", "." and "_" stay;
// everything else (also "~") becomes %XX of its UTF-8 bytes, upper-case hex.
QString oauthEscape(const QString& text);

// Base64 of HMAC-SHA1 over the UTF-8 bytes of key and data.
QString hmacSha1Base64(const QString& key, const QString& data);

// The OAuth base string as Tessaly forms it: names raw, values escaped, the joined
// parameter text escaped again; "oauth_signature" itself is left out.
QString oauthBaseString(const QString& httpMethod, const QString& baseUrl, const Params& params);

// Signing key: the two secrets, unescaped, joined by "&".
QString oauthSignature(const QString& httpMethod, const QString& baseUrl, const Params& params,
                       const QString& sharedSecret, const QString& tokenSecret);

// Legacy signature: MD5 hex of the secret followed by every name and value (sorted, "api_sig" left out).
QString legacySignature(const Params& params, const QString& sharedSecret);

// The oauth_* parameters of an "Authorization: OAuth k=\"v\", ..." header, percent-decoded;
// "realm" and other schemes give nothing.
Params parseOAuthHeader(const QByteArray& value);

// Parses "a=b&c=d" with percent-decoding, "+" read as a space (as Flickr's front end does).
Params parseQuery(const QByteArray& query);

} // namespace fakeflickr
