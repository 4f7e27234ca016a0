#pragma once

#include <QHash>
#include <QString>

namespace fakeflickr {

// Flickr's call budget of each API key: a token bucket that holds `burst` calls
// and refills at callsPerHour an hour.
class CallBudget {
public:
    CallBudget(double callsPerHour, int burst);

    bool isLimited() const { return m_perMs > 0; }
    // 0 when the key's call may go ahead, which spends one call of its budget;
    // otherwise the whole seconds until a call would be allowed (at least 1),
    // and nothing is spent.
    int take(const QString& key, qint64 nowMs);

private:
    struct Bucket {
        double calls = 0;
        qint64 atMs = 0;
    };
    double m_perMs;
    double m_burst;
    QHash<QString, Bucket> m_buckets;
};

} // namespace fakeflickr
