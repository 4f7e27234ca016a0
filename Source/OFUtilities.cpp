#include "OFUtilities.h"

#include "OFAssert.h"

#include <QCryptographicHash>
#include <QLocale>
#include <QStringList>
#include <QUuid>

#include <cstring>

namespace {

// Marks kept by the plain URL escape besides ASCII letters and digits.
constexpr char kURLKeptMarks[] = "-_.!~*'();/?:@&=+$,";

bool isASCIIAlphanumeric(uchar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

QString escapeExcept(const QString& text, const QString& extraEscaped) {
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = text.toUtf8();
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const uchar c = static_cast<uchar>(ch);
        const bool kept =
            c < 0x80 && (isASCIIAlphanumeric(c) || (c != 0 && std::strchr(kURLKeptMarks, ch) &&
                                                    !extraEscaped.contains(QChar(c))));
        if (kept) {
            out.append(ch);
        } else {
            out.append('%');
            out.append(hex[c >> 4]);
            out.append(hex[c & 0xF]);
        }
    }
    return QString::fromLatin1(out);
}

} // namespace

QString OFMD5HexDigest(const QString& text) {
    QByteArray bytes = text.toUtf8();
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString OFEscapeURLString(const QString& text) {
    return escapeExcept(text, QString());
}

QString OFEscapeURLComponent(const QString& text) {
    return escapeExcept(text, QStringLiteral("&"));
}

QString OFEscapeURLComponentWithChars(const QString& text, const QString& extraChars) {
    return escapeExcept(text, extraChars);
}

QString OFEscapeOAuthComponent(const QString& text) {
    static const QString chars = QString::fromLatin1(OFOAuthEscapeChars);
    return escapeExcept(text, chars);
}

QString OFNewUUIDString() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QByteArray OFSHA1Digest(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha1);
}

QByteArray OFHMACSHA1Digest(const QByteArray& key, const QByteArray& data) {
    constexpr qsizetype blockSize = 64;
    QByteArray k = key.size() > blockSize ? OFSHA1Digest(key) : key;
    k.append(QByteArray(blockSize - k.size(), '\0'));
    QByteArray innerPad(blockSize, '\x36');
    QByteArray outerPad(blockSize, '\x5c');
    for (qsizetype i = 0; i < blockSize; ++i) {
        innerPad[i] = static_cast<char>(innerPad[i] ^ k[i]);
        outerPad[i] = static_cast<char>(outerPad[i] ^ k[i]);
    }
    return OFSHA1Digest(outerPad + OFSHA1Digest(innerPad + data));
}

QString OFBase64EncodedText(const QByteArray& data) {
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < encoded.size(); i += 64) {
        if (i > 0)
            out.append("\r\n");
        out.append(encoded.mid(i, 64));
    }
    return QString::fromLatin1(out);
}

QString OFHMACSHA1Base64Signature(const QString& key, const QString& data) {
    return OFBase64EncodedText(OFHMACSHA1Digest(key.toUtf8(), data.toUtf8()));
}

std::optional<QMap<QString, QString>> OFDictionaryFromQueryString(const QString& query) {
    if (query.isEmpty())
        return std::nullopt;
    QMap<QString, QString> result;
    for (const QString& piece : query.split(QLatin1Char('&'))) {
        const QStringList parts = piece.split(QLatin1Char('='));
        if (parts.size() != 2)
            return std::nullopt;
        result.insert(parts[0], parts[1]);
    }
    return result;
}

bool OFExtractOAuthCallback(const QUrl& received, const QUrl& baseCallback,
                            QString* outRequestToken, QString* outVerifier) {
    OF_REQUIRE(outRequestToken, "outRequestToken && \"outRequestToken cannot be nil\"");
    OF_REQUIRE(outVerifier, "outVerifier && \"outVerifier cannot be nil\"");

    const QString receivedText = received.toString(QUrl::FullyEncoded);
    const QString prefix = baseCallback.toString(QUrl::FullyEncoded) + QLatin1Char('?');
    if (!receivedText.startsWith(prefix))
        return false;
    const auto query = OFDictionaryFromQueryString(receivedText.mid(prefix.size()));
    if (!query)
        return false;
    const auto token = query->constFind(QStringLiteral("oauth_token"));
    const auto verifier = query->constFind(QStringLiteral("oauth_verifier"));
    if (token == query->constEnd() || verifier == query->constEnd())
        return false;
    *outRequestToken = token.value();
    *outVerifier = verifier.value();
    return true;
}

QString OFTextForm(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest);
    case QMetaType::Float:
        return QString::number(value.toFloat(), 'f', QLocale::FloatingPointShortest);
    default:
        return value.toString();
    }
}

QByteArray dataAsWWWURLEncodedFormFromDictionary(const QVariantMap& dictionary) {
    QString form;
    for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it) {
        if (it != dictionary.constBegin())
            form += QLatin1Char('&');
        // "&", "=" and "+" inside a name or value would change the form's meaning.
        form += OFEscapeURLComponentWithChars(it.key(), QStringLiteral("&=+")) + QLatin1Char('=') +
                OFEscapeURLComponentWithChars(OFTextForm(it.value()), QStringLiteral("&=+"));
    }
    return form.toUtf8();
}
