#pragma once

// Talks to the stand-in service over HTTP the way a Flickr client would, with an
// OAuth / legacy signer of its own (written from Flickr's rules, not from the service).

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QNetworkReply>
#include <QString>

#include <optional>
#include <utility>

namespace fftest {

using Args = QMap<QString, QString>;
using Headers = QList<std::pair<QByteArray, QByteArray>>;

struct Reply {
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QByteArray location;
    QByteArray contentType;
    std::optional<QByteArray> retryAfter;  // the Retry-After header, when sent
    qint64 contentLength = -1;
    bool timedOut = false;
};

// RFC 5849 escaping: only letters, digits, "-", ".", "_" and "~" stay.
QString escape(const QString& text);
QString hmacSha1Base64(const QByteArray& key, const QByteArray& data);

struct Credentials {
    QString apiKey;
    QString sharedSecret;
    QString token;        // empty: none
    QString tokenSecret;
};

// Adds the OAuth parameters and "oauth_signature" for the given HTTP method and URL.
// `escapeTilde` signs "~" as "%7E", as no RFC 5849 client does.
Args oauthSigned(const Args& args, const QString& httpMethod, const QString& baseUrl, const Credentials& c,
                 bool escapeTilde = false);
Args legacySigned(const Args& args, const Credentials& c);
QByteArray encodeQuery(const Args& args);
// Moves the oauth_* parameters of signed arguments into an "Authorization: OAuth" value.
QByteArray takeOAuthHeader(Args* args, const QString& realm = {});

Reply get(const QString& url, int timeoutMs = 5000, const Headers& headers = {});
Reply post(const QString& url, const QByteArray& form, int timeoutMs = 5000, const Headers& headers = {});

// A signed REST call on the service at baseUrl ("http://127.0.0.1:PORT").
Reply callRest(const QString& baseUrl, const QString& method, Args args, const Credentials& c,
               const QString& httpMethod = QStringLiteral("GET"), int timeoutMs = 5000);

// Where a call carries its signed parameters: all in the query (GET), all in a form
// body (POST), or the oauth_* ones in an "Authorization: OAuth" header and the rest
// in the query (GET) or in a form body (POST).
enum class Placement { Query, Body, HeaderGet, HeaderPost };
Reply callRestPlaced(const QString& baseUrl, const QString& method, Args args, const Credentials& c, Placement where);

} // namespace fftest
