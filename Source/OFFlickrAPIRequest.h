#pragma once

#include "LFHTTPRequest.h"
#include "OFFlickrAPIContext.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

class OFFlickrAPIRequest;
class QFile;
class QIODevice;

// The error domain of failures found by the library itself, and the domain of
// errors that Flickr reports in its answers ("err" "code" and "msg").
inline constexpr char OFFlickrAPIRequestErrorDomain[] = "org.quorvel.Aperkit";
inline constexpr char OFFlickrAPIReturnedErrorDomain[] = "com.flickr";

// Codes in OFFlickrAPIRequestErrorDomain.
enum : qint64 {
    OFFlickrAPIRequestConnectionError = 0x7FFF0001,
    OFFlickrAPIRequestTimeoutError = 0x7FFF0002,
    OFFlickrAPIRequestFaultyXMLResponseError = 0x7FFF0003,
    OFFlickrAPIRequestOAuthError = 0x7FFF0004,
    OFFlickrAPIRequestAnswerTooLargeError = 0x7FFF0005,
    OFFlickrAPIRequestUnknownError = 0x7FFF0042,
};

// userInfo key of an OAuth error: the whole answer text.
inline constexpr char OFFlickrAPIRequestOAuthErrorUserInfoKey[] = "OAuthError";

struct OFError {
    QString domain;
    qint64 code = 0;
    QString failureReason; // empty: none
    QVariantMap userInfo;

    // The failure reason, or "The operation couldn't be completed. (<domain> error <code>.)".
    QString localizedDescription() const;
};

// Receives the outcome of an OFFlickrAPIRequest; every callback is optional.
// The request is idle before any callback, so the next call may start inside one.
class OFFlickrAPIRequestDelegate {
public:
    virtual ~OFFlickrAPIRequestDelegate() = 0;

    // response is the "rsp" map of the answer.
    virtual void flickrAPIRequestDidCompleteWithResponse(OFFlickrAPIRequest* request,
                                                         const QVariantMap& response) {}
    virtual void flickrAPIRequestDidFailWithError(OFFlickrAPIRequest* request,
                                                  const OFError& error) {}
    virtual void flickrAPIRequestImageUploadSentBytesTotalBytes(OFFlickrAPIRequest* request,
                                                                quint32 sentBytes,
                                                                quint32 totalBytes) {}
    virtual void flickrAPIRequestDidObtainOAuthRequestTokenSecret(OFFlickrAPIRequest* request,
                                                                  const QString& requestToken,
                                                                  const QString& secret) {}
    // The values as received, still percent-escaped.
    virtual void flickrAPIRequestDidObtainOAuthAccessTokenSecretUserFullNameUserNameUserNSID(
        OFFlickrAPIRequest* request, const QString& accessToken, const QString& secret,
        const QString& fullName, const QString& userName, const QString& userNSID) {}
    // A call Flickr could not serve now is sent again after `seconds`.
    virtual void flickrAPIRequestWillRetryAfterSecondsReason(OFFlickrAPIRequest* request,
                                                             double seconds, const QString& reason) {}
};

// When a call that Flickr could not serve (HTTP 429, 500, 502, 503 or 504
// without a usable answer, error 105, a lost or stalled connection) is sent
// again: after the Retry-After time when one is given, otherwise after waits
// that double from the first, at most `attempts` times in all.
struct OFRetryPolicy {
    int attempts = 5;
    qint64 firstWaitMs = 5000;
    qint64 firstThrottledWaitMs = 60000; // HTTP 429: Flickr asks to slow down
    qint64 maxWaitMs = 30 * 60000;

    // The wait before attempt `failures` + 1; a Retry-After value wins.
    qint64 waitMs(int failures, bool throttled, qint64 retryAfterMs) const;
    // Retry-After as seconds or an HTTP date; -1 when absent or unreadable.
    static qint64 retryAfterMs(const QByteArray& value, const QDateTime& now);
};

inline OFFlickrAPIRequestDelegate::~OFFlickrAPIRequestDelegate() = default;

// One Flickr call in flight at a time: signs through its context (OAuth when
// the context holds a token and its secret, else legacy), runs the exchange,
// maps the XML answer and reports "stat" "ok" or the error. The HTTP status
// plays no part; the body alone decides. All starts answer false, changing
// nothing, while a call runs.
class OFFlickrAPIRequest : public QObject, private LFHTTPRequestDelegate {
    Q_OBJECT
public:
    explicit OFFlickrAPIRequest(std::shared_ptr<OFFlickrAPIContext> context,
                                QObject* parent = nullptr);
    ~OFFlickrAPIRequest() override;

    OFFlickrAPIRequestDelegate* delegate() const { return m_delegate; }
    void setDelegate(OFFlickrAPIRequestDelegate* delegate) { m_delegate = delegate; }
    // The caller's tag, carried unchanged.
    QVariant sessionInfo() const { return m_sessionInfo; }
    void setSessionInfo(const QVariant& info) { m_sessionInfo = info; }
    std::shared_ptr<OFFlickrAPIContext> context() const { return m_context; }

    // The stall limit in seconds (see LFHTTPRequest).
    double requestTimeoutInterval() const;
    void setRequestTimeoutInterval(double seconds);

    bool isRunning() const;
    // Stops without any delegate message and removes the upload's temporary file.
    void cancel();

    bool callAPIMethodWithGETArguments(const QString& method, const QVariantMap& arguments = {});
    bool callAPIMethodWithPOSTArguments(const QString& method, const QVariantMap& arguments = {});
    // Copies the picture into a multipart body in a temporary file and posts
    // it to the upload endpoint; an empty file name is replaced by a UUID.
    bool uploadImageStreamSuggestedFilenameMIMETypeArguments(QIODevice* imageStream,
                                                             const QString& suggestedFilename,
                                                             const QString& MIMEType,
                                                             const QVariantMap& arguments = {});
    bool fetchOAuthRequestTokenWithCallbackURL(const QUrl& callbackURL);
    // The context must hold the request token's secret.
    bool fetchOAuthAccessTokenWithRequestTokenVerifier(const QString& requestToken,
                                                       const QString& verifier);

    // The upload's temporary file while one is prepared or running.
    QString uploadTempFilename() const { return m_uploadTempFilename; }

    // The retries of every request of the process.
    static OFRetryPolicy& retryPolicy();
    // The longest answer a call takes: a page of 500 pictures is under 1 MiB,
    // so an answer past this is broken or hostile and the call is given up.
    static constexpr quint64 kMaximumAnswerSize = quint64(64) << 20;
    // Attempts made so far of the call in flight.
    int attempts() const { return m_attempt + 1; }

private:
    struct Call {
        bool post = false;
        QVariantMap arguments; // with "method"
    };

    void httpRequestSentBytesTotal(LFHTTPRequest* request, quint64 sentBytes,
                                   quint64 total) override;
    void httpRequestDidReceiveStatusCodeURLResponseHeader(LFHTTPRequest* request, quint32 statusCode,
                                                          const QUrl& finalURL,
                                                          const LFHTTPResponseHeader& header) override;
    void httpRequestReceivedBytesExpectedTotal(LFHTTPRequest* request, quint64 receivedBytes,
                                               quint64 expectedTotal) override;
    void httpRequestDidComplete(LFHTTPRequest* request) override;
    void httpRequestDidFailWithError(LFHTTPRequest* request, const QString& error) override;

    bool fetchOAuthToken(const QString& url, const QVariantMap& arguments, const QString& tag);
    void handleOAuthTokenAnswer(const QString& tag, const QByteArray& body);
    void handleAPIAnswer(const QByteArray& body);
    bool writeMultipartFile(const QString& path, QIODevice* imageStream, const QByteArray& head,
                            const QByteArray& tail);
    void failWith(const OFError& error);
    // Stops a call whose answer is too long to be a real one.
    void giveUpOnTooLargeAnswer();
    void cleanUpTempFile();
    bool startCall(Call call);
    void scheduleSend(qint64 extraWaitMs);
    bool sendCall();
    // Sends the call again if the policy allows; false when it is given up.
    bool retry(const QString& reason, bool throttled);

    std::shared_ptr<OFFlickrAPIContext> m_context;
    LFHTTPRequest* m_HTTPRequest = nullptr;
    OFFlickrAPIRequestDelegate* m_delegate = nullptr;
    QVariant m_sessionInfo;
    QString m_uploadTempFilename;
    QPointer<QFile> m_uploadFile;
    std::optional<Call> m_call;
    int m_attempt = 0;
    QPointer<QObject> m_waiting; // while a call waits for its turn or a retry
    quint32 m_status = 0;
    QByteArray m_retryAfter;
};
