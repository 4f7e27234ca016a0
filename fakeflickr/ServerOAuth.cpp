// The OAuth side of the service: the three token endpoints and the checks of every signed call.
#include "Server.h"

#include "HttpConnection.h"

#include <QRandomGenerator>
#include <QUrl>

namespace fakeflickr {

namespace {

HttpResponse oauthAnswer(int status, const QString& text) {
    HttpResponse r;
    r.status = status;
    r.contentType = "text/plain; charset=utf-8";
    r.body = text.toUtf8();
    return r;
}

QString randomHex(int digits) {
    QString out;
    while (out.size() < digits)
        out += QString::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, QLatin1Char('0'));
    return out.left(digits);
}

QString encoded(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

QString Server::newToken() const {
    // Flickr's shape: 17 digits, a dash, 16 hex digits.
    return QStringLiteral("72157%1-%2")
        .arg(QRandomGenerator::global()->bounded(Q_INT64_C(1'000'000'000'000)), 12, 10, QLatin1Char('0'))
        .arg(randomHex(16));
}

Server::Token Server::issueAccessToken(const QString& perms, const QString& userName) {
    const Token token{newToken(), randomHex(16)};
    m_accessTokens.insert(token.token, {token.secret, perms, userName.isEmpty() ? m_options.userName : userName});
    return token;
}

bool Server::signatureMatches(const HttpRequest& request, const Params& params, const QString& tokenSecret) const {
    // The client signs the base URL exactly as it was configured; try the spellings of this host.
    const QString path = QString::fromUtf8(request.path);
    QStringList bases = {baseUrl() + path, QStringLiteral("http://localhost:%1").arg(port()) + path};
    const QByteArray host = request.headers.value("host");
    if (!host.isEmpty())
        bases.prepend(QStringLiteral("http://") + QString::fromUtf8(host) + path);
    const QString given = params.value(QStringLiteral("oauth_signature"));
    const QString method = QString::fromLatin1(request.method);
    for (const QString& base : bases)
        if (oauthSignature(method, base, params, m_options.sharedSecret, tokenSecret) == given)
            return true;
    return false;
}

Server::Check Server::checkRestCall(const HttpRequest& request, const Params& params) const {
    const auto reject = [](int code) { return Check{code, flickrErrorMessage(code), {}, {}, false}; };
    const bool oauth = params.contains(QStringLiteral("oauth_consumer_key")) || params.contains(QStringLiteral("oauth_signature"));
    if (oauth) {
        if (params.value(QStringLiteral("oauth_consumer_key")) != m_options.apiKey
            || (params.contains(QStringLiteral("api_key")) && params.value(QStringLiteral("api_key")) != m_options.apiKey))
            return reject(100);
        if (!params.contains(QStringLiteral("oauth_signature")))
            return reject(97);
        QString tokenSecret, perms, user;
        if (params.contains(QStringLiteral("oauth_token"))) {
            const auto it = m_accessTokens.constFind(params.value(QStringLiteral("oauth_token")));
            if (it == m_accessTokens.cend())
                return reject(98);
            tokenSecret = it->secret;
            perms = it->perms;
            user = it->userName;
        }
        if (params.value(QStringLiteral("oauth_signature_method")) != QLatin1String("HMAC-SHA1")
            || !signatureMatches(request, params, tokenSecret))
            return reject(96);
        return {0, {}, perms, user, !perms.isEmpty() && user == m_options.userName};
    }
    if (params.value(QStringLiteral("api_key")) != m_options.apiKey)
        return reject(100);
    // Unsigned or signed the legacy way: public data only, as Flickr no longer honours those signatures.
    if (!params.contains(QStringLiteral("api_sig")))
        return {0, {}, {}, {}, false};
    QString perms, user;
    if (params.contains(QStringLiteral("auth_token"))) {
        const auto it = m_accessTokens.constFind(params.value(QStringLiteral("auth_token")));
        if (it == m_accessTokens.cend())
            return reject(98);
        perms = it->perms;
        user = it->userName;
    }
    if (legacySignature(params, m_options.sharedSecret) != params.value(QStringLiteral("api_sig")))
        return reject(96);
    return {0, {}, perms, user, false};
}

// The "oauth_problem" Flickr would name for a token request, or nothing when it is sound.
QString Server::oauthProblem(const HttpRequest& request, const Params& params, const QString& tokenSecret) const {
    for (const char* name : {"oauth_consumer_key", "oauth_signature", "oauth_signature_method", "oauth_nonce", "oauth_timestamp"})
        if (!params.contains(QLatin1String(name)))
            return QStringLiteral("parameter_absent&oauth_parameters_absent=") + QLatin1String(name);
    if (params.value(QStringLiteral("oauth_consumer_key")) != m_options.apiKey)
        return QStringLiteral("consumer_key_unknown");
    if (params.value(QStringLiteral("oauth_signature_method")) != QLatin1String("HMAC-SHA1"))
        return QStringLiteral("signature_method_rejected");
    if (!signatureMatches(request, params, tokenSecret))
        return QStringLiteral("signature_invalid");
    return {};
}

void Server::handleRequestToken(HttpConnection* connection, const HttpRequest& request, const Params& params) {
    QString problem = oauthProblem(request, params, {});
    if (problem.isEmpty() && params.value(QStringLiteral("oauth_callback")).isEmpty())
        problem = QStringLiteral("parameter_absent&oauth_parameters_absent=oauth_callback");
    if (!problem.isEmpty()) {
        connection->send(oauthAnswer(401, QStringLiteral("oauth_problem=") + problem));
        return;
    }
    const QString token = newToken();
    const QString secret = randomHex(16);
    m_requestTokens.insert(token, {secret, params.value(QStringLiteral("oauth_callback")), {}, {}});
    connection->send(oauthAnswer(200, QStringLiteral("oauth_callback_confirmed=true&oauth_token=%1&oauth_token_secret=%2")
                                          .arg(token, secret)));
}

void Server::handleAuthorize(HttpConnection* connection, const Params& params) {
    const auto it = m_requestTokens.find(params.value(QStringLiteral("oauth_token")));
    if (it == m_requestTokens.end()) {
        connection->send(oauthAnswer(400, QStringLiteral("Oops! The request token is unknown or already used.\n")));
        return;
    }
    const QString perms = params.value(QStringLiteral("perms"), QStringLiteral("read"));
    if (perms != QLatin1String("read") && perms != QLatin1String("write") && perms != QLatin1String("delete")) {
        connection->send(oauthAnswer(400, QStringLiteral("Oops! Unknown permission \"%1\".\n").arg(perms)));
        return;
    }
    // The stand-in user approves at once.
    it->perms = perms;
    if (it->callback == QLatin1String("oob")) {
        // Without a callback Flickr shows a code of nine digits for the user to type.
        const auto group = [] { return QStringLiteral("%1").arg(QRandomGenerator::global()->bounded(1000), 3, 10, QLatin1Char('0')); };
        it->verifier = group() + QLatin1Char('-') + group() + QLatin1Char('-') + group();
        showVerifier(connection, it->verifier);
        return;
    }
    it->verifier = randomHex(16);
    const QString query = QStringLiteral("oauth_token=%1&oauth_verifier=%2").arg(encoded(it.key()), encoded(it->verifier));
    HttpResponse redirect = oauthAnswer(302, QString());
    const QChar joiner = it->callback.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?');
    redirect.headers.append({"Location", (it->callback + joiner + query).toUtf8()});
    connection->send(redirect);
}

void Server::showVerifier(HttpConnection* connection, const QString& verifier) {
    HttpResponse page = oauthAnswer(200, QStringLiteral(
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>fakeflickr: your code</title></head>"
        "<body><h1>You have authorized Tessaly</h1>"
        "<p>Type this code into Tessaly to finish: <span id=\"verifier\">%1</span></p></body></html>\n").arg(verifier));
    page.contentType = "text/html; charset=utf-8";
    connection->send(page);
}

void Server::handleAccessToken(HttpConnection* connection, const HttpRequest& request, const Params& params) {
    const auto it = m_requestTokens.constFind(params.value(QStringLiteral("oauth_token")));
    if (it == m_requestTokens.cend()) {
        connection->send(oauthAnswer(401, QStringLiteral("oauth_problem=token_rejected")));
        return;
    }
    QString problem = oauthProblem(request, params, it->secret);
    if (problem.isEmpty() && (it->verifier.isEmpty() || params.value(QStringLiteral("oauth_verifier")) != it->verifier))
        problem = QStringLiteral("verifier_invalid");
    if (!problem.isEmpty()) {
        connection->send(oauthAnswer(401, QStringLiteral("oauth_problem=") + problem));
        return;
    }
    const QString perms = it->perms;
    m_requestTokens.erase(it);
    const Token access = issueAccessToken(perms);
    connection->send(oauthAnswer(
        200, QStringLiteral("fullname=%1&oauth_token=%2&oauth_token_secret=%3&user_nsid=%4&username=%5")
                 .arg(encoded(m_options.fullName), encoded(access.token), encoded(access.secret),
                      encoded(m_nsid), encoded(m_options.userName))));
}

} // namespace fakeflickr
