#pragma once

// Tessaly's own Flickr client in the stand-in's tests: one request, what it reports,
// and the event loop run until it has.

#include "OFFlickrAPIRequest.h"
#include "OFXMLMapper.h"
#include "ServiceClient.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace fftest {

class Recorder : public OFFlickrAPIRequestDelegate {
public:
    void flickrAPIRequestDidCompleteWithResponse(OFFlickrAPIRequest*, const QVariantMap& rsp) override {
        response = rsp;
        done = true;
    }
    void flickrAPIRequestDidFailWithError(OFFlickrAPIRequest*, const OFError& e) override {
        error = e;
        failed = done = true;
    }
    void flickrAPIRequestDidObtainOAuthRequestTokenSecret(OFFlickrAPIRequest*, const QString& t, const QString& s) override {
        token = t;
        secret = s;
        done = true;
    }
    void flickrAPIRequestDidObtainOAuthAccessTokenSecretUserFullNameUserNameUserNSID(
        OFFlickrAPIRequest*, const QString& t, const QString& s, const QString& full, const QString& user,
        const QString& nsid) override {
        token = t;
        secret = s;
        identity = {full, user, nsid};
        done = true;
    }
    void flickrAPIRequestWillRetryAfterSecondsReason(OFFlickrAPIRequest*, double seconds, const QString& reason) override {
        retries << reason;
        retryWaits << seconds;
    }
    void reset() { *this = Recorder(); }
    // Runs the event loop until `until` holds (by default: a callback arrived).
    bool wait(const std::function<bool()>& until = {}) {
        QElapsedTimer timer;
        timer.start();
        const auto reached = [&] { return until ? until() : done; };
        while (!reached() && timer.elapsed() < 10000) {
            QEventLoop loop;
            QTimer::singleShot(10, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return reached();
    }

    bool done = false, failed = false;
    QVariantMap response;
    OFError error;
    QString token, secret;
    QStringList identity, retries;
    QList<double> retryWaits;
};

// One of Tessaly's requests and its recorder, for calls that are waited for.
class ClientCall {
public:
    explicit ClientCall(std::shared_ptr<OFFlickrAPIContext> context) : m_request(std::move(context)) {
        m_request.setDelegate(&recorder);
    }
    // Signs by OAuth with a token, else the legacy way.
    explicit ClientCall(const Credentials& c)
        : ClientCall(std::make_shared<OFFlickrAPIContext>(c.apiKey, c.sharedSecret)) {
        if (!c.token.isEmpty()) {
            context()->setOAuthToken(c.token);
            context()->setOAuthTokenSecret(c.tokenSecret);
        }
    }
    // True when the call completed with stat="ok"; else `recorder.error` says why.
    bool run(const QString& method, const QVariantMap& args = {}, bool post = false) {
        recorder.reset();
        const bool started = post ? m_request.callAPIMethodWithPOSTArguments(method, args)
                                  : m_request.callAPIMethodWithGETArguments(method, args);
        return started && recorder.wait() && !recorder.failed;
    }
    QVariant at(const QString& keyPath) const { return OFValueForKeyPath(recorder.response, keyPath); }
    // Flickr's error code of a failed call, 0 when there was none.
    qint64 errorCode() const {
        return recorder.failed && recorder.error.domain == QLatin1String(OFFlickrAPIReturnedErrorDomain)
                   ? recorder.error.code : 0;
    }
    OFFlickrAPIRequest& request() { return m_request; }
    std::shared_ptr<OFFlickrAPIContext> context() { return m_request.context(); }

    Recorder recorder;

private:
    OFFlickrAPIRequest m_request;
};

} // namespace fftest
