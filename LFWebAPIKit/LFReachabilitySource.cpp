#include "LFReachabilitySource.h"

#include <QFile>
#include <QList>
#include <QNetworkInformation>
#include <QTimer>

namespace {

constexpr int kRoutePollIntervalMs = 2000;
constexpr unsigned kRouteUp = 0x0001;     // RTF_UP
constexpr unsigned kRouteReject = 0x0200; // RTF_REJECT

QNetworkInformation* loadedNetworkInformation() {
    static const bool loaded =
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    return loaded ? QNetworkInformation::instance() : nullptr;
}

std::optional<QByteArray> readProcFile(const char* path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::optional<LFReachabilityFlags> routeTableFlags() {
    const auto v4 = readProcFile("/proc/net/route");
    const auto v6 = readProcFile("/proc/net/ipv6_route");
    if (!v4 && !v6)
        return std::nullopt;
    return LFReachabilityFlags{
        LFDefaultRoutePresent(v4.value_or(QByteArray()), v6.value_or(QByteArray())), false};
}

class SystemSource : public LFReachabilitySource {
public:
    SystemSource() {
        if (QNetworkInformation* info = loadedNetworkInformation())
            connect(info, &QNetworkInformation::reachabilityChanged, this, [this] { poll(); });
        // The routing table sends no notice of changes, so it is looked at now and then.
        m_poll.setInterval(kRoutePollIntervalMs);
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        m_poll.start();
    }

    std::optional<LFReachabilityFlags> currentFlags() override {
        m_last = readFlags();
        return m_last;
    }

private:
    static std::optional<LFReachabilityFlags> readFlags() {
        if (QNetworkInformation* info = loadedNetworkInformation()) {
            switch (info->reachability()) {
            case QNetworkInformation::Reachability::Online:
            case QNetworkInformation::Reachability::Site:
                return LFReachabilityFlags{true, false};
            case QNetworkInformation::Reachability::Disconnected:
            case QNetworkInformation::Reachability::Local:
                return LFReachabilityFlags{false, false};
            case QNetworkInformation::Reachability::Unknown:
                break;
            }
        }
        return routeTableFlags();
    }

    void poll() {
        const auto flags = readFlags();
        if (!flags || flags == m_last)
            return;
        m_last = flags;
        emit flagsChanged(*flags);
    }

    QTimer m_poll;
    std::optional<LFReachabilityFlags> m_last;
};

} // namespace

std::unique_ptr<LFReachabilitySource> LFReachabilitySource::createSystemSource() {
    return std::make_unique<SystemSource>();
}

QString LFReachabilitySource::systemBackendName() {
    if (QNetworkInformation* info = loadedNetworkInformation())
        return info->backendName();
    return QStringLiteral("default-route probe");
}

bool LFDefaultRoutePresent(const QByteArray& ipv4Routes, const QByteArray& ipv6Routes) {
    // IPv4: Iface Destination Gateway Flags ... (hex), after a header line.
    const QList<QByteArray> v4Lines = ipv4Routes.split('\n');
    for (qsizetype i = 1; i < v4Lines.size(); ++i) {
        const QList<QByteArray> f = v4Lines[i].simplified().split(' ');
        if (f.size() < 4)
            continue;
        const unsigned flags = f[3].toUInt(nullptr, 16);
        if (f[1] == "00000000" && (flags & kRouteUp) && !(flags & kRouteReject))
            return true;
    }
    // IPv6: destination, prefix length, ..., flags (9th field), device; no header.
    for (const QByteArray& line : ipv6Routes.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 10)
            continue;
        const unsigned flags = f[8].toUInt(nullptr, 16);
        if (f[0] == QByteArray(32, '0') && f[1] == "00" && (flags & kRouteUp) &&
            !(flags & kRouteReject) && f[9] != "lo")
            return true;
    }
    return false;
}
