#pragma once

#include "Signature.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

#include <optional>

namespace fakeflickr {

// A fault the service injects, written "KIND:TARGET[#COUNT][~SECONDS]":
//   stall:METHOD[@SEL]      accept the call and never answer
//   drop:METHOD[@SEL]       close the connection in the middle of the answer
//   httpNNN:METHOD[@SEL]    answer HTTP NNN with an HTML page: 429, 500, 502, 503 or 504
//   malformed:METHOD[@SEL]  answer XML that does not parse
//   error:METHOD[@SEL]:CODE a Flickr error answer with that code (also METHOD@ID=CODE)
//   empty:METHOD[@SEL]      an "ok" answer whose list keeps its attributes but holds no items
//   nolist:METHOD[@SEL]     an "ok" answer without its list element
//   claim:METHOD[@SEL]:ATTR=VALUE  an answer whose ATTR attributes all say VALUE
//                           (a count or page total that is not so)
//   stall:file:NAME, drop:file:NAME, truncate:file:NAME (fewer bytes than Content-Length),
//   httpNNN:file:NAME (429, 500, 502, 503, 504, and the lasting 403, 404, 410 of
//   removed or withheld files), fail:file:NAME:COUNT (HTTP 500 COUNT times, then the file)
//   endless:METHOD[@SEL], endless:file:NAME  HTTP 200 with no length and a body that never ends
//   html:file:NAME, empty:file:NAME  HTTP 200 with a small HTML page, or with no body at all
//   redirect:file:NAME  HTTP 302 to a local file (file:///etc/hostname)
// SEL is page=N, photo=ID (photo_id), any ARG=VALUE, or a bare photo id. NAME may use "*".
// "#COUNT": the fault applies COUNT times, then is gone. "~SECONDS": the answer
// carries "Retry-After: SECONDS".
struct Fault {
    enum class Kind { Stall, Drop, Http, Malformed, Error, Endless, Html, Empty, Redirect, NoList, Claim };

    Kind kind = Kind::Stall;
    bool onFile = false;
    QString method;        // for API calls
    QString argName;       // selector, empty for every call
    QString argValue;
    QRegularExpression fileName;
    int httpStatus = 0;    // for Kind::Http
    int errorCode = 0;
    QString claimName;     // for Kind::Claim
    QString claimValue;
    int remaining = -1;    // -1: every time
    int retryAfter = -1;   // seconds, -1: no Retry-After
    QString text;          // as given

    static std::optional<Fault> parse(const QString& text, QString* error = nullptr);
    bool matchesCall(const QString& method, const Params& args) const;
    bool matchesFile(const QString& name) const;
};

class FaultList {
public:
    bool add(const QString& text, QString* error = nullptr);
    void clear() { m_faults.clear(); }
    // The first fault that applies; a counted fault is used up by the match.
    std::optional<Fault> takeForCall(const QString& method, const Params& args);
    std::optional<Fault> takeForFile(const QString& name);

private:
    QList<Fault> m_faults;
};

// Flickr's message for an error code of a method, for injected errors.
QString flickrErrorMessage(int code);

// An "ok" answer as an Empty, NoList or Claim fault changes it.
QByteArray rewriteAnswer(const QByteArray& body, const Fault& fault);

} // namespace fakeflickr
