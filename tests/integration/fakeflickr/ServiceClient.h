#pragma once

// Talks to the stand-in service over HTTP the way a Flickr client would, with an
// OAuth / legacy signer and an XML reader of its own (written from Flickr's rules,
// not from the service), and a fixture that starts the service.

#include "QtGTest.h"
#include "Server.h"

#include <QNetworkReply>

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

// RFC 5849 escaping: only letters, digits, "-", ".", "_" and "~" stay.
QString escape(const QString& text);
QString hmacSha1Base64(const QByteArray& key, const QByteArray& data);

struct Credentials {
    QString apiKey, sharedSecret;
    QString token, tokenSecret;  // empty: none
};

// Adds the OAuth parameters and "oauth_signature" for the given HTTP method and URL.
// `escapeTilde` signs "~" as "%7E", as no RFC 5849 client does.
Args oauthSigned(const Args& args, const QString& httpMethod, const QString& url, const Credentials& c,
                 bool escapeTilde = false);
Args legacySigned(const Args& args, const Credentials& c);
QByteArray encodeQuery(const Args& args);
// Moves the oauth_* parameters of signed arguments into an "Authorization: OAuth" value.
QByteArray takeOAuthHeader(Args* args, const QString& realm = {});

Reply get(const QString& url, int timeoutMs = 5000, const Headers& headers = {});
Reply post(const QString& url, const QByteArray& form, int timeoutMs = 5000, const Headers& headers = {});

// Where a call carries its signed parameters: all in the query (GET), all in a form
// body (POST), or the oauth_* ones in an "Authorization: OAuth" header (with a realm)
// and the rest in the query (GET) or in a form body (POST).
enum class Placement { Query, Body, HeaderGet, HeaderPost };
inline bool isPost(Placement p) { return p == Placement::Body || p == Placement::HeaderPost; }
// Sends arguments signed already.
Reply send(const QString& url, Args signedArgs, Placement where, int timeoutMs = 5000);
// A signed REST call on the service at baseUrl ("http://127.0.0.1:PORT").
Reply callRest(const QString& baseUrl, const QString& method, Args args, const Credentials& c,
               Placement where = Placement::Query, int timeoutMs = 5000);

// An XML element as the tests read it.
struct Element {
    QString name, text;
    QMap<QString, QString> attributes;
    QList<Element> children;
};
// The "rsp" element of an answer.
std::optional<Element> parseXml(const QByteArray& body);
// Values at a path such as "photos.photo[].id": a segment ending in "[]" is a list of
// elements (a JSON array, even of one item or none); the last names an attribute, or
// "_content" for text. A shape that breaks the rules gives "!shape".
QStringList xmlValues(const Element& rsp, const QString& path);
// The same of an answer's body; "!parse" when it is no "rsp" document.
QStringList values(const Reply& reply, const QString& path);
inline QString value(const Reply& reply, const QString& path) { return values(reply, path).value(0); }

// A started service, the owner's write token and another account's read token.
class ServiceTest : public ::testing::Test {
protected:
    void start(fakeflickr::Options options) {
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
        const fakeflickr::Photo p = stream().photoAt(index);
        return server->baseUrl() + "/" + p.server + "/" + p.fileName(suffix);
    }

    std::unique_ptr<fakeflickr::Server> server;
    Credentials owner, stranger, consumer;
    QString rest;
};

} // namespace fftest
