#include "Server.h"

#include "AnswerFormat.h"
#include "HttpConnection.h"
#include "PictureFiles.h"
#include "VideoFiles.h"

#include <QTcpSocket>

#include <chrono>

namespace fakeflickr {

namespace {

bool isFormBody(const HttpRequest& request) {
    const QByteArray type = request.headers.value("content-type").toLower();
    return type.isEmpty() || type.startsWith("application/x-www-form-urlencoded");
}

HttpResponse textResponse(int status, const QByteArray& body, const QByteArray& type = "text/plain; charset=utf-8") {
    HttpResponse r;
    r.status = status;
    r.contentType = type;
    r.body = body;
    return r;
}

// Flickr's front end answers a refused or failed request with a small HTML page.
HttpResponse statusPage(int status) {
    return textResponse(status, "<html><body><h1>" + QByteArray::number(status) + ' ' + reasonPhrase(status)
                                    + "</h1></body></html>\n",
                        "text/html; charset=utf-8");
}

void addRetryAfter(HttpResponse& response, int seconds) {
    if (seconds >= 0)
        response.headers.append({"Retry-After", QByteArray::number(seconds)});
}

// Cuts an answer so that no XML or JSON parser accepts it.
QByteArray malformed(const QByteArray& body) {
    return body.left(body.size() * 2 / 3) + "<broken attr=\"\n";
}

// The start of an answer that then goes on for ever: a picture's first
// bytes, or an API answer up to its first list.
HttpResponse endlessStart(const QByteArray& body) {
    HttpResponse r;
    if (body.startsWith("\xff\xd8")) {
        r.contentType = "image/jpeg";
        r.body = body.left(64);
    } else {
        r.body = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<rsp stat=\"ok\">\n<photos page=\"1\" pages=\"1\">\n";
    }
    return r;
}

} // namespace

Server::Server(Options options, QObject* parent)
    : QObject(parent),
      m_options(std::move(options)),
      m_nsid(QStringLiteral("%1@N0%2").arg(10'000'000 + m_options.seed % 90'000'000).arg(1 + m_options.seed % 8)),
      m_library(Photostream(m_options.photos, m_options.seed, m_options.sets)),
      m_rest(m_library, m_options, m_nsid),
      m_budget(m_options.callsPerHour, m_options.burst) {
    for (const QString& fault : m_options.faults)
        m_faults.add(fault);
    connect(&m_tcp, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_tcp.nextPendingConnection()) {
            auto* connection = new HttpConnection(socket, this);
            connect(connection, &HttpConnection::requestReady, this, &Server::handle);
        }
    });
}

Server::~Server() = default;

bool Server::listen(quint16 port) {
    if (!m_tcp.listen(QHostAddress::LocalHost, port))
        return false;
    m_rest.setBaseUrl(baseUrl());
    return true;
}

quint16 Server::port() const {
    return m_tcp.serverPort();
}

QString Server::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

bool Server::addFault(const QString& text, QString* error) {
    return m_faults.add(text, error);
}

qint64 Server::nowMs() const {
    if (m_options.clockMs)
        return m_options.clockMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Server::removePhotos(const QList<int>& indexes) {
    for (const int index : indexes)
        m_library.remove(index);
}

void Server::touchPhotos(const QStringList& ids) {
    for (const QString& id : ids)
        if (const auto photo = m_library.photoById(id))
            m_library.storeEdited(*photo);
}

void Server::editPhoto(const QString& id, const std::function<void(Photo&)>& change) {
    if (auto photo = m_library.photoById(id)) {
        change(*photo);
        m_library.storeEdited(*photo);
    }
}

QList<Server::ApiCall> Server::writeCalls() const {
    QList<ApiCall> out;
    for (const ApiCall& call : m_calls)
        if (RestApi::isWriteMethod(call.method))
            out << call;
    return out;
}

void Server::clearLog() {
    m_calls.clear();
    m_fileRequests.clear();
}

void Server::handle(HttpConnection* connection, const HttpRequest& request) {
    const QString path = QString::fromUtf8(QByteArray::fromPercentEncoding(request.path));
    Params params = parseQuery(request.query);
    if (request.method == "POST" && isFormBody(request)) {
        const Params body = parseQuery(request.body);
        for (auto it = body.cbegin(); it != body.cend(); ++it)
            params.insert(it.key(), it.value());
    }
    // OAuth's protocol parameters may also come in the Authorization header.
    const Params header = parseOAuthHeader(request.headers.value("authorization"));
    for (auto it = header.cbegin(); it != header.cend(); ++it)
        params.insert(it.key(), it.value());
    if (request.method != "GET" && request.method != "POST" && request.method != "HEAD") {
        connection->send(textResponse(405, "method not allowed\n"));
        return;
    }
    if (path == QLatin1String("/services/rest/") || path == QLatin1String("/services/rest"))
        return handleRest(connection, request, params);
    if (path == QLatin1String("/services/oauth/request_token"))
        return handleRequestToken(connection, request, params);
    if (path == QLatin1String("/services/oauth/authorize"))
        return handleAuthorize(connection, params);
    if (path == QLatin1String("/services/oauth/access_token"))
        return handleAccessToken(connection, request, params);
    if (path.startsWith(QLatin1String("/services/upload")) || path.startsWith(QLatin1String("/services/replace"))) {
        // Flickr's upload endpoints answer in the REST form; the stand-in takes no uploads.
        const RestAnswer refusal = RestApi::error(3, QStringLiteral("General upload failure: fakeflickr takes no uploads"));
        connection->send(textResponse(200, refusal.body, "text/xml; charset=utf-8"));
        return;
    }
    if (const auto video = parseVideoPlayPath(path, m_library)) {
        // As on Flickr, a video's play address redirects to its file.
        const Photo v = m_library.photo(video->index);
        HttpResponse redirect = textResponse(302, {});
        const QString file = QStringLiteral("%1/%2/%3").arg(baseUrl(), v.server, videoFileName(v, video->kind));
        redirect.headers.append({"Location", file.toUtf8()});
        connection->send(redirect, request.method == "HEAD");
        return;
    }
    if (path.startsWith(QLatin1String("/people/")) || path.startsWith(QLatin1String("/photos/"))) {
        const QByteArray page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>"
                                + m_options.userName.toHtmlEscaped().toUtf8()
                                + " on fakeflickr</title></head><body><h1>"
                                + m_options.userName.toHtmlEscaped().toUtf8() + "</h1></body></html>\n";
        connection->send(textResponse(200, page, "text/html; charset=utf-8"), request.method == "HEAD");
        return;
    }
    if (path.endsWith(QLatin1String(".jpg")) || path.endsWith(QLatin1String(".mp4")))
        return handleFile(connection, request, path.section(QLatin1Char('/'), -1));
    connection->send(textResponse(404, "not found\n"));
}

void Server::handleRest(HttpConnection* connection, const HttpRequest& request, const Params& params) {
    const QString method = params.value(QStringLiteral("method"));
    const Check check = checkRestCall(request, params);
    const auto format = AnswerFormat::of(params);
    HttpResponse response;
    response.contentType = format.value_or(AnswerFormat()).contentType();
    if (check.code != 0 || !format) {
        const QString formatName = params.value(QStringLiteral("format"));
        const RestAnswer refused = check.code != 0 ? RestApi::error(check.code, check.message)
                                                   : RestApi::error(111, QStringLiteral("Format \"%1\" not found").arg(formatName));
        response.body = format.value_or(AnswerFormat()).render(refused.body, method);
        connection->send(response);
        return;
    }
    ApiCall call;
    call.httpMethod = QString::fromLatin1(request.method);
    call.method = method;
    call.timeMs = nowMs();
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        if (!it.key().startsWith(QLatin1String("oauth_")) && it.key() != QLatin1String("api_sig"))
            call.args.insert(it.key(), it.value());
    const auto log = [&](int errorCode, int status) {
        call.errorCode = errorCode;
        call.status = status;
        m_calls << call;
    };

    // Flickr counts calls per key; a refused call costs nothing, nor uses up a fault.
    const QString key = params.value(QStringLiteral("oauth_consumer_key"), params.value(QStringLiteral("api_key")));
    if (const int wait = m_budget.take(key, call.timeMs)) {
        response = statusPage(429);
        if (m_options.sendRetryAfter)
            addRetryAfter(response, wait);
        log(-1, 429);
        connection->send(response);
        return;
    }

    const auto fault = m_faults.takeForCall(method, params);
    if (fault && fault->kind == Fault::Kind::Stall) {
        log(-1, 0);
        connection->stall();
        return;
    }
    if (fault && fault->kind == Fault::Kind::Http) {
        response = statusPage(fault->httpStatus);
        log(-1, fault->httpStatus);
    } else if (fault && fault->kind == Fault::Kind::Error) {
        const RestAnswer injected = RestApi::error(fault->errorCode, flickrErrorMessage(fault->errorCode));
        response.body = format->render(injected.body, method);
        log(fault->errorCode, 200);
    } else {
        const RestAnswer answer =
            m_rest.call(method, params, {call.httpMethod, check.perms, check.userName, check.owner});
        response.body = answer.body;
        if (fault && fault->kind != Fault::Kind::Malformed && answer.errorCode == 0)
            response.body = rewriteAnswer(response.body, *fault);
        response.body = format->render(response.body, method);
        if (fault && fault->kind == Fault::Kind::Malformed)
            response.body = malformed(response.body);
        log(answer.errorCode, 200);
    }
    if (m_rewrite)
        response.body = m_rewrite(method, response.body);
    addRetryAfter(response, fault ? fault->retryAfter : -1);
    if (fault && fault->kind == Fault::Kind::Drop)
        connection->sendTruncated(response);
    else if (fault && fault->kind == Fault::Kind::Endless)
        connection->sendEndless(endlessStart(response.body), "<photo id=\"1\" secret=\"a\" server=\"1\"/>\n");
    else
        connection->send(response, request.method == "HEAD");
}

void Server::handleFile(HttpConnection* connection, const HttpRequest& request, const QString& name) {
    m_fileRequests << name;
    const auto fault = m_faults.takeForFile(name);
    if (fault && fault->kind == Fault::Kind::Stall) {
        connection->stall();
        return;
    }
    HttpResponse response;
    const auto file = parsePictureFileName(name, m_library);
    const auto video = file ? std::nullopt : parseVideoFileName(name, m_library);
    if (fault && fault->kind == Fault::Kind::Http) {
        response = statusPage(fault->httpStatus);
    } else if (!file && !video) {
        response = textResponse(404, "not found\n");
    } else if (m_library.isRemoved(file ? file->index : video->index)) {
        // Flickr's static hosts answer a removed picture's files as gone for good.
        response = statusPage(410);
    } else if (fault && fault->kind == Fault::Kind::Html) {
        response = textResponse(200, "<html><body><p>Please sign in to continue.</p></body></html>",
                                "text/html; charset=utf-8");
    } else if (fault && fault->kind == Fault::Kind::Redirect) {
        response = statusPage(302);
        response.headers.append(qMakePair(QByteArray("Location"), QByteArray("file:///etc/hostname")));
    } else if (fault && fault->kind == Fault::Kind::Empty) {
        response.contentType = video ? "video/mp4" : "image/jpeg";
    } else if (video) {
        response.contentType = "video/mp4";
        response.body = makeMp4(m_library.photo(video->index), video->kind);
    } else {
        response.contentType = "image/jpeg";
        response.body = makeJpeg(m_library.photo(file->index), file->suffix);
    }
    addRetryAfter(response, fault ? fault->retryAfter : -1);
    if (fault && fault->kind == Fault::Kind::Drop && response.status == 200)
        connection->sendTruncated(response);
    else if (fault && fault->kind == Fault::Kind::Endless && response.status == 200)
        connection->sendEndless(endlessStart(response.body), QByteArray(4096, '\0'));
    else
        connection->send(response, request.method == "HEAD");
}

} // namespace fakeflickr
