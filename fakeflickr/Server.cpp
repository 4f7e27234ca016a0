#include "Server.h"

#include "HttpConnection.h"
#include "PictureFiles.h"

#include <QRandomGenerator>
#include <QTcpSocket>

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

// Cuts an answer so that no XML parser accepts it.
QByteArray malformed(const QByteArray& body) {
    return body.left(body.size() * 2 / 3) + "<broken attr=\"\n";
}

} // namespace

Server::Server(Options options, QObject* parent)
    : QObject(parent),
      m_options(std::move(options)),
      m_nsid(QStringLiteral("%1@N0%2").arg(10'000'000 + m_options.seed % 90'000'000).arg(1 + m_options.seed % 8)),
      m_library(Photostream(m_options.photos, m_options.seed, m_options.sets)),
      m_rest(m_library, m_options, m_nsid) {
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
    if (path.startsWith(QLatin1String("/people/")) || path.startsWith(QLatin1String("/photos/"))) {
        const QByteArray page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>"
                                + m_options.userName.toHtmlEscaped().toUtf8()
                                + " on fakeflickr</title></head><body><h1>"
                                + m_options.userName.toHtmlEscaped().toUtf8() + "</h1></body></html>\n";
        connection->send(textResponse(200, page, "text/html; charset=utf-8"), request.method == "HEAD");
        return;
    }
    if (path.endsWith(QLatin1String(".jpg")))
        return handleFile(connection, request, path.section(QLatin1Char('/'), -1));
    connection->send(textResponse(404, "not found\n"));
}

void Server::handleRest(HttpConnection* connection, const HttpRequest& request, const Params& params) {
    const QString method = params.value(QStringLiteral("method"));
    const Check check = checkRestCall(request, params);
    HttpResponse response;
    if (check.code != 0) {
        response.body = RestApi::error(check.code, check.message).body;
        connection->send(response);
        return;
    }
    ApiCall call{QString::fromLatin1(request.method), method, {}, 0};
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        if (!it.key().startsWith(QLatin1String("oauth_")) && it.key() != QLatin1String("api_sig"))
            call.args.insert(it.key(), it.value());

    const auto fault = m_faults.takeForCall(method, params);
    if (fault && fault->kind == Fault::Kind::Stall) {
        call.errorCode = -1;
        m_calls << call;
        connection->stall();
        return;
    }
    if (fault && (fault->kind == Fault::Kind::Http500 || fault->kind == Fault::Kind::Error)) {
        if (fault->kind == Fault::Kind::Http500) {
            call.errorCode = -1;
            response = textResponse(500, "<html><body><h1>500 Internal Server Error</h1></body></html>\n",
                                    "text/html; charset=utf-8");
        } else {
            call.errorCode = fault->errorCode;
            response.body = RestApi::error(fault->errorCode, flickrErrorMessage(fault->errorCode)).body;
        }
        m_calls << call;
        connection->send(response);
        return;
    }

    const RestAnswer answer = m_rest.call(method, params, {call.httpMethod, check.perms, check.userName});
    call.errorCode = answer.errorCode;
    m_calls << call;
    response.body = answer.body;
    if (fault && fault->kind == Fault::Kind::Drop)
        connection->sendTruncated(response);
    else if (fault && fault->kind == Fault::Kind::Malformed) {
        response.body = malformed(response.body);
        connection->send(response);
    } else
        connection->send(response, request.method == "HEAD");
}

void Server::handleFile(HttpConnection* connection, const HttpRequest& request, const QString& name) {
    m_fileRequests << name;
    const auto fault = m_faults.takeForFile(name);
    if (fault && fault->kind == Fault::Kind::Stall) {
        connection->stall();
        return;
    }
    if (fault && fault->kind == Fault::Kind::Http500) {
        connection->send(textResponse(500, "<html><body><h1>500 Internal Server Error</h1></body></html>\n",
                                      "text/html; charset=utf-8"));
        return;
    }
    const auto file = parsePictureFileName(name, m_library);
    if (!file) {
        connection->send(textResponse(404, "not found\n"));
        return;
    }
    HttpResponse response;
    response.contentType = "image/jpeg";
    response.body = makeJpeg(m_library.photo(file->index), file->suffix);
    if (fault && fault->kind == Fault::Kind::Drop)
        connection->sendTruncated(response);
    else
        connection->send(response, request.method == "HEAD");
}

} // namespace fakeflickr
