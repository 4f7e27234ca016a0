#pragma once

// Talks to the stand-in over HTTP as a Flickr client would, with a signer and an XML reader
// of its own (written from Flickr's rules, not from the service), and a fixture that starts it.

#include "QtGTest.h"
#include "Server.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUuid>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace fftest {

using Args = QMap<QString, QString>;
using Headers = QList<std::pair<QByteArray, QByteArray>>;
using L = QStringList;

struct Reply {
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body, location, contentType;
    std::optional<QByteArray> retryAfter;  // the Retry-After header, when sent
    qint64 contentLength = -1;
    bool timedOut = false;
};

struct Credentials { QString apiKey, sharedSecret, token, tokenSecret; };  // an empty token: none

// RFC 5849 escaping: only letters, digits, "-", ".", "_" and "~" stay; `tilde` escapes "~" too, as no RFC 5849 client does.
inline QString escape(const QString& text, bool tilde = false) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArray(), tilde ? "~" : ""));
}

inline QByteArray encodeQuery(const Args& args, bool tilde = false) {
    QStringList pairs;
    for (auto it = args.cbegin(); it != args.cend(); ++it)
        pairs << it.key() + '=' + escape(it.value(), tilde);
    return pairs.join('&').toLatin1();
}

inline Args oauthSigned(const Args& args, const QString& httpMethod, const QString& url, const Credentials& c,
                        bool escapeTilde = false) {
    Args out = args;
    out.insert(Args{{"oauth_nonce", QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toUpper()},
                    {"oauth_timestamp", QString::number(QDateTime::currentSecsSinceEpoch())}, {"oauth_version", "1.0"},
                    {"oauth_signature_method", "HMAC-SHA1"}, {"oauth_consumer_key", c.apiKey}});
    if (!c.token.isEmpty() && !args.contains("oauth_token"))
        out.insert("oauth_token", c.token);
    const QString base = httpMethod + '&' + escape(url) + '&' + escape(encodeQuery(out, escapeTilde));
    const QByteArray key = (c.sharedSecret + '&' + c.tokenSecret).toUtf8();
    out.insert("oauth_signature", QMessageAuthenticationCode::hash(base.toUtf8(), key, QCryptographicHash::Sha1).toBase64());
    return out;
}

inline Args legacySigned(const Args& args, const Credentials& c) {
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

inline QByteArray takeOAuthHeader(Args* args, const QString& realm = {}) {
    QStringList pairs;
    if (!realm.isNull())
        pairs << QStringLiteral("realm=\"%1\"").arg(realm);
    for (const QString& key : args->keys())
        if (key.startsWith("oauth_"))
            pairs << key + "=\"" + escape(args->take(key)) + '"';
    return "OAuth " + pairs.join(", ").toLatin1();
}

// A GET, or with a form a POST, with redirects left to the caller.
inline Reply fetch(const QString& url, const std::optional<QByteArray>& form, int timeoutMs, const Headers& headers) {
    QNetworkRequest request{QUrl::fromEncoded(url.toUtf8())};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    if (form)
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(form ? manager.post(request, *form) : manager.get(request));
    QEventLoop loop;
    Reply out;
    QTimer::singleShot(timeoutMs, &loop, [&] { out.timedOut = true; reply->abort(); });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    out = {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->error(), reply->readAll(),
           reply->rawHeader("Location"), reply->rawHeader("Content-Type"),
           reply->hasRawHeader("Retry-After") ? std::optional(reply->rawHeader("Retry-After")) : std::nullopt,
           length.isValid() ? length.toLongLong() : -1, out.timedOut};
    return out;
}
inline Reply get(const QString& url, int timeoutMs = 5000, const Headers& headers = {}) { return fetch(url, {}, timeoutMs, headers); }

// Where a call carries its signed parameters: all in the query (GET) or a form body (POST), or the
// oauth_* ones in an "Authorization: OAuth" header (with a realm) and the rest in the query or form.
enum class Placement { Query, Body, HeaderGet, HeaderPost };
inline bool isPost(Placement p) { return p == Placement::Body || p == Placement::HeaderPost; }

inline Reply send(const QString& url, Args all, Placement where, int timeoutMs = 5000) {
    Headers headers;
    if (where == Placement::HeaderGet || where == Placement::HeaderPost)
        headers.append({"Authorization", takeOAuthHeader(&all, "http://127.0.0.1/, a realm")});
    return isPost(where) ? fetch(url, encodeQuery(all), timeoutMs, headers)
                         : get(url + '?' + QString::fromLatin1(encodeQuery(all)), timeoutMs, headers);
}

// A signed REST call on the service at baseUrl.
inline Reply callRest(const QString& baseUrl, const QString& method, Args args, const Credentials& c,
                      Placement where = Placement::Query, int timeoutMs = 5000) {
    const QString endpoint = baseUrl + "/services/rest/";
    args.insert("method", method);
    return send(endpoint, oauthSigned(args, isPost(where) ? "POST" : "GET", endpoint, c), where, timeoutMs);
}

// Values at a path such as "photos.photo[].id" of Flickr's JSON form: a segment ending in "[]" is a list
// (an array, even of one item or none), others are objects that may be missing; the last names a field
// ("_content" for text); a broken shape gives "!shape". `fromXml`: XML read by toJson, where one item is no array.
inline QStringList jsonValues(const QJsonObject& root, const QString& path, bool fromXml = false) {
    QList<QJsonValue> at = {root};
    for (const QString& segment : path.split('.')) {
        const bool list = segment.endsWith("[]");
        QList<QJsonValue> next;
        for (const QJsonValue& v : at) {
            QJsonValue m = v.toObject().value(QString(segment).remove("[]"));
            if (fromXml && list && !m.isArray())
                m = m.isUndefined() ? QJsonArray() : QJsonArray{m};
            if (m.isUndefined() && !list)
                continue;
            if (list != m.isArray())
                return {"!shape"};
            for (const QJsonValue& item : list ? m.toArray() : QJsonArray{m})
                next << item;
        }
        at = next;
    }
    QStringList out;
    for (const QJsonValue& v : at)
        out << (v.isString() ? v.toString() : v.isDouble() ? QString::number(qint64(v.toDouble())) : QString("{}"));
    return out;
}

// An XML element in the shape of Flickr's JSON form: attributes as fields, child elements
// as objects (repeated ones as an array), the text of an element without children as "_content".
inline QJsonObject toJson(QXmlStreamReader& reader) {
    QJsonObject o;
    for (const auto& a : reader.attributes())
        o.insert(a.name().toString(), a.value().toString());
    QString text;
    bool children = false;
    while (reader.readNext() != QXmlStreamReader::EndElement && !reader.atEnd()) {
        if (reader.isStartElement()) {
            const QString name = reader.name().toString();
            const QJsonValue child = toJson(reader), had = o.value(name);
            o.insert(name, had.isUndefined() ? child : QJsonArray(had.isArray() ? had.toArray() : QJsonArray{had}) + child);
            children = true;
        } else if (reader.isCharacters()) {
            text += reader.text();
        }
    }
    if (!children)
        o.insert("_content", text);
    return o;
}

// The "rsp" element of an answer; nothing when the body is no such XML.
inline std::optional<QJsonObject> parseXml(const QByteArray& body) {
    QXmlStreamReader reader(body);
    if (!reader.readNextStartElement() || reader.name() != QLatin1String("rsp"))
        return std::nullopt;
    const QJsonObject rsp = toJson(reader);
    return reader.hasError() ? std::nullopt : std::optional(rsp);
}
inline QStringList values(const Reply& reply, const QString& path) {
    const auto rsp = parseXml(reply.body);
    return rsp ? jsonValues(*rsp, path, true) : QStringList{"!parse"};
}
inline QString value(const Reply& reply, const QString& path) { return values(reply, path).value(0); }

// A started service, the owner's write token and another account's read token.
class ServiceTest : public ::testing::Test {
protected:
    // A budget of callsPerHour on the clock's milliseconds, when given.
    void start(int photos, quint64 seed, double callsPerHour = 0, int burst = 4, std::function<qint64()> clockMs = {}) {
        fakeflickr::Options options;
        std::tie(options.photos, options.seed, options.callsPerHour, options.burst) = std::tuple(photos, seed, callsPerHour, burst);
        options.clockMs = std::move(clockMs);
        server = std::make_unique<fakeflickr::Server>(options);
        ASSERT_TRUE(server->listen());
        const auto token = server->issueAccessToken("write"), other = server->issueAccessToken("read", "someone_else");
        owner = {options.apiKey, options.sharedSecret, token.token, token.secret};
        stranger = {options.apiKey, options.sharedSecret, other.token, other.secret};
        consumer = {options.apiKey, options.sharedSecret, {}, {}};
        rest = server->baseUrl() + "/services/rest/";
    }
    Reply call(const QString& method, const Args& args = {}, Placement where = Placement::Query, int timeoutMs = 5000) {
        return callRest(server->baseUrl(), method, args, owner, where, timeoutMs);
    }
    const fakeflickr::Photostream& stream() const { return server->photostream(); }
    QString id(int index) const { return stream().photoAt(index).idText(); }
    int firstIndex(const std::function<bool(const fakeflickr::Photo&)>& wanted) const {
        for (int i = 0; i < stream().size(); ++i)
            if (wanted(stream().photoAt(i)))
                return i;
        return -1;
    }
    QString fileUrl(int index, char suffix) const {
        return server->baseUrl() + "/" + stream().photoAt(index).server + "/" + stream().photoAt(index).fileName(suffix);
    }

    std::unique_ptr<fakeflickr::Server> server;
    Credentials owner, stranger, consumer;
    QString rest;
};

} // namespace fftest
