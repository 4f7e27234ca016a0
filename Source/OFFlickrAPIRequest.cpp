#include "OFFlickrAPIRequest.h"

#include "OFAssert.h"
#include "OFCallBudget.h"
#include "OFTimeSource.h"
#include "OFUtilities.h"
#include "OFXMLMapper.h"

#include <QFile>
#include <QStringList>

#include <limits>

namespace {

const QString kFetchOAuthRequestToken = QStringLiteral("FetchOAuthRequestToken");
const QString kFetchOAuthAccessToken = QStringLiteral("FetchOAuthAccessToken");

OFError libraryError(qint64 code, const QString& reason = {}) {
    return OFError{QString::fromLatin1(OFFlickrAPIRequestErrorDomain), code, reason, {}};
}

// Reads a leading decimal integer as Flickr clients always have: optional
// white space and sign, then digits; anything else gives 0.
qint64 leadingInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    qsizetype end = i;
    if (end < text.size() && (text[end] == QLatin1Char('-') || text[end] == QLatin1Char('+')))
        ++end;
    while (end < text.size() && text[end] >= QLatin1Char('0') && text[end] <= QLatin1Char('9'))
        ++end;
    bool ok = false;
    const qint64 value = text.mid(i, end - i).toLongLong(&ok);
    if (ok)
        return value;
    const bool digits = end > i + 1 || (end > i && text[i].isDigit());
    if (!digits)
        return 0;
    return text[i] == QLatin1Char('-') ? std::numeric_limits<qint64>::min()
                                       : std::numeric_limits<qint64>::max();
}

quint32 clampTo32Bits(quint64 value) {
    return static_cast<quint32>(std::min<quint64>(value, std::numeric_limits<quint32>::max()));
}

} // namespace

QString OFError::localizedDescription() const {
    if (!failureReason.isEmpty())
        return failureReason;
    return QStringLiteral("The operation couldn't be completed. (%1 error %2.)")
        .arg(domain)
        .arg(code);
}

OFFlickrAPIRequest::OFFlickrAPIRequest(std::shared_ptr<OFFlickrAPIContext> context, QObject* parent)
    : QObject(parent), m_context(std::move(context)), m_HTTPRequest(new LFHTTPRequest(this)) {
    OF_REQUIRE(m_context, "OFFlickrAPIRequest needs an OFFlickrAPIContext");
    m_HTTPRequest->setDelegate(this);
}

OFFlickrAPIRequest::~OFFlickrAPIRequest() {
    m_HTTPRequest->setDelegate(nullptr);
    m_HTTPRequest->cancelWithoutDelegateMessage();
    cleanUpTempFile();
}

double OFFlickrAPIRequest::requestTimeoutInterval() const {
    return m_HTTPRequest->timeoutInterval();
}

void OFFlickrAPIRequest::setRequestTimeoutInterval(double seconds) {
    m_HTTPRequest->setTimeoutInterval(seconds);
}

bool OFFlickrAPIRequest::isRunning() const {
    return m_HTTPRequest->isRunning() || m_waiting;
}

void OFFlickrAPIRequest::cancel() {
    if (m_waiting)
        m_waiting->deleteLater();
    m_waiting = nullptr;
    m_call.reset();
    m_HTTPRequest->cancelWithoutDelegateMessage();
    m_HTTPRequest->setSessionInfo({});
    cleanUpTempFile();
}

OFRetryPolicy& OFFlickrAPIRequest::retryPolicy() {
    static OFRetryPolicy policy = [] {
        OFRetryPolicy p;
        // Tests and trials against the stand-in may shorten the waits.
        bool ok = false;
        const qint64 wait = qEnvironmentVariableIntValue("TESSALY_RETRY_WAIT_MS", &ok);
        if (ok && wait >= 0)
            p.firstWaitMs = p.firstThrottledWaitMs = wait;
        return p;
    }();
    return policy;
}

qint64 OFRetryPolicy::waitMs(int failures, bool throttled, qint64 retryAfter) const {
    if (retryAfter >= 0)
        return std::min(retryAfter, maxWaitMs);
    const qint64 first = throttled ? firstThrottledWaitMs : firstWaitMs;
    return std::min<qint64>(maxWaitMs, first << std::min(failures - 1, 20));
}

qint64 OFRetryPolicy::retryAfterMs(const QByteArray& value, const QDateTime& now) {
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return -1;
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    if (ok)
        return seconds >= 0 ? seconds * 1000 : -1;
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(text), Qt::RFC2822Date);
    return when.isValid() ? std::max<qint64>(0, now.msecsTo(when)) : -1;
}

bool OFFlickrAPIRequest::callAPIMethodWithGETArguments(const QString& method,
                                                       const QVariantMap& arguments) {
    QVariantMap all = arguments;
    all.insert(QStringLiteral("method"), method);
    return startCall({false, all});
}

bool OFFlickrAPIRequest::callAPIMethodWithPOSTArguments(const QString& method,
                                                        const QVariantMap& arguments) {
    QVariantMap all = arguments;
    all.insert(QStringLiteral("method"), method);
    return startCall({true, all});
}

bool OFFlickrAPIRequest::startCall(Call call) {
    if (isRunning())
        return false;
    const QUrl endpoint(m_context->RESTAPIEndpoint());
    if (endpoint.isEmpty() || !endpoint.isValid())
        return false;
    m_call = std::move(call);
    m_attempt = 0;
    scheduleSend(0);
    return true;
}

// Every attempt waits for its turn in the budget the whole process shares.
void OFFlickrAPIRequest::scheduleSend(qint64 extraWaitMs) {
    OFTimeSource& time = OFTimeSource::shared();
    const qint64 turn = OFCallBudget::shared().reserve(time.nowMs() + extraWaitMs);
    const qint64 wait = extraWaitMs + turn;
    if (wait <= 0) {
        if (!sendCall())
            failWith(libraryError(OFFlickrAPIRequestConnectionError,
                                  QStringLiteral("Network connection error")));
        return;
    }
    auto* waiting = new QObject(this);
    m_waiting = waiting;
    time.callAfter(wait, waiting, [this, waiting] {
        waiting->deleteLater();
        if (m_waiting != waiting)
            return;
        m_waiting = nullptr;
        if (!sendCall())
            failWith(libraryError(OFFlickrAPIRequestConnectionError,
                                  QStringLiteral("Network connection error")));
    });
}

// Signs afresh for every attempt: a new nonce and time stamp each time.
bool OFFlickrAPIRequest::sendCall() {
    if (!m_call)
        return false;
    const QVariantMap& all = m_call->arguments;
    const QString endpoint = m_context->RESTAPIEndpoint();
    m_status = 0;
    m_retryAfter.clear();
    m_HTTPRequest->setSessionInfo({});
    m_HTTPRequest->setUserAgent(m_context->userAgent());
    if (!m_call->post) {
        const QUrl url =
            m_context->usesOAuth()
                ? m_context->oauthURLFromBaseURLMethodArguments(QUrl(endpoint), QStringLiteral("GET"), all)
                : QUrl(endpoint + QLatin1Char('?') + m_context->signedQueryFromArguments(all));
        if (url.isEmpty() || !url.isValid())
            return false;
        m_HTTPRequest->setContentType({});
        return m_HTTPRequest->performMethodOnURLWithData(QStringLiteral("GET"), url);
    }
    QByteArray body;
    if (m_context->usesOAuth()) {
        const QVariantMap signedArguments = m_context->signedOAuthHTTPQueryArgumentsBaseURLMethod(
            all, QUrl(endpoint), QStringLiteral("POST"));
        QStringList pairs;
        for (auto it = signedArguments.constBegin(); it != signedArguments.constEnd(); ++it)
            pairs.append(OFEscapeURLString(it.key()) + QLatin1Char('=') +
                         OFEscapeOAuthComponent(OFTextForm(it.value())));
        body = pairs.join(QLatin1Char('&')).toUtf8();
    } else {
        body = m_context->signedQueryFromArguments(all).toUtf8();
    }
    m_HTTPRequest->setContentType(QStringLiteral("application/x-www-form-urlencoded"));
    return m_HTTPRequest->performMethodOnURLWithData(QStringLiteral("POST"), QUrl(endpoint), body);
}

bool OFFlickrAPIRequest::retry(const QString& reason, bool throttled) {
    const OFRetryPolicy& policy = retryPolicy();
    if (!m_call || m_attempt + 1 >= policy.attempts)
        return false;
    ++m_attempt;
    const qint64 wait = policy.waitMs(m_attempt, throttled,
                                      OFRetryPolicy::retryAfterMs(m_retryAfter, QDateTime::currentDateTimeUtc()));
    const QPointer<OFFlickrAPIRequest> self(this);
    if (m_delegate)
        m_delegate->flickrAPIRequestWillRetryAfterSecondsReason(this, double(wait) / 1000.0, reason);
    if (!self || !m_call)
        return true; // cancelled or gone meanwhile
    scheduleSend(wait);
    return true;
}

bool OFFlickrAPIRequest::fetchOAuthRequestTokenWithCallbackURL(const QUrl& callbackURL) {
    return fetchOAuthToken(
        m_context->OAuthRequestTokenURL(),
        {{QStringLiteral("oauth_callback"), callbackURL.toString(QUrl::FullyEncoded)}},
        kFetchOAuthRequestToken);
}

bool OFFlickrAPIRequest::fetchOAuthAccessTokenWithRequestTokenVerifier(const QString& requestToken,
                                                                       const QString& verifier) {
    return fetchOAuthToken(m_context->OAuthAccessTokenURL(),
                           {{QStringLiteral("oauth_token"), requestToken},
                            {QStringLiteral("oauth_verifier"), verifier}},
                           kFetchOAuthAccessToken);
}

bool OFFlickrAPIRequest::fetchOAuthToken(const QString& url, const QVariantMap& arguments,
                                         const QString& tag) {
    if (isRunning())
        return false;
    const QUrl signedURL =
        m_context->oauthURLFromBaseURLMethodArguments(QUrl(url), QStringLiteral("GET"), arguments);
    m_HTTPRequest->setSessionInfo(tag);
    m_HTTPRequest->setContentType({});
    m_HTTPRequest->setUserAgent(m_context->userAgent());
    if (m_HTTPRequest->performMethodOnURLWithData(QStringLiteral("GET"), signedURL))
        return true;
    m_HTTPRequest->setSessionInfo({});
    return false;
}

void OFFlickrAPIRequest::httpRequestSentBytesTotal(LFHTTPRequest*, quint64 sentBytes,
                                                   quint64 total) {
    if (m_delegate && !m_uploadTempFilename.isEmpty())
        m_delegate->flickrAPIRequestImageUploadSentBytesTotalBytes(this, clampTo32Bits(sentBytes),
                                                                   clampTo32Bits(total));
}

void OFFlickrAPIRequest::httpRequestDidReceiveStatusCodeURLResponseHeader(
    LFHTTPRequest* request, quint32 statusCode, const QUrl&, const LFHTTPResponseHeader& header) {
    m_status = statusCode;
    for (const auto& [name, value] : header)
        if (name.compare("Retry-After", Qt::CaseInsensitive) == 0)
            m_retryAfter = value;
    const quint64 announced = request->expectedDataLength();
    if (announced != LFHTTPRequestUnknownLength && announced > kMaximumAnswerSize)
        giveUpOnTooLargeAnswer();
}

void OFFlickrAPIRequest::httpRequestReceivedBytesExpectedTotal(LFHTTPRequest*, quint64 receivedBytes,
                                                               quint64) {
    if (receivedBytes > kMaximumAnswerSize)
        giveUpOnTooLargeAnswer();
}

void OFFlickrAPIRequest::giveUpOnTooLargeAnswer() {
    m_HTTPRequest->cancelWithoutDelegateMessage();
    m_HTTPRequest->setSessionInfo({});
    m_HTTPRequest->getReceivedDataAndDetachFromRequest();
    cleanUpTempFile();
    m_call.reset();
    failWith(libraryError(OFFlickrAPIRequestAnswerTooLargeError,
                          QStringLiteral("Flickr's answer grew past %1 MiB, far beyond any real answer; "
                                         "the call was given up.")
                              .arg(kMaximumAnswerSize >> 20)));
}

void OFFlickrAPIRequest::httpRequestDidComplete(LFHTTPRequest* request) {
    // The tag and the temporary file are gone before any callback, so the
    // delegate may start the next call from inside it.
    const QString tag = request->sessionInfo().toString();
    request->setSessionInfo({});
    const QByteArray body = request->getReceivedDataAndDetachFromRequest();
    cleanUpTempFile();
    if (tag == kFetchOAuthRequestToken || tag == kFetchOAuthAccessToken)
        handleOAuthTokenAnswer(tag, body);
    else
        handleAPIAnswer(body);
}

void OFFlickrAPIRequest::handleOAuthTokenAnswer(const QString& tag, const QByteArray& body) {
    const QString text = QString::fromUtf8(body);
    const QMap<QString, QString> answer =
        OFDictionaryFromQueryString(text).value_or(QMap<QString, QString>());
    const auto holdsAll = [&](std::initializer_list<const char*> names) {
        for (const char* name : names)
            if (!answer.contains(QLatin1String(name)))
                return false;
        return true;
    };
    const auto field = [&](const char* name) { return answer.value(QLatin1String(name)); };

    if (tag == kFetchOAuthRequestToken && holdsAll({"oauth_token", "oauth_token_secret"})) {
        if (m_delegate)
            m_delegate->flickrAPIRequestDidObtainOAuthRequestTokenSecret(
                this, field("oauth_token"), field("oauth_token_secret"));
        return;
    }
    if (tag == kFetchOAuthAccessToken &&
        holdsAll({"fullname", "oauth_token", "oauth_token_secret", "user_nsid", "username"})) {
        if (m_delegate)
            m_delegate->flickrAPIRequestDidObtainOAuthAccessTokenSecretUserFullNameUserNameUserNSID(
                this, field("oauth_token"), field("oauth_token_secret"), field("fullname"),
                field("username"), field("user_nsid"));
        return;
    }
    OFError error = libraryError(OFFlickrAPIRequestOAuthError);
    error.userInfo.insert(QString::fromLatin1(OFFlickrAPIRequestOAuthErrorUserInfoKey), text);
    failWith(error);
}

void OFFlickrAPIRequest::handleAPIAnswer(const QByteArray& body) {
    // A malformed or unmappable document has no "rsp" and so no "stat".
    const auto mapped = OFXMLMapper::dictionaryMappedFromXMLData(body);
    const QVariantMap rsp = mapped ? mapped->value(QStringLiteral("rsp")).toMap() : QVariantMap();
    if (rsp.value(QStringLiteral("stat")).toString() == QLatin1String("ok")) {
        m_call.reset();
        if (m_delegate)
            m_delegate->flickrAPIRequestDidCompleteWithResponse(this, rsp);
        return;
    }
    const QVariantMap err = rsp.value(QStringLiteral("err")).toMap();
    const QString code = err.value(QStringLiteral("code")).toString();
    // Flickr busy or overloaded: the same call again a little later.
    const bool busyStatus = m_status == 429 || m_status == 500 || m_status == 502 || m_status == 503 ||
                            m_status == 504;
    if (busyStatus && code.isEmpty() &&
        retry(QStringLiteral("Flickr answered HTTP %1").arg(m_status), m_status == 429))
        return;
    if (leadingInteger(code) == 105 &&
        retry(QStringLiteral("Flickr's service is currently unavailable"), false))
        return;
    m_call.reset();
    if (code.isEmpty()) {
        failWith(libraryError(OFFlickrAPIRequestFaultyXMLResponseError));
        return;
    }
    failWith(OFError{QString::fromLatin1(OFFlickrAPIReturnedErrorDomain),
                     leadingInteger(code),
                     err.value(QStringLiteral("msg")).toString(),
                     {}});
}

void OFFlickrAPIRequest::httpRequestDidFailWithError(LFHTTPRequest* request, const QString& error) {
    request->setSessionInfo({});
    cleanUpTempFile();
    const bool timedOut = error == QLatin1String(LFHTTPRequestTimeoutError);
    if (retry(timedOut ? QStringLiteral("Flickr did not answer") : QStringLiteral("The connection to Flickr was lost"),
              false))
        return;
    m_call.reset();
    if (error == QLatin1String(LFHTTPRequestConnectionError))
        failWith(libraryError(OFFlickrAPIRequestConnectionError,
                              QStringLiteral("Network connection error")));
    else if (error == QLatin1String(LFHTTPRequestTimeoutError))
        failWith(libraryError(OFFlickrAPIRequestTimeoutError, QStringLiteral("Request timeout")));
    else
        failWith(libraryError(OFFlickrAPIRequestUnknownError, QStringLiteral("Unknown error")));
}

void OFFlickrAPIRequest::failWith(const OFError& error) {
    if (m_delegate)
        m_delegate->flickrAPIRequestDidFailWithError(this, error);
}
