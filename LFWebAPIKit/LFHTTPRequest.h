#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariant>

class LFHTTPRequest;
class QEventLoop;
class QIODevice;
class QNetworkAccessManager;
class QTimer;

// The two failure texts of httpRequestDidFailWithError.
inline constexpr char LFHTTPRequestTimeoutError[] = "HTTP request timeout";
inline constexpr char LFHTTPRequestConnectionError[] = "HTTP request connection lost";
// A length that is not known (no "Content-Length", a stream of unknown size).
inline constexpr quint64 LFHTTPRequestUnknownLength = ~quint64(0);

using LFHTTPResponseHeader = QList<QPair<QByteArray, QByteArray>>;

// Receives the callbacks of an LFHTTPRequest; every callback is optional. The
// request is idle again before httpRequestDidComplete, httpRequestDidFailWithError
// and httpRequestDidCancel, so a delegate may start the next request from them.
class LFHTTPRequestDelegate {
public:
    virtual ~LFHTTPRequestDelegate() = 0;

    // Body bytes sent so far; total is LFHTTPRequestUnknownLength when not known.
    virtual void httpRequestSentBytesTotal(LFHTTPRequest* request, quint64 sentBytes,
                                           quint64 total) {}
    // Once, when the response begins; statusCode 0 when there is no header.
    virtual void
    httpRequestDidReceiveStatusCodeURLResponseHeader(LFHTTPRequest* request, quint32 statusCode,
                                                     const QUrl& finalURL,
                                                     const LFHTTPResponseHeader& header) {}
    // Every read, when implementsHttpRequestWriteReceivedBytes() says so; the
    // request then keeps no body of its own.
    virtual void httpRequestWriteReceivedBytesSizeExpectedTotal(LFHTTPRequest* request,
                                                                const char* bytes, qint64 size,
                                                                quint64 expectedTotal) {}
    virtual bool implementsHttpRequestWriteReceivedBytes() const { return false; }
    // Every read when the body is kept: bytes so far and the expected length.
    virtual void httpRequestReceivedBytesExpectedTotal(LFHTTPRequest* request,
                                                       quint64 receivedBytes,
                                                       quint64 expectedTotal) {}
    virtual void httpRequestDidComplete(LFHTTPRequest* request) {}
    // error is LFHTTPRequestTimeoutError or LFHTTPRequestConnectionError.
    virtual void httpRequestDidFailWithError(LFHTTPRequest* request, const QString& error) {}
    virtual void httpRequestDidCancel(LFHTTPRequest* request) {}
};

inline LFHTTPRequestDelegate::~LFHTTPRequestDelegate() = default;

// One HTTP exchange at a time on the calling thread's event loop. A request
// fails after timeoutInterval() seconds without progress (checked once a
// second), not after a total duration. HTTP error statuses are answers, not
// failures. Redirects are followed; the system's proxy settings apply.
class LFHTTPRequest : public QObject {
    Q_OBJECT
public:
    explicit LFHTTPRequest(QObject* parent = nullptr);
    ~LFHTTPRequest() override;

    // Starts a request with body bytes (empty: no body). False, changing
    // nothing, when the URL is empty or invalid or a request is running.
    bool performMethodOnURLWithData(const QString& method, const QUrl& url,
                                    const QByteArray& data = QByteArray());
    // Starts a request whose body is read from an open stream, which must stay
    // alive until the request ends. knownContentSize 0 or LFHTTPRequestUnknownLength: unknown.
    bool performMethodOnURLWithInputStreamKnownContentSize(const QString& method, const QUrl& url,
                                                           QIODevice* stream,
                                                           quint64 knownContentSize);
    bool isRunning() const { return m_readStream != nullptr; }
    // Stops and tells the delegate httpRequestDidCancel.
    void cancel();
    // Stops without any delegate message.
    void cancelWithoutDelegateMessage();

    // Hands over the received body and forgets it and its content type.
    QByteArray getReceivedDataAndDetachFromRequest();
    QByteArray receivedData() const { return m_receivedData; }
    QString receivedContentType() const { return m_receivedContentType; }
    quint64 expectedDataLength() const { return m_expectedDataLength; }

    // Extra header fields, applied last (they win over userAgent and contentType).
    QMap<QString, QString> requestHeader() const { return m_requestHeader; }
    void setRequestHeader(const QMap<QString, QString>& header) { m_requestHeader = header; }
    // Empty text: no such header.
    QString userAgent() const { return m_userAgent; }
    void setUserAgent(const QString& userAgent) { m_userAgent = userAgent; }
    QString contentType() const { return m_contentType; }
    void setContentType(const QString& contentType) { m_contentType = contentType; }

    // The stall limit in seconds; 10 by default.
    double timeoutInterval() const { return m_timeoutInterval; }
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }

    LFHTTPRequestDelegate* delegate() const { return m_delegate; }
    void setDelegate(LFHTTPRequestDelegate* delegate) { m_delegate = delegate; }
    QVariant sessionInfo() const { return m_sessionInfo; }
    void setSessionInfo(const QVariant& info) { m_sessionInfo = info; }
    // When set, a start returns only after the request has ended.
    bool shouldWaitUntilDone() const { return m_shouldWaitUntilDone; }
    void setShouldWaitUntilDone(bool wait) { m_shouldWaitUntilDone = wait; }

    // Bytes read at a time, 16384 by default; may change only while idle.
    quint32 readBufferSize() const { return m_readBufferSize; }
    void setReadBufferSize(quint32 size);

private:
    bool performMethod(const QString& method, const QUrl& url, const QByteArray* data,
                       QIODevice* stream, quint64 knownContentSize);
    // False when the delegate deleted the request meanwhile.
    bool readStreamHasBytesAvailable();
    void readStreamEndEncountered();
    void readStreamErrorOccurred();
    bool handleResponseBegun();
    void handleRequestMessageBodyTrackerTick();
    void handleReceivedDataTrackerTick();
    void handleTimeout();
    void cleanUp();
    qint64 now() const { return m_clock.nsecsElapsed(); }
    bool timedOutSince(qint64 lastUpdate) const;
    bool writesReceivedBytes() const;

    LFHTTPRequestDelegate* m_delegate = nullptr;
    double m_timeoutInterval = 10.0;
    QString m_userAgent;
    QString m_contentType;
    QMap<QString, QString> m_requestHeader;
    QByteArray m_receivedData;
    QString m_receivedContentType;
    QPointer<QNetworkReply> m_readStream;
    QTimer* m_receivedDataTracker = nullptr;
    qint64 m_lastReceivedDataUpdateTime = 0;
    QTimer* m_requestMessageBodyTracker = nullptr;
    qint64 m_lastSentDataUpdateTime = 0;
    quint64 m_requestMessageBodySize = 0;
    quint64 m_expectedDataLength = LFHTTPRequestUnknownLength;
    quint64 m_lastReceivedBytes = 0;
    quint64 m_lastSentBytes = 0;
    quint64 m_bytesWritten = 0;
    bool m_responseBegun = false;
    QByteArray m_readBuffer;
    quint32 m_readBufferSize = 16384;
    QVariant m_sessionInfo;
    bool m_shouldWaitUntilDone = false;
    QEventLoop* m_waitLoop = nullptr;
    QNetworkAccessManager* m_manager = nullptr;
    QElapsedTimer m_clock;
};
