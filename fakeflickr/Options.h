#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace fakeflickr {

// The demo key and secret; the application's build uses the same literals by default.
inline constexpr const char* kDemoApiKey = "3f2a9c1e5b7d4a6f8e0c2b4d6f8a0c1e";
inline constexpr const char* kDemoSharedSecret = "9d8c7b6a5f4e3d2c";

struct Options {
    int photos = 1000;
    quint64 seed = 1;
    int sets = -1;  // -1: a count that suits the stream size
    QString userName = QStringLiteral("tessaly_demo");
    QString fullName = QStringLiteral("Tessaly Demo");
    QString apiKey = QString::fromLatin1(kDemoApiKey);
    QString sharedSecret = QString::fromLatin1(kDemoSharedSecret);
    QStringList faults;  // "KIND:TARGET" texts, see Faults.h
    // A Pro account: Flickr shows its owner the "Video Original" of a video.
    bool pro = true;

    // Milliseconds on a monotonic clock, read whenever the service judges time;
    // empty: the system's. Tests script it to move the budget without waiting.
    std::function<qint64()> clockMs;
    // Flickr's per-key budget: on average at most callsPerHour calls an hour and
    // `burst` at once; calls beyond it are answered HTTP 429. 0: unlimited.
    double callsPerHour = 0;
    int burst = 4;
    bool sendRetryAfter = true;  // a 429 of the budget says when to come back
};

} // namespace fakeflickr
