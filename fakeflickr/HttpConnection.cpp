#include "HttpConnection.h"

namespace fakeflickr {

namespace {
constexpr qsizetype kMaxHead = 64 * 1024;
constexpr qsizetype kMaxBody = 16 * 1024 * 1024;
constexpr qint64 kMaxEndless = qint64(1) << 30;
} // namespace

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 410: return "Gone";
    case 413: return "Payload Too Large";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Status";
    }
}

HttpConnection::HttpConnection(QTcpSocket* socket, QObject* parent) : QObject(parent), m_socket(socket) {
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &HttpConnection::readMore);
    connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
}

void HttpConnection::readMore() {
    if (m_answered || !m_socket)
        return;
    m_buffer += m_socket->readAll();
    if (m_bodyLength < 0) {
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_buffer.size() > kMaxHead)
                fail(400, "request head too long");
            return;
        }
        if (!parseHead(m_buffer.left(end)))
            return;
        m_buffer.remove(0, end + 4);
    }
    if (m_buffer.size() < m_bodyLength)
        return;
    m_request.body = m_buffer.left(m_bodyLength);
    m_answered = true;
    emit requestReady(this, m_request);
}

bool HttpConnection::parseHead(const QByteArray& head) {
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
    if (start.size() != 3 || !start[2].startsWith("HTTP/1.")) {
        fail(400, "bad request line");
        return false;
    }
    m_request.method = start[0];
    const QByteArray& target = start[1];
    const qsizetype q = target.indexOf('?');
    m_request.path = q < 0 ? target : target.left(q);
    m_request.query = q < 0 ? QByteArray() : target.mid(q + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            m_request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    if (m_request.headers.value("transfer-encoding").toLower().contains("chunked")) {
        fail(400, "chunked bodies are not supported");
        return false;
    }
    bool ok = true;
    const QByteArray length = m_request.headers.value("content-length", "0");
    m_bodyLength = length.toLongLong(&ok);
    if (!ok || m_bodyLength < 0 || m_bodyLength > kMaxBody) {
        fail(ok ? 413 : 400, "bad Content-Length");
        return false;
    }
    return true;
}

void HttpConnection::fail(int status, const QByteArray& reason) {
    m_answered = true;
    HttpResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = reason + '\n';
    send(response);
}

QByteArray HttpConnection::head(const HttpResponse& response, bool withLength) {
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status)
                     + "\r\nServer: fakeflickr\r\nConnection: close\r\n";
    if (!response.contentType.isEmpty())
        out += "Content-Type: " + response.contentType + "\r\n";
    if (withLength)
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    return out + "\r\n";
}

void HttpConnection::send(const HttpResponse& response, bool headOnly) {
    if (!m_socket)
        return;
    m_socket->write(head(response));
    if (!headOnly)
        m_socket->write(response.body);
    closeWhenWritten();
}

void HttpConnection::sendTruncated(const HttpResponse& response) {
    if (!m_socket)
        return;
    m_socket->write(head(response));
    m_socket->write(response.body.left(response.body.size() / 2));
    closeWhenWritten();
}

void HttpConnection::sendEndless(const HttpResponse& response, const QByteArray& repeated) {
    if (!m_socket || repeated.isEmpty())
        return;
    m_socket->write(head(response, false));
    m_socket->write(response.body);
    while (m_endlessChunk.size() < 256 * 1024)
        m_endlessChunk += repeated;
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::topUpEndless);
    topUpEndless();
}

void HttpConnection::topUpEndless() {
    while (m_socket && m_socket->state() == QAbstractSocket::ConnectedState &&
           m_socket->bytesToWrite() < 4 * m_endlessChunk.size()) {
        if (m_endlessSent >= kMaxEndless) {
            disconnect(m_socket, &QTcpSocket::bytesWritten, this, nullptr);
            closeWhenWritten();
            return;
        }
        m_socket->write(m_endlessChunk);
        m_endlessSent += m_endlessChunk.size();
    }
}

void HttpConnection::stall() {
    if (m_socket)
        disconnect(m_socket, &QTcpSocket::readyRead, this, nullptr);
}

void HttpConnection::closeWhenWritten() {
    // disconnectFromHost() waits for the pending bytes before it closes.
    m_socket->disconnectFromHost();
}

} // namespace fakeflickr
