#include "LFSiteReachability.h"

#include <QTimer>

namespace {

const QUrl kDefaultSiteURL(QStringLiteral("http://www.example.com/"));
constexpr double kProbeTimeout = 15.0;

} // namespace

LFSiteReachability::LFSiteReachability(QObject* parent)
    : QObject(parent), m_siteURL(kDefaultSiteURL), m_siteRequest(new LFHTTPRequest(this)),
      m_timeoutTimer(new QTimer(this)), m_sourceFactory(&LFReachabilitySource::createSystemSource) {
    m_siteRequest->setDelegate(this);
    m_siteRequest->setTimeoutInterval(kProbeTimeout);
    m_timeoutTimer->setSingleShot(true);
    connect(m_timeoutTimer, &QTimer::timeout, this, [this] { reportNotAvailable(); });
}

LFSiteReachability::~LFSiteReachability() {
    m_delegate = nullptr;
    m_siteRequest->setDelegate(nullptr);
    stopChecking();
}

void LFSiteReachability::setReachabilitySourceFactory(
    std::function<std::unique_ptr<LFReachabilitySource>()> factory) {
    m_sourceFactory = factory ? std::move(factory) : &LFReachabilitySource::createSystemSource;
}

void LFSiteReachability::startChecking() {
    stopChecking();
    m_reachability = m_sourceFactory();
    connect(m_reachability.get(), &LFReachabilitySource::flagsChanged, this,
            &LFSiteReachability::handleReachabilityCallbackFlags);
    if (const auto flags = m_reachability->currentFlags())
        handleReachabilityCallbackFlags(*flags);
    else
        m_timeoutTimer->start(static_cast<int>(timeoutInterval() * 1000));
}

void LFSiteReachability::stopChecking() {
    m_siteRequest->cancelWithoutDelegateMessage();
    m_timeoutTimer->stop();
    m_reachability.reset();
    m_lastCheckStatus.clear();
}

bool LFSiteReachability::networkConnectivityExists() {
    const auto flags = LFReachabilitySource::createSystemSource()->currentFlags();
    return flags && flags->reachable;
}

void LFSiteReachability::handleReachabilityCallbackFlags(const LFReachabilityFlags& flags) {
    m_timeoutTimer->stop();
    if (!flags.reachable) {
        reportNotAvailable();
        return;
    }
    const QString wifi = QString::fromLatin1(LFSiteReachabilityConnectionTypeWiFi);
    if (!m_siteURL.isEmpty()) {
        m_siteRequest->cancelWithoutDelegateMessage();
        m_siteRequest->setSessionInfo(wifi);
        if (!m_siteRequest->performMethodOnURLWithData(QStringLiteral("HEAD"), m_siteURL))
            reportNotAvailable();
        return;
    }
    if (m_lastCheckStatus == wifi)
        return;
    m_lastCheckStatus = wifi;
    if (flags.connectionRequired)
        reportNotAvailable();
    else if (m_delegate)
        m_delegate->reachabilitySiteIsAvailableOverConnectionType(this, m_siteURL, wifi);
}

void LFSiteReachability::httpRequestDidComplete(LFHTTPRequest* request) {
    // Any answer, whatever its status, shows the site is there.
    const QString type = request->sessionInfo().toString();
    if (m_lastCheckStatus == type)
        return;
    m_lastCheckStatus = type;
    if (m_delegate)
        m_delegate->reachabilitySiteIsAvailableOverConnectionType(this, m_siteURL, type);
}

void LFSiteReachability::httpRequestDidFailWithError(LFHTTPRequest*, const QString&) {
    reportNotAvailable();
}

void LFSiteReachability::reportNotAvailable() {
    const QString notReachable = QString::fromLatin1(LFSiteReachabilityNotReachable);
    if (m_lastCheckStatus == notReachable)
        return;
    m_lastCheckStatus = notReachable;
    if (m_delegate)
        m_delegate->reachabilitySiteIsNotAvailable(this, m_siteURL);
}
