#pragma once

// A tiny scripted HTTP server on 127.0.0.1 for tests of the Flickr client: it
// reads each request (header and "Content-Length" body), records it and hands
// the socket to a handler that answers, stalls or drops the connection.

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>
#include <memory>

struct LocalHttpRequest {
    QByteArray method;
    QByteArray target;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    bool hasHeader(const QByteArray& name) const {
        for (const auto& [key, value] : headers)
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }
    QByteArray header(const QByteArray& name) const {
        for (const auto& [key, value] : headers)
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        return {};
    }
};

class LocalHttpServer {
public:
    using Handler = std::function<void(QTcpSocket*, const LocalHttpRequest&)>;

    explicit LocalHttpServer(Handler handler = {}) : m_handler(std::move(handler)) {
        if (!m_handler)
            m_handler = respond(200, "ok");
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
    }
    ~LocalHttpServer() {
        for (const QPointer<QTcpSocket>& socket : std::as_const(m_sockets))
            if (socket)
                socket->abort();
    }

    bool isListening() const { return m_server.isListening(); }
    QUrl url(const QString& path = QStringLiteral("/")) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    const QList<LocalHttpRequest>& requests() const { return m_requests; }
    int connectionCount() const { return m_connections; }

    static QByteArray response(int status, const QByteArray& body,
                               const QList<QPair<QByteArray, QByteArray>>& extraHeaders = {},
                               bool withLength = true) {
        QByteArray out =
            "HTTP/1.1 " + QByteArray::number(status) + " Status\r\nConnection: close\r\n";
        if (withLength)
            out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        for (const auto& [name, value] : extraHeaders)
            out += name + ": " + value + "\r\n";
        return out + "\r\n" + body;
    }
    // Answers in full and closes the connection.
    static Handler respond(int status, const QByteArray& body,
                           const QList<QPair<QByteArray, QByteArray>>& extraHeaders = {}) {
        return [=](QTcpSocket* socket, const LocalHttpRequest&) {
            socket->write(response(status, body, extraHeaders));
            socket->disconnectFromHost();
        };
    }
    // Writes raw bytes and then keeps the connection open without a word more.
    static Handler writeThenStall(const QByteArray& raw) {
        return [=](QTcpSocket* socket, const LocalHttpRequest&) { socket->write(raw); };
    }
    // Writes raw bytes (possibly none) and drops the connection.
    static Handler writeThenDrop(const QByteArray& raw = {}) {
        return [=](QTcpSocket* socket, const LocalHttpRequest&) {
            socket->write(raw);
            socket->flush();
            socket->abort();
        };
    }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_connections;
            m_sockets.append(socket);
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [=, this] {
                buffer->append(socket->readAll());
                // Several requests may come over one kept-alive connection.
                while (socket->isOpen() && tryHandle(socket, *buffer)) {
                }
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    bool tryHandle(QTcpSocket* socket, QByteArray& buffer) {
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return false;
        LocalHttpRequest request;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append(
                    {lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        }
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < headerEnd + 4 + length)
            return false;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        m_requests.append(request);
        m_handler(socket, request);
        return true;
    }

    QTcpServer m_server;
    Handler m_handler;
    QList<LocalHttpRequest> m_requests;
    QList<QPointer<QTcpSocket>> m_sockets;
    int m_connections = 0;
};
