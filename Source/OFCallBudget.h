#pragma once

#include <QtGlobal>

// How many Flickr calls the process may make: on average at most
// `callsPerHour`, with a burst of a few at once (a token bucket). Flickr asks
// every API key to stay under 3,600 calls an hour and disables keys that do not.
class OFCallBudget {
public:
    static constexpr double kFlickrCallsPerHour = 3600;
    static constexpr int kBurst = 4;

    // The paces a person may ask for: slower makes no progress, faster is no
    // pace at all.
    static constexpr double kMinimumCallsPerHour = 1;
    static constexpr double kMaximumCallsPerHour = 100000;
    static bool isAllowedPace(double callsPerHour) {
        return callsPerHour >= kMinimumCallsPerHour && callsPerHour <= kMaximumCallsPerHour;
    }

    // 0 calls per hour: unpaced.
    void setCallsPerHour(double callsPerHour, int burst = kBurst);
    double callsPerHour() const { return m_perHour; }
    bool isPaced() const { return m_perHour > 0; }

    // Takes the next call's place: the milliseconds to wait before it may go.
    qint64 reserve(qint64 nowMs);
    // Seconds that `calls` further calls take at this pace (0 when unpaced).
    double secondsFor(qint64 calls) const;

    // The budget every request of the process shares. Unless set, Flickr's own
    // pace for its hosts; a stand-in service (TESSALY_FLICKR_ENDPOINT) runs unpaced.
    static OFCallBudget& shared();

private:
    double m_perHour = 0;
    int m_burst = kBurst;
    double m_tokens = kBurst;
    qint64 m_lastMs = -1;
};
