#pragma once

// A tiny scripted HTTP server on 127.0.0.1: it reads each request (header and "Content-Length" body), records it
// and hands the socket to a handler that answers, stalls or drops the connection.

#include <QHostAddress>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>
#include <memory>

struct LocalHttpRequest {
    QByteArray method, target, body;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
};

class LocalHttpServer {
public:
    using Handler = std::function<void(QTcpSocket*, const LocalHttpRequest&)>;

    explicit LocalHttpServer(Handler handler = respond(200, "ok")) : m_handler(std::move(handler)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
    }
    QUrl url(const QString& path = "/") const {
        return QUrl(QString("http://127.0.0.1:%1").arg(m_server.serverPort()) + path);
    }
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    const QList<LocalHttpRequest>& requests() const { return m_requests; }

    // A complete answer; `extraHeaders` as lines ending in "\r\n".
    static QByteArray response(int status, const QByteArray& body, const QByteArray& extraHeaders = {}) {
        return "HTTP/1.1 " + QByteArray::number(status) + " Status\r\nConnection: close\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
    }
    static Handler answerWith(std::function<QByteArray(const LocalHttpRequest&)> make) {
        return [=](QTcpSocket* socket, const LocalHttpRequest& request) {
            socket->write(make(request));
            socket->disconnectFromHost();
        };
    }
    static Handler respond(int status, const QByteArray& body) {
        return answerWith([=](const LocalHttpRequest&) { return response(status, body); });
    }
    // Writes raw bytes and then keeps the connection open, or drops it.
    static Handler writeThenStall(const QByteArray& raw = {}) {
        return [=](QTcpSocket* socket, const LocalHttpRequest&) { socket->write(raw); };
    }
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
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [=, this] {
                buffer->append(socket->readAll());
                // Several requests may come over one kept-alive connection.
                for (qsizetype end; socket->isOpen() && (end = buffer->indexOf("\r\n\r\n")) >= 0;) {
                    LocalHttpRequest request;
                    const QList<QByteArray> lines = buffer->left(end).split('\n');
                    const QList<QByteArray> requestLine = lines[0].trimmed().split(' ');
                    request.method = requestLine.value(0);
                    request.target = requestLine.value(1);
                    for (const QByteArray& line : lines.mid(1))
                        if (const qsizetype colon = line.indexOf(':'); colon > 0)
                            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
                    const qsizetype length = request.header("Content-Length").toLongLong();
                    if (buffer->size() < end + 4 + length)
                        return;
                    request.body = buffer->mid(end + 4, length);
                    buffer->remove(0, end + 4 + length);
                    m_requests.append(request);
                    m_handler(socket, request);
                }
            });
        }
    }

    QTcpServer m_server;
    Handler m_handler;
    QList<LocalHttpRequest> m_requests;
};
