#pragma once

#include "LFHTTPRequest.h"
#include "LFReachabilitySource.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class LFSiteReachability;
class QTimer;

inline constexpr char LFSiteReachabilityConnectionTypeWiFi[] =
    "LFSiteReachabilityConnectionTypeWiFi";
inline constexpr char LFSiteReachabilityNotReachable[] = "LFSiteReachabilityNotReachable";

// Both callbacks optional; each reports a change of state only.
class LFSiteReachabilityDelegate {
public:
    virtual ~LFSiteReachabilityDelegate() = 0;
    virtual void reachabilitySiteIsAvailableOverConnectionType(LFSiteReachability* reachability,
                                                               const QUrl& site,
                                                               const QString& connectionType) {}
    virtual void reachabilitySiteIsNotAvailable(LFSiteReachability* reachability,
                                                const QUrl& site) {}
};

inline LFSiteReachabilityDelegate::~LFSiteReachabilityDelegate() = default;

// Watches whether the network has a default route and, whenever it does,
// confirms with a HEAD request of the site that any answer comes back.
class LFSiteReachability : public QObject, private LFHTTPRequestDelegate {
    Q_OBJECT
public:
    explicit LFSiteReachability(QObject* parent = nullptr);
    ~LFSiteReachability() override;

    LFSiteReachabilityDelegate* delegate() const { return m_delegate; }
    void setDelegate(LFSiteReachabilityDelegate* delegate) { m_delegate = delegate; }
    // Empty: no probe, the default route alone decides.
    QUrl siteURL() const { return m_siteURL; }
    void setSiteURL(const QUrl& url) { m_siteURL = url; }
    // The probe's stall limit, 15 seconds by default; also the wait for a first state.
    double timeoutInterval() const { return m_siteRequest->timeoutInterval(); }
    void setTimeoutInterval(double seconds) { m_siteRequest->setTimeoutInterval(seconds); }

    void startChecking();
    void stopChecking();
    bool isChecking() const { return m_reachability != nullptr; }

    // A one-off question: can the default route's state be read, and is it reachable?
    static bool networkConnectivityExists();

    // Handles a new state of the default route (called by the source; public for tests).
    void handleReachabilityCallbackFlags(const LFReachabilityFlags& flags);
    // Replaces the system source for the next startChecking (tests).
    void
    setReachabilitySourceFactory(std::function<std::unique_ptr<LFReachabilitySource>()> factory);

    // The last reported state, empty before the first report.
    QString lastCheckStatus() const { return m_lastCheckStatus; }

private:
    void httpRequestDidComplete(LFHTTPRequest* request) override;
    void httpRequestDidFailWithError(LFHTTPRequest* request, const QString& error) override;
    void reportNotAvailable();

    LFSiteReachabilityDelegate* m_delegate = nullptr;
    QUrl m_siteURL;
    std::unique_ptr<LFReachabilitySource> m_reachability;
    LFHTTPRequest* m_siteRequest = nullptr;
    QTimer* m_timeoutTimer = nullptr;
    QString m_lastCheckStatus;
    std::function<std::unique_ptr<LFReachabilitySource>()> m_sourceFactory;
};
