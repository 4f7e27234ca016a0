#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace fakeflickr {

// Request parameters after percent-decoding; names are unique, as Tessaly sends them.
using Params = QMap<QString, QString>;

// RFC 5849 (section 3.6) percent-encoding: only the unreserved characters (letters,
// digits, "-", ".", "_" and "~") stay; everything else becomes %XX of its UTF-8
// bytes, upper-case hex.
QString oauthEscape(const QString& text);

// Base64 of HMAC-SHA1 over the UTF-8 bytes of key and data.
QString hmacSha1Base64(const QString& key, const QString& data);

// The base string URI of RFC 5849 (section 3.4.1.2): scheme and host in lower
// case, the port only when it is not the scheme's default, the path, no query.
QString oauthBaseStringUri(const QString& url);

// The OAuth base string as Flickr computes it (RFC 5849, section 3.4.1): names
// and values escaped, pairs sorted by name then value, the joined parameter
// text escaped again; "oauth_signature" itself is left out.
QString oauthBaseString(const QString& httpMethod, const QString& baseUrl, const Params& params);

// Signing key: the two secrets joined by "&". Flickr's secrets are hex digits, so
// escaping them (as RFC 5849 asks) changes nothing; they are used as they are.
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
