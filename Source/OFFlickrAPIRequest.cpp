#include "OFFlickrAPIRequest.h"

#include "OFAssert.h"
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
    return m_HTTPRequest->isRunning();
}

void OFFlickrAPIRequest::cancel() {
    m_HTTPRequest->cancelWithoutDelegateMessage();
    m_HTTPRequest->setSessionInfo({});
    cleanUpTempFile();
}

bool OFFlickrAPIRequest::callAPIMethodWithGETArguments(const QString& method,
                                                       const QVariantMap& arguments) {
    if (isRunning())
        return false;
    QVariantMap all = arguments;
    all.insert(QStringLiteral("method"), method);
    const QString endpoint = m_context->RESTAPIEndpoint();
    const QUrl url =
        m_context->usesOAuth()
            ? m_context->oauthURLFromBaseURLMethodArguments(QUrl(endpoint), QStringLiteral("GET"),
                                                            all)
            : QUrl(endpoint + QLatin1Char('?') + m_context->signedQueryFromArguments(all));
    if (url.isEmpty() || !url.isValid())
        return false;
    m_HTTPRequest->setSessionInfo({});
    m_HTTPRequest->setContentType({});
    return m_HTTPRequest->performMethodOnURLWithData(QStringLiteral("GET"), url);
}

bool OFFlickrAPIRequest::callAPIMethodWithPOSTArguments(const QString& method,
                                                        const QVariantMap& arguments) {
    if (isRunning())
        return false;
    QVariantMap all = arguments;
    all.insert(QStringLiteral("method"), method);
    const QUrl endpoint(m_context->RESTAPIEndpoint());
    QByteArray body;
    if (m_context->usesOAuth()) {
        const QVariantMap signedArguments = m_context->signedOAuthHTTPQueryArgumentsBaseURLMethod(
            all, endpoint, QStringLiteral("POST"));
        QStringList pairs;
        for (auto it = signedArguments.constBegin(); it != signedArguments.constEnd(); ++it)
            pairs.append(OFEscapeURLString(it.key()) + QLatin1Char('=') +
                         OFEscapeOAuthComponent(OFTextForm(it.value())));
        body = pairs.join(QLatin1Char('&')).toUtf8();
    } else {
        body = m_context->signedQueryFromArguments(all).toUtf8();
    }
    m_HTTPRequest->setSessionInfo({});
    m_HTTPRequest->setContentType(QStringLiteral("application/x-www-form-urlencoded"));
    return m_HTTPRequest->performMethodOnURLWithData(QStringLiteral("POST"), endpoint, body);
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
        if (m_delegate)
            m_delegate->flickrAPIRequestDidCompleteWithResponse(this, rsp);
        return;
    }
    const QVariantMap err = rsp.value(QStringLiteral("err")).toMap();
    const QString code = err.value(QStringLiteral("code")).toString();
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
