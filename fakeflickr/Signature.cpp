#include "Signature.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QStringList>

#include <QUrl>

#include <algorithm>
#include <cstring>

namespace fakeflickr {

QString oauthEscape(const QString& text) {
    static const char* digits = "0123456789ABCDEF";
    QString out;
    for (const char c : text.toUtf8()) {
        const auto b = static_cast<unsigned char>(c);
        const bool keep = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')
                          || b == '-' || b == '.' || b == '_' || b == '~';
        if (keep) {
            out += QLatin1Char(char(b));
        } else {
            out += QLatin1Char('%');
            out += QLatin1Char(digits[b >> 4]);
            out += QLatin1Char(digits[b & 15]);
        }
    }
    return out;
}

QString hmacSha1Base64(const QString& key, const QString& data) {
    return QString::fromLatin1(
        QMessageAuthenticationCode::hash(data.toUtf8(), key.toUtf8(), QCryptographicHash::Sha1).toBase64());
}

QString oauthBaseStringUri(const QString& url) {
    const QUrl parsed(url);
    if (!parsed.isValid() || parsed.scheme().isEmpty())
        return url;
    const QString scheme = parsed.scheme().toLower();
    QString uri = scheme + QStringLiteral("://") + parsed.host().toLower();
    const int port = parsed.port();
    if (port >= 0 && !(scheme == QLatin1String("http") && port == 80) && !(scheme == QLatin1String("https") && port == 443))
        uri += QLatin1Char(':') + QString::number(port);
    const QString path = parsed.path(QUrl::FullyEncoded);
    return uri + (path.isEmpty() ? QStringLiteral("/") : path);
}

QString oauthBaseString(const QString& httpMethod, const QString& baseUrl, const Params& params) {
    QList<QPair<QString, QString>> pairs;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        if (it.key() != QLatin1String("oauth_signature"))
            pairs.append({oauthEscape(it.key()), oauthEscape(it.value())});
    // Escaped texts are ASCII, so QString's ordering is the byte order RFC 5849 sorts by.
    std::sort(pairs.begin(), pairs.end());
    QStringList joined;
    for (const auto& [name, value] : std::as_const(pairs))
        joined << name + QLatin1Char('=') + value;
    return httpMethod.toUpper() + QLatin1Char('&') + oauthEscape(oauthBaseStringUri(baseUrl)) + QLatin1Char('&')
           + oauthEscape(joined.join(QLatin1Char('&')));
}

QString oauthSignature(const QString& httpMethod, const QString& baseUrl, const Params& params,
                       const QString& sharedSecret, const QString& tokenSecret) {
    return hmacSha1Base64(sharedSecret + QLatin1Char('&') + tokenSecret,
                          oauthBaseString(httpMethod, baseUrl, params));
}

QString legacySignature(const Params& params, const QString& sharedSecret) {
    QString text = sharedSecret;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        if (it.key() != QLatin1String("api_sig"))
            text += it.key() + it.value();
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

Params parseQuery(const QByteArray& query) {
    Params out;
    for (const QByteArray& piece : query.split('&')) {
        if (piece.isEmpty())
            continue;
        const int eq = piece.indexOf('=');
        QByteArray name = eq < 0 ? piece : piece.left(eq);
        QByteArray value = eq < 0 ? QByteArray() : piece.mid(eq + 1);
        name.replace('+', ' ');
        value.replace('+', ' ');
        out.insert(QString::fromUtf8(QByteArray::fromPercentEncoding(name)),
                   QString::fromUtf8(QByteArray::fromPercentEncoding(value)));
    }
    return out;
}

Params parseOAuthHeader(const QByteArray& value) {
    Params out;
    const QByteArray text = value.trimmed();
    if (text.size() < 6 || text.left(5).toLower() != "oauth" || (text[5] != ' ' && text[5] != '\t'))
        return out;
    qsizetype i = 6;
    const auto skip = [&](const char* chars) {
        while (i < text.size() && std::strchr(chars, text[i]))
            ++i;
    };
    while (i < text.size()) {
        skip(" \t,");
        const qsizetype eq = text.indexOf('=', i);
        if (eq < 0)
            break;
        const QByteArray name = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        skip(" \t");
        QByteArray raw;
        if (i < text.size() && text[i] == '"') {
            // Percent-encoded values hold no quote, so the next one ends the value.
            const qsizetype end = text.indexOf('"', i + 1);
            if (end < 0)
                break;
            raw = text.mid(i + 1, end - i - 1);
            i = end + 1;
        } else {
            const qsizetype end = text.indexOf(',', i);
            raw = text.mid(i, end < 0 ? -1 : end - i).trimmed();
            i = end < 0 ? text.size() : end;
        }
        const QString key = QString::fromUtf8(QByteArray::fromPercentEncoding(name));
        if (key.startsWith(QLatin1String("oauth_")))
            out.insert(key, QString::fromUtf8(QByteArray::fromPercentEncoding(raw)));
    }
    return out;
}

} // namespace fakeflickr
