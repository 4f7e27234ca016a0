#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// Characters escaped, on top of everything outside the URL character set, by all
// OAuth escaping: together they leave only letters, digits, "-", ".", "_" and
// "~", the unreserved characters that Flickr, like RFC 5849, signs unescaped.
inline constexpr char OFOAuthEscapeChars[] = R"(`!@#$^&*()=+[]\{}|;':",/<>?)";

// 32 lower-case hex digits of the MD5 of the UTF-8 bytes (up to the first NUL).
QString OFMD5HexDigest(const QString& text);

// Percent-escapes (upper-case hex, per UTF-8 byte) every character outside
// letters, digits and - _ . ! ~ * ' ( ) ; / ? : @ & = + $ ,
QString OFEscapeURLString(const QString& text);
// As OFEscapeURLString, and "&" is escaped too.
QString OFEscapeURLComponent(const QString& text);
// As OFEscapeURLString, and every character of extraChars is escaped too.
QString OFEscapeURLComponentWithChars(const QString& text, const QString& extraChars);
// OFEscapeURLComponentWithChars with the OAuth escape set.
QString OFEscapeOAuthComponent(const QString& text);

// A fresh random UUID: 36 characters, upper-case hex, groups 8-4-4-4-12.
QString OFNewUUIDString();

QByteArray OFSHA1Digest(const QByteArray& data);
QByteArray OFHMACSHA1Digest(const QByteArray& key, const QByteArray& data);
// Base64 (RFC 4648 alphabet and padding) with "\r\n" after every 64 output
// characters when more follow.
QString OFBase64EncodedText(const QByteArray& data);
// Base64 of HMAC-SHA1 over the UTF-8 bytes of key and data.
QString OFHMACSHA1Base64Signature(const QString& key, const QString& data);

// Splits "a=1&b=2" into a map; nothing when the text is empty or any piece does
// not split into exactly one name and one value. No unescaping.
std::optional<QMap<QString, QString>> OFDictionaryFromQueryString(const QString& query);

// Reads "oauth_token" and "oauth_verifier" from a URL that starts with the base
// callback URL followed by "?". Both out-parameters are required.
bool OFExtractOAuthCallback(const QUrl& received, const QUrl& baseCallback,
                            QString* outRequestToken, QString* outVerifier);

// The text form of an argument value: text as is, numbers in plain decimal.
QString OFTextForm(const QVariant& value);

// "name=value&name=value" in the map's order, as UTF-8 bytes; names and values
// through OFEscapeURLString with "&", "=" and "+" escaped as well.
QByteArray dataAsWWWURLEncodedFormFromDictionary(const QVariantMap& dictionary);
