#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace tessaly {

// What an update feed offers: a version and the page to get it from.
struct UpdateOffer {
    QString version;
    QUrl url;
};

// Reads a feed document { "version": "1.2.0", "url": "https://..." }.
// Nothing is offered unless the version is dotted numbers and the address an
// http or https one: the address is opened in the browser on the user's word.
std::optional<UpdateOffer> parseUpdateFeed(const QByteArray& body);

// Compares dotted version numbers part by part ("1.10" is after "1.9", "1.2"
// equals "1.2.0"): negative, zero or positive.
int compareVersions(const QString& a, const QString& b);

} // namespace tessaly
