#include "ServiceClient.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QEventLoop>
#include <QMessageAuthenticationCode>
#include <QNetworkAccessManager>
#include <QTimer>
#include <QUuid>
#include <QXmlStreamReader>

namespace fftest {

QString escape(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString hmacSha1Base64(const QByteArray& key, const QByteArray& data) {
    return QString::fromLatin1(QMessageAuthenticationCode::hash(data, key, QCryptographicHash::Sha1).toBase64());
}

Args oauthSigned(const Args& args, const QString& httpMethod, const QString& url, const Credentials& c,
                 bool escapeTilde) {
    const auto escape = [escapeTilde](const QString& text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArray(), escapeTilde ? "~" : ""));
    };
    Args out = args;
    out.insert("oauth_nonce", QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toUpper());
    out.insert("oauth_timestamp", QString::number(QDateTime::currentSecsSinceEpoch()));
    out.insert("oauth_version", "1.0");
    out.insert("oauth_signature_method", "HMAC-SHA1");
    out.insert("oauth_consumer_key", c.apiKey);
    if (!c.token.isEmpty() && !args.contains("oauth_token"))
        out.insert("oauth_token", c.token);
    QStringList pairs;
    for (auto it = out.cbegin(); it != out.cend(); ++it)
        pairs << it.key() + '=' + escape(it.value());
    const QString base = httpMethod + '&' + escape(url) + '&' + escape(pairs.join('&'));
    out.insert("oauth_signature", hmacSha1Base64((c.sharedSecret + '&' + c.tokenSecret).toUtf8(), base.toUtf8()));
    return out;
}

Args legacySigned(const Args& args, const Credentials& c) {
    Args out = args;
    out.insert("api_key", c.apiKey);
    if (!c.token.isEmpty())
        out.insert("auth_token", c.token);
    QString text = c.sharedSecret;
    for (auto it = out.cbegin(); it != out.cend(); ++it)
        text += it.key() + it.value();
    out.insert("api_sig", QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex()));
    return out;
}

QByteArray takeOAuthHeader(Args* args, const QString& realm) {
    QStringList pairs;
    if (!realm.isNull())
        pairs << QStringLiteral("realm=\"%1\"").arg(realm);
    for (auto it = args->begin(); it != args->end();) {
        if (!it.key().startsWith("oauth_")) {
            ++it;
            continue;
        }
        pairs << it.key() + "=\"" + escape(it.value()) + '"';
        it = args->erase(it);
    }
    return "OAuth " + pairs.join(", ").toLatin1();
}

QByteArray encodeQuery(const Args& args) {
    QStringList pairs;
    for (auto it = args.cbegin(); it != args.cend(); ++it)
        pairs << it.key() + '=' + escape(it.value());
    return pairs.join('&').toLatin1();
}

static Reply run(QNetworkReply* reply, int timeoutMs) {
    QEventLoop loop;
    Reply out;
    QTimer::singleShot(timeoutMs, &loop, [&] {
        out.timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
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
    return run(manager.get(request(url, headers)), timeoutMs);
}

Reply post(const QString& url, const QByteArray& form, int timeoutMs, const Headers& headers) {
    QNetworkAccessManager manager;
    QNetworkRequest r = request(url, headers);
    r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    return run(manager.post(r, form), timeoutMs);
}

Reply send(const QString& url, Args all, Placement where, int timeoutMs) {
    Headers headers;
    if (where == Placement::HeaderGet || where == Placement::HeaderPost)
        headers.append({"Authorization", takeOAuthHeader(&all, "http://127.0.0.1/, a realm")});
    if (isPost(where))
        return post(url, encodeQuery(all), timeoutMs, headers);
    return get(url + '?' + QString::fromLatin1(encodeQuery(all)), timeoutMs, headers);
}

Reply callRest(const QString& baseUrl, const QString& method, Args args, const Credentials& c, Placement where,
               int timeoutMs) {
    const QString endpoint = baseUrl + "/services/rest/";
    args.insert("method", method);
    return send(endpoint, oauthSigned(args, isPost(where) ? "POST" : "GET", endpoint, c), where, timeoutMs);
}

static Element readElement(QXmlStreamReader& reader) {
    Element e{reader.name().toString(), {}, {}, {}};
    for (const auto& a : reader.attributes())
        e.attributes.insert(a.name().toString(), a.value().toString());
    while (reader.readNext() != QXmlStreamReader::EndElement && !reader.atEnd()) {
        if (reader.isStartElement())
            e.children << readElement(reader);
        else if (reader.isCharacters())
            e.text += reader.text();
    }
    return e;
}

std::optional<Element> parseXml(const QByteArray& body) {
    QXmlStreamReader reader(body);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("rsp"))
        return std::nullopt;
    Element rsp = readElement(reader);
    return reader.hasError() ? std::nullopt : std::optional<Element>(rsp);
}

QStringList xmlValues(const Element& rsp, const QString& path) {
    QList<const Element*> at = {&rsp};
    const QStringList segments = path.split('.');
    for (int s = 0; s < segments.size(); ++s) {
        const QString name = QString(segments[s]).remove("[]");
        const bool last = s + 1 == segments.size();
        if (last && name == "_content") {
            QStringList out;
            for (const Element* e : at)
                out << e->text;
            return out;
        }
        QList<const Element*> next;
        QStringList attributes;
        for (const Element* e : at) {
            if (last && e->attributes.contains(name))
                attributes << e->attributes.value(name);
            QList<const Element*> named;
            for (const Element& c : e->children)
                if (c.name == name)
                    named << &c;
            if (named.size() > 1 && !segments[s].endsWith("[]"))
                return {"!shape"};
            next << named;
        }
        if (last && !attributes.isEmpty())
            return attributes;
        at = next;
    }
    return QStringList(at.size(), "{}");
}

QStringList values(const Reply& reply, const QString& path) {
    const auto rsp = parseXml(reply.body);
    return rsp ? xmlValues(*rsp, path) : QStringList{"!parse"};
}

} // namespace fftest
