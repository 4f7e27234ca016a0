#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

namespace fakeflickr {

struct HttpRequest {
    QByteArray method;   // "GET", "POST", ...
    QByteArray path;     // without the query
    QByteArray query;    // after "?", still escaped
    QHash<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "text/xml; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
};

// One HTTP/1.1 exchange on an accepted socket: reads one request, answers once and
// closes ("Connection: close"), or misbehaves on purpose for the faults.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    explicit HttpConnection(QTcpSocket* socket, QObject* parent = nullptr);

    void send(const HttpResponse& response, bool headOnly = false);
    // Announces the whole body but sends only part of it, then closes.
    void sendTruncated(const HttpResponse& response);
    // Keeps the connection open and never answers.
    void stall();
    // Announces no length, sends the body, then `repeated` again and again
    // until the client goes (or a gigabyte has gone).
    void sendEndless(const HttpResponse& response, const QByteArray& repeated);

signals:
    void requestReady(fakeflickr::HttpConnection* connection, const fakeflickr::HttpRequest& request);

private:
    void readMore();
    bool parseHead(const QByteArray& head);
    void fail(int status, const QByteArray& reason);
    static QByteArray head(const HttpResponse& response, bool withLength = true);
    void closeWhenWritten();
    void topUpEndless();

    QPointer<QTcpSocket> m_socket;
    QByteArray m_buffer;
    HttpRequest m_request;
    qsizetype m_bodyLength = -1;  // -1 while the head is incomplete
    bool m_answered = false;
    QByteArray m_endlessChunk;
    qint64 m_endlessSent = 0;
};

QByteArray reasonPhrase(int status);

} // namespace fakeflickr
