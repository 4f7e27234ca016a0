#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

// The two facts about the default route that site reachability needs.
struct LFReachabilityFlags {
    bool reachable = false;
    bool connectionRequired = false;
    bool operator==(const LFReachabilityFlags&) const = default;
};

// Where the flags come from. The system source uses QNetworkInformation when a
// backend loads and knows the state, else the kernel's routing table.
class LFReachabilitySource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The flags now, or nothing when they cannot be read.
    virtual std::optional<LFReachabilityFlags> currentFlags() = 0;

    static std::unique_ptr<LFReachabilitySource> createSystemSource();
    // The QNetworkInformation backend that loads here, or "default-route probe".
    static QString systemBackendName();

signals:
    // Emitted when readable flags differ from the last ones emitted or read.
    void flagsChanged(LFReachabilityFlags flags);
};

// True when either routing table (the text of /proc/net/route and
// /proc/net/ipv6_route) holds a usable default route.
bool LFDefaultRoutePresent(const QByteArray& ipv4Routes, const QByteArray& ipv6Routes);
