#pragma once

#include "CallBudget.h"
#include "Faults.h"
#include "Options.h"
#include "Photostream.h"
#include "RestApi.h"
#include "Signature.h"

#include <QHash>
#include <QObject>
#include <QTcpServer>

#include <functional>

#include <memory>
#include <optional>

namespace fakeflickr {

class HttpConnection;
struct HttpRequest;

// The stand-in Flickr service: OAuth endpoints, REST methods, picture files, faults.
// Listens on 127.0.0.1 only.
class Server : public QObject {
    Q_OBJECT
public:
    struct Token {
        QString token;
        QString secret;
    };
    // A REST call that passed the key and signature checks.
    struct ApiCall {
        QString httpMethod;
        QString method;
        Params args;  // without the oauth_* and api_sig parameters
        int errorCode = 0;  // Flickr's error code; -1 when the answer held none
        int status = 200;   // HTTP status of the answer; 0 when none was sent
        qint64 timeMs = 0;  // on the service's clock (Options::clockMs)
    };

    explicit Server(Options options = {}, QObject* parent = nullptr);
    ~Server() override;

    bool listen(quint16 port = 0);
    quint16 port() const;
    QString baseUrl() const;  // http://127.0.0.1:PORT
    QString errorString() const { return m_tcp.errorString(); }

    const Options& options() const { return m_options; }
    QString userNsid() const { return m_nsid; }
    const Photostream& photostream() const { return m_library.stream(); }
    // The picture as the service now holds it, edits included.
    std::optional<Photo> photo(const QString& id) const { return m_library.photoById(id); }

    bool addFault(const QString& text, QString* error = nullptr);
    void clearFaults() { m_faults.clear(); }
    // Changes the body of every API answer before it goes out, as a hostile
    // or broken server would (called with the method and the body).
    using AnswerRewrite = std::function<QByteArray(const QString& method, const QByteArray& body)>;
    void rewriteAnswers(AnswerRewrite rewrite) { m_rewrite = std::move(rewrite); }

    // Removes pictures as their owner would on Flickr (indexes into the generated
    // stream, 0 the newest): lists and counts skip them, their methods answer
    // "Photo not found" and their files HTTP 410.
    void removePhotos(const QList<int>& indexes);
    // Edits pictures as their owner would: each one's lastupdate moves on.
    void touchPhotos(const QStringList& ids);
    // Changes a picture as its owner would on Flickr's own pages.
    void editPhoto(const QString& id, const std::function<void(Photo&)>& change);
    // The service's clock, in milliseconds.
    qint64 nowMs() const;

    // An access token as if the user had approved in the browser ("read", "write" or "delete").
    // Another user name makes the token another account's (it sees the same photostream).
    Token issueAccessToken(const QString& perms = QStringLiteral("write"), const QString& userName = {});

    QList<ApiCall> calls() const { return m_calls; }
    QList<ApiCall> writeCalls() const;
    QStringList fileRequests() const { return m_fileRequests; }
    void clearLog();

private:
    struct RequestToken {
        QString secret;
        QString callback;
        QString verifier;
        QString perms;
    };
    struct Check {
        int code = 0;  // Flickr error code, 0 when accepted
        QString message;
        QString perms;
        QString userName;
        bool owner = false;  // OAuth-signed with the stream owner's access token
    };

    void handle(HttpConnection* connection, const HttpRequest& request);
    void handleRest(HttpConnection* connection, const HttpRequest& request, const Params& params);
    void handleFile(HttpConnection* connection, const HttpRequest& request, const QString& name);
    void handleRequestToken(HttpConnection* connection, const HttpRequest& request, const Params& params);
    void handleAuthorize(HttpConnection* connection, const Params& params);
    void showVerifier(HttpConnection* connection, const QString& verifier);
    void handleAccessToken(HttpConnection* connection, const HttpRequest& request, const Params& params);

    Check checkRestCall(const HttpRequest& request, const Params& params) const;
    bool signatureMatches(const HttpRequest& request, const Params& params, const QString& tokenSecret) const;
    QString oauthProblem(const HttpRequest& request, const Params& params, const QString& tokenSecret) const;
    QString newToken() const;

    Options m_options;
    QString m_nsid;
    PhotoLibrary m_library;
    RestApi m_rest;
    FaultList m_faults;
    CallBudget m_budget;
    QTcpServer m_tcp;
    QHash<QString, RequestToken> m_requestTokens;
    struct AccessToken {
        QString secret;
        QString perms;
        QString userName;
    };
    QHash<QString, AccessToken> m_accessTokens;
    QList<ApiCall> m_calls;
    QStringList m_fileRequests;
    AnswerRewrite m_rewrite;
};

} // namespace fakeflickr
