#include "ServiceClient.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QUuid>

namespace fftest {

QString escape(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString hmacSha1Base64(const QByteArray& keyIn, const QByteArray& data) {
    // RFC 2104 by hand.
    QByteArray key = keyIn.size() > 64 ? QCryptographicHash::hash(keyIn, QCryptographicHash::Sha1) : keyIn;
    key = key.leftJustified(64, '\0');
    QByteArray inner(64, 0), outer(64, 0);
    for (int i = 0; i < 64; ++i) {
        inner[i] = char(key[i] ^ 0x36);
        outer[i] = char(key[i] ^ 0x5c);
    }
    const QByteArray innerHash = QCryptographicHash::hash(inner + data, QCryptographicHash::Sha1);
    return QString::fromLatin1(QCryptographicHash::hash(outer + innerHash, QCryptographicHash::Sha1).toBase64());
}

Args oauthSigned(const Args& args, const QString& httpMethod, const QString& baseUrl, const Credentials& c,
                 bool escapeTilde) {
    const auto escape = [escapeTilde](const QString& text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArray(), escapeTilde ? "~" : ""));
    };
    Args out = args;
    out.insert(QStringLiteral("oauth_nonce"), QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toUpper());
    out.insert(QStringLiteral("oauth_timestamp"), QString::number(QDateTime::currentSecsSinceEpoch()));
    out.insert(QStringLiteral("oauth_version"), QStringLiteral("1.0"));
    out.insert(QStringLiteral("oauth_signature_method"), QStringLiteral("HMAC-SHA1"));
    out.insert(QStringLiteral("oauth_consumer_key"), c.apiKey);
    if (!c.token.isEmpty() && !args.contains(QStringLiteral("oauth_token")))
        out.insert(QStringLiteral("oauth_token"), c.token);
    QStringList pairs;
    for (auto it = out.cbegin(); it != out.cend(); ++it)
        pairs << it.key() + QLatin1Char('=') + escape(it.value());
    const QString base = httpMethod + QLatin1Char('&') + escape(baseUrl) + QLatin1Char('&') + escape(pairs.join(QLatin1Char('&')));
    out.insert(QStringLiteral("oauth_signature"),
               hmacSha1Base64((c.sharedSecret + QLatin1Char('&') + c.tokenSecret).toUtf8(), base.toUtf8()));
    return out;
}

Args legacySigned(const Args& args, const Credentials& c) {
    Args out = args;
    out.insert(QStringLiteral("api_key"), c.apiKey);
    if (!c.token.isEmpty())
        out.insert(QStringLiteral("auth_token"), c.token);
    QString text = c.sharedSecret;
    for (auto it = out.cbegin(); it != out.cend(); ++it)
        text += it.key() + it.value();
    out.insert(QStringLiteral("api_sig"),
               QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex()));
    return out;
}

QByteArray takeOAuthHeader(Args* args, const QString& realm) {
    QStringList pairs;
    if (!realm.isNull())
        pairs << QStringLiteral("realm=\"%1\"").arg(realm);
    for (auto it = args->begin(); it != args->end();) {
        if (!it.key().startsWith(QLatin1String("oauth_"))) {
            ++it;
            continue;
        }
        pairs << it.key() + QStringLiteral("=\"") + escape(it.value()) + QLatin1Char('"');
        it = args->erase(it);
    }
    return "OAuth " + pairs.join(QStringLiteral(", ")).toLatin1();
}

QByteArray encodeQuery(const Args& args) {
    QStringList pairs;
    for (auto it = args.cbegin(); it != args.cend(); ++it)
        pairs << it.key() + QLatin1Char('=') + escape(it.value());
    return pairs.join(QLatin1Char('&')).toLatin1();
}

static Reply run(QNetworkAccessManager& manager, QNetworkReply* reply, int timeoutMs) {
    Q_UNUSED(manager);
    QEventLoop loop;
    Reply out;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        out.timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.error = reply->error();
    out.body = reply->readAll();
    out.location = reply->rawHeader("Location");
    out.contentType = reply->rawHeader("Content-Type");
    if (reply->hasRawHeader("Retry-After"))
        out.retryAfter = reply->rawHeader("Retry-After");
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    out.contentLength = length.isValid() ? length.toLongLong() : -1;
    reply->deleteLater();
    return out;
}

static QNetworkRequest request(const QString& url, const Headers& headers) {
    QNetworkRequest r{QUrl::fromEncoded(url.toUtf8())};
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const auto& [name, value] : headers)
        r.setRawHeader(name, value);
    return r;
}

Reply get(const QString& url, int timeoutMs, const Headers& headers) {
    QNetworkAccessManager manager;
    return run(manager, manager.get(request(url, headers)), timeoutMs);
}

Reply post(const QString& url, const QByteArray& form, int timeoutMs, const Headers& headers) {
    QNetworkAccessManager manager;
    QNetworkRequest r = request(url, headers);
    r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    return run(manager, manager.post(r, form), timeoutMs);
}

Reply callRest(const QString& baseUrl, const QString& method, Args args, const Credentials& c,
               const QString& httpMethod, int timeoutMs) {
    const QString endpoint = baseUrl + QStringLiteral("/services/rest/");
    args.insert(QStringLiteral("method"), method);
    const Args signed_ = oauthSigned(args, httpMethod, endpoint, c);
    if (httpMethod == QLatin1String("POST"))
        return post(endpoint, encodeQuery(signed_), timeoutMs);
    return get(endpoint + QLatin1Char('?') + QString::fromLatin1(encodeQuery(signed_)), timeoutMs);
}

Reply callRestPlaced(const QString& baseUrl, const QString& method, Args args, const Credentials& c, Placement where) {
    const QString endpoint = baseUrl + QStringLiteral("/services/rest/");
    const bool post = where == Placement::Body || where == Placement::HeaderPost;
    args.insert(QStringLiteral("method"), method);
    Args all = oauthSigned(args, post ? QStringLiteral("POST") : QStringLiteral("GET"), endpoint, c);
    Headers headers;
    if (where == Placement::HeaderGet || where == Placement::HeaderPost)
        headers.append({"Authorization", takeOAuthHeader(&all)});
    if (post)
        return fftest::post(endpoint, encodeQuery(all), 5000, headers);
    return get(endpoint + QLatin1Char('?') + QString::fromLatin1(encodeQuery(all)), 5000, headers);
}

} // namespace fftest
