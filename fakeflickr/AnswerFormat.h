#pragma once

#include "Signature.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace fakeflickr {

// The form a REST answer is sent in: Flickr's XML ("rest", the default) or its JSON,
// wrapped in a JavaScript call ("jsonFlickrApi(...)" or the "jsoncallback" name)
// unless "nojsoncallback" is 1.
struct AnswerFormat {
    bool json = false;
    QString callback;  // empty: plain JSON

    // Nothing when "format" names a form the stand-in does not speak (Flickr's error 111).
    static std::optional<AnswerFormat> of(const Params& params);
    QByteArray contentType() const;
    // The answer as it goes out; `xml` is the complete <rsp> document of `method`.
    QByteArray render(const QByteArray& xml, const QString& method) const;
};

// Flickr's JSON form of a REST answer: attributes as members, text under "_content",
// repeated elements (and Flickr's lists, even of one item or none) as arrays, and
// "stat" beside the root element; a failure is {"stat":"fail","code":N,"message":...}.
// Attributes are strings, as Flickr's JSON documentation says, but for the paging
// counts, farms, visibility and Pro flags and size dimensions, which Flickr's answers
// carry as numbers. An answer that is no XML stays as it is.
QByteArray jsonFromRest(const QByteArray& xml, const QString& method);

} // namespace fakeflickr
