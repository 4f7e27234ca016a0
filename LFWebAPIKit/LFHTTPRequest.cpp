#include "LFHTTPRequest.h"

#include "LFAssert.h"

#include <QBuffer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <mutex>

namespace {

constexpr int kTrackerIntervalMs = 1000;

// An HTTP error status still carries a complete answer; everything else that
// QNetworkReply calls an error means the exchange itself broke.
bool isTransportFailure(QNetworkReply* reply) {
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::NoError)
        return false;
    if (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return true;
    const int code = static_cast<int>(error);
    const bool contentStatus = code >= QNetworkReply::ContentAccessDenied &&
                               code <= QNetworkReply::UnknownContentError &&
                               error != QNetworkReply::ContentReSendError;
    const bool serverStatus =
        code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError;
    return !(contentStatus || serverStatus ||
             error == QNetworkReply::ProtocolInvalidOperationError ||
             error == QNetworkReply::ProxyAuthenticationRequiredError);
}

void addHeaderField(LFHTTPResponseHeader& fields, const QString& name, const QString& value) {
    // Header names are case-insensitive: a later field replaces an earlier one.
    const QByteArray key = name.toLatin1();
    fields.removeIf(
        [&](const auto& field) { return field.first.compare(key, Qt::CaseInsensitive) == 0; });
    fields.append({key, value.toUtf8()});
}

} // namespace

LFHTTPRequest::LFHTTPRequest(QObject* parent) : QObject(parent) {
    m_readBuffer = QByteArray(static_cast<qsizetype>(m_readBufferSize), '\0');
    static std::once_flag systemProxies;
    std::call_once(systemProxies, [] { QNetworkProxyFactory::setUseSystemConfiguration(true); });
    m_manager = new QNetworkAccessManager(this);
    m_requestMessageBodyTracker = new QTimer(this);
    m_receivedDataTracker = new QTimer(this);
    for (QTimer* timer : {m_requestMessageBodyTracker, m_receivedDataTracker}) {
        timer->setInterval(kTrackerIntervalMs);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(m_requestMessageBodyTracker, &QTimer::timeout, this,
            &LFHTTPRequest::handleRequestMessageBodyTrackerTick);
    connect(m_receivedDataTracker, &QTimer::timeout, this,
            &LFHTTPRequest::handleReceivedDataTrackerTick);
    m_clock.start();
}

LFHTTPRequest::~LFHTTPRequest() {
    m_delegate = nullptr;
    cleanUp();
    // The request may be deleted from inside its reply's own signal: the
    // manager and the reply it owns go once the event loop is back.
    m_manager->setParent(nullptr);
    m_manager->deleteLater();
}

void LFHTTPRequest::setReadBufferSize(quint32 size) {
    LF_REQUIRE(!isRunning(), "Cannot set read buffer size while the request is running");
    LF_REQUIRE(size > 0, "Read buffer size must > 0");
    m_readBufferSize = size;
    m_readBuffer = QByteArray(static_cast<qsizetype>(size), '\0');
}

bool LFHTTPRequest::performMethodOnURLWithData(const QString& method, const QUrl& url,
                                               const QByteArray& data) {
    return performMethod(method, url, &data, nullptr, 0);
}

bool LFHTTPRequest::performMethodOnURLWithInputStreamKnownContentSize(const QString& method,
                                                                      const QUrl& url,
                                                                      QIODevice* stream,
                                                                      quint64 knownContentSize) {
    if (!stream || !stream->isReadable())
        return false;
    return performMethod(method, url, nullptr, stream, knownContentSize);
}

bool LFHTTPRequest::performMethod(const QString& method, const QUrl& url, const QByteArray* data,
                                  QIODevice* stream, quint64 knownContentSize) {
    if (url.isEmpty() || !url.isValid() || method.isEmpty() || isRunning())
        return false;

    LFHTTPResponseHeader fields;
    if (!m_userAgent.isEmpty())
        addHeaderField(fields, QStringLiteral("User-Agent"), m_userAgent);
    if (!m_contentType.isEmpty())
        addHeaderField(fields, QStringLiteral("Content-Type"), m_contentType);
    if (stream) {
        const bool known = knownContentSize != 0 && knownContentSize != LFHTTPRequestUnknownLength;
        if (known)
            addHeaderField(fields, QStringLiteral("Content-Length"),
                           QString::number(knownContentSize));
        m_requestMessageBodySize = known ? knownContentSize : LFHTTPRequestUnknownLength;
    } else {
        if (!data->isEmpty())
            addHeaderField(fields, QStringLiteral("Content-Length"), QString::number(data->size()));
        m_requestMessageBodySize = static_cast<quint64>(data->size());
    }
    for (auto it = m_requestHeader.constBegin(); it != m_requestHeader.constEnd(); ++it)
        addHeaderField(fields, it.key(), it.value());

    QNetworkRequest request(url);
    for (const auto& [name, value] : fields)
        request.setRawHeader(name, value);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);

    const QByteArray verb = method.toLatin1();
    QNetworkReply* reply = nullptr;
    if (stream) {
        reply = m_manager->sendCustomRequest(request, verb, stream);
    } else if (!data->isEmpty()) {
        auto* body = new QBuffer;
        body->setData(*data);
        body->open(QIODevice::ReadOnly);
        reply = m_manager->sendCustomRequest(request, verb, body);
        body->setParent(reply);
    } else if (verb == "HEAD") {
        // Qt must know it is a HEAD request, or it waits for the announced body.
        reply = m_manager->head(request);
    } else if (verb == "GET") {
        reply = m_manager->get(request);
    } else {
        // No device at all: Qt then sends no "Content-Length" for an empty body.
        reply = m_manager->sendCustomRequest(request, verb, static_cast<QIODevice*>(nullptr));
    }
    if (!reply)
        return false;

    // A buffer handed out earlier is never changed afterwards.
    if (!m_receivedData.isEmpty())
        m_receivedData = QByteArray();
    m_readStream = reply;
    m_expectedDataLength = LFHTTPRequestUnknownLength;
    m_responseBegun = false;
    m_bytesWritten = 0;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply == m_readStream)
            readStreamHasBytesAvailable();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply != m_readStream)
            return;
        if (isTransportFailure(reply))
            readStreamErrorOccurred();
        else
            readStreamEndEncountered();
    });
    connect(reply, &QNetworkReply::uploadProgress, this, [this, reply](qint64 sent, qint64) {
        if (reply == m_readStream && sent > 0)
            m_bytesWritten = static_cast<quint64>(sent);
    });

    m_lastSentBytes = 0;
    m_lastSentDataUpdateTime = now();
    m_requestMessageBodyTracker->start();

    if (m_shouldWaitUntilDone) {
        QPointer<LFHTTPRequest> self(this);
        QEventLoop loop;
        QEventLoop* outerLoop = std::exchange(m_waitLoop, &loop);
        while (self && isRunning())
            loop.exec();
        if (self) {
            m_waitLoop = outerLoop;
            // An outer wait on this object may be waiting for the same end.
            if (outerLoop && !isRunning())
                outerLoop->quit();
        }
    }
    return true;
}

bool LFHTTPRequest::writesReceivedBytes() const {
    return m_delegate && m_delegate->implementsHttpRequestWriteReceivedBytes();
}

// The owner may delete the request from inside any delegate call; every
// caller checks its guard before touching the request again.
bool LFHTTPRequest::handleResponseBegun() {
    const QPointer<LFHTTPRequest> self(this);
    QNetworkReply* reply = m_readStream;
    m_responseBegun = true;
    m_lastSentBytes = std::max(m_lastSentBytes, m_bytesWritten);
    if (m_delegate)
        m_delegate->httpRequestSentBytesTotal(this, m_lastSentBytes, m_lastSentBytes);
    if (!self)
        return false;
    if (reply != m_readStream)
        return true;
    m_requestMessageBodyTracker->stop();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_expectedDataLength = LFHTTPRequestUnknownLength;
    if (reply->hasRawHeader("Content-Length")) {
        bool ok = false;
        const quint64 length = reply->rawHeader("Content-Length").trimmed().toULongLong(&ok);
        if (ok)
            m_expectedDataLength = length;
    }
    m_receivedContentType = QString::fromLatin1(reply->rawHeader("Content-Type"));
    if (m_delegate) {
        m_delegate->httpRequestDidReceiveStatusCodeURLResponseHeader(
            this, status.isValid() ? status.toUInt() : 0, reply->url(), reply->rawHeaderPairs());
    }
    return bool(self);
}

bool LFHTTPRequest::readStreamHasBytesAvailable() {
    const QPointer<LFHTTPRequest> self(this);
    QNetworkReply* reply = m_readStream;
    if (!reply)
        return true;
    if (!m_responseBegun) {
        if (!handleResponseBegun())
            return false;
        // The delegate cancelled or started another request from the status callback.
        if (reply != m_readStream)
            return true;
        m_lastReceivedBytes = 0;
        m_lastReceivedDataUpdateTime = now();
        m_receivedDataTracker->start();
    }
    while (reply == m_readStream && reply->bytesAvailable() > 0) {
        const qint64 count = reply->read(m_readBuffer.data(), m_readBufferSize);
        if (count <= 0)
            break;
        if (writesReceivedBytes()) {
            m_lastReceivedBytes += static_cast<quint64>(count);
            m_lastReceivedDataUpdateTime = now();
            m_delegate->httpRequestWriteReceivedBytesSizeExpectedTotal(
                this, m_readBuffer.constData(), count, m_expectedDataLength);
            if (!self)
                return false;
        } else {
            // One allocation for an announced body instead of many reallocations
            // (a length past any real answer is not taken at its word).
            if (m_receivedData.isEmpty() && m_expectedDataLength != LFHTTPRequestUnknownLength &&
                m_expectedDataLength < (quint64(1) << 26))
                m_receivedData.reserve(qsizetype(m_expectedDataLength));
            m_receivedData.append(m_readBuffer.constData(), count);
            m_lastReceivedBytes = static_cast<quint64>(m_receivedData.size());
            m_lastReceivedDataUpdateTime = now();
            if (m_delegate)
                m_delegate->httpRequestReceivedBytesExpectedTotal(this, m_lastReceivedBytes,
                                                                  m_expectedDataLength);
            if (!self)
                return false;
        }
    }
    return true;
}

void LFHTTPRequest::readStreamEndEncountered() {
    QNetworkReply* reply = m_readStream;
    // Bytes that arrived with the end are read first.
    if (reply->bytesAvailable() > 0) {
        if (!readStreamHasBytesAvailable() || reply != m_readStream)
            return;
    }
    // An empty body: the response begins and ends here.
    if (!m_responseBegun) {
        if (!handleResponseBegun() || reply != m_readStream)
            return;
    }
    cleanUp();
    if (m_delegate)
        m_delegate->httpRequestDidComplete(this);
}

void LFHTTPRequest::readStreamErrorOccurred() {
    cleanUp();
    if (m_delegate)
        m_delegate->httpRequestDidFailWithError(this,
                                                QString::fromLatin1(LFHTTPRequestConnectionError));
}

bool LFHTTPRequest::timedOutSince(qint64 lastUpdate) const {
    return static_cast<double>(now() - lastUpdate) > m_timeoutInterval * 1e9;
}

void LFHTTPRequest::handleRequestMessageBodyTrackerTick() {
    if (!isRunning())
        return;
    if (m_bytesWritten > m_lastSentBytes) {
        m_lastSentBytes = m_bytesWritten;
        m_lastSentDataUpdateTime = now();
        if (m_delegate)
            m_delegate->httpRequestSentBytesTotal(this, m_lastSentBytes, m_requestMessageBodySize);
    } else if (timedOutSince(m_lastSentDataUpdateTime)) {
        m_requestMessageBodyTracker->stop();
        handleTimeout();
    }
}

void LFHTTPRequest::handleReceivedDataTrackerTick() {
    if (!isRunning())
        return;
    if (timedOutSince(m_lastReceivedDataUpdateTime)) {
        m_receivedDataTracker->stop();
        handleTimeout();
    }
}

void LFHTTPRequest::handleTimeout() {
    cleanUp();
    if (m_delegate)
        m_delegate->httpRequestDidFailWithError(this,
                                                QString::fromLatin1(LFHTTPRequestTimeoutError));
}

void LFHTTPRequest::cleanUp() {
    if (QNetworkReply* reply = m_readStream) {
        m_readStream = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_requestMessageBodyTracker->stop();
    m_receivedDataTracker->stop();
    m_requestMessageBodySize = 0;
    m_expectedDataLength = LFHTTPRequestUnknownLength;
    m_lastReceivedDataUpdateTime = 0;
    m_lastReceivedBytes = 0;
    m_lastSentDataUpdateTime = 0;
    m_lastSentBytes = 0;
    m_bytesWritten = 0;
    m_responseBegun = false;
    if (m_waitLoop)
        m_waitLoop->quit();
}

void LFHTTPRequest::cancelWithoutDelegateMessage() {
    cleanUp();
}

void LFHTTPRequest::cancel() {
    cleanUp();
    if (m_delegate)
        m_delegate->httpRequestDidCancel(this);
}

QByteArray LFHTTPRequest::getReceivedDataAndDetachFromRequest() {
    m_receivedContentType.clear();
    return std::exchange(m_receivedData, QByteArray());
}
