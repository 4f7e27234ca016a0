#pragma once

// Tessaly's own Flickr client in the stand-in's tests: records what a request
// reports and runs the event loop until it has.

#include "OFFlickrAPIRequest.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

#include <functional>

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
    bool wait(int timeoutMs = 10000, const std::function<bool()>& until = {}) {
        QElapsedTimer timer;
        timer.start();
        const auto reached = [&] { return until ? until() : done; };
        while (!reached() && timer.elapsed() < timeoutMs) {
            QEventLoop loop;
            QTimer::singleShot(10, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return reached();
    }

    bool done = false;
    bool failed = false;
    QVariantMap response;
    OFError error;
    QString token, secret;
    QStringList identity;
    QStringList retries;
    QList<double> retryWaits;
};

} // namespace fftest

#include "OFXMLMapper.h"

#include <memory>

namespace fftest {

// One of Tessaly's requests and its recorder, for calls that are waited for.
class ClientCall {
public:
    explicit ClientCall(std::shared_ptr<OFFlickrAPIContext> context) : m_request(std::move(context)) {
        m_request.setDelegate(&recorder);
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

    Recorder recorder;

private:
    OFFlickrAPIRequest m_request;
};

} // namespace fftest
