#pragma once

#include <QString>

namespace tessaly::sync {

// A duration as people read it: "45 seconds", "3 minutes", "2 hours 5 minutes".
QString durationText(double seconds);
// Beside the progress of a stage that makes a call per picture.
QString estimateText(double seconds);
// While a call or a file waits to be tried again.
QString retryText(const QString& reason, double seconds);
// Whether a progress detail tells of such a wait (not of the time left).
bool isRetryText(const QString& text);

// The pace of a stage: the time per item, measured as the items arrive
// (a moving average), and never faster than the call budget allows.
class PaceEstimate {
public:
    void reset() { m_lastMs = -1, m_average = 0, m_samples = 0; }
    // An item was done at this time.
    void itemDone(qint64 nowMs);
    // Seconds for `remaining` further items; -1 while too little is known.
    double secondsFor(qint64 remaining, double budgetSecondsPerItem) const;

private:
    qint64 m_lastMs = -1;
    double m_average = 0;
    int m_samples = 0;
};

} // namespace tessaly::sync
