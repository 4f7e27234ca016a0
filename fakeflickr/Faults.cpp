#include "Faults.h"

#include <QHash>

#include <cstring>

namespace fakeflickr {

namespace {

std::optional<Fault> fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return std::nullopt;
}

bool isDigits(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!c.isDigit())
            return false;
    return true;
}

// Takes "#COUNT" and "~SECONDS" off the end of the text, in either order.
bool takeSuffixes(QString* body, Fault* f, QString* error) {
    static const QRegularExpression suffix(QStringLiteral("([#~])([^#~]*)$"));
    for (QRegularExpressionMatch m = suffix.match(*body); m.hasMatch(); m = suffix.match(*body)) {
        const bool count = m.captured(1) == QLatin1String("#");
        int& field = count ? f->remaining : f->retryAfter;
        bool ok = false;
        const int value = m.captured(2).toInt(&ok);
        if (!ok || !isDigits(m.captured(2)) || field != -1 || (count && value < 1)) {
            fail(error, QStringLiteral("bad \"%1\" in \"%2\"").arg(m.captured(0), f->text));
            return false;
        }
        field = value;
        body->chop(m.capturedLength(0));
    }
    return true;
}

// "httpNNN" as a status the fault may answer, or 0.
int httpStatusOf(const QString& kindName, bool onFile) {
    static const QList<int> onCalls = {429, 500, 502, 503, 504};
    static const QList<int> onFiles = {403, 404, 410, 429, 500, 502, 503, 504};
    if (!kindName.startsWith(QLatin1String("http")) || !isDigits(kindName.mid(4)))
        return 0;
    const int status = kindName.mid(4).toInt();
    return (onFile ? onFiles : onCalls).contains(status) ? status : 0;
}

} // namespace

std::optional<Fault> Fault::parse(const QString& text, QString* error) {
    static const QHash<QString, Kind> kinds = {
        {"stall", Kind::Stall}, {"drop", Kind::Drop}, {"truncate", Kind::Drop},
        {"malformed", Kind::Malformed}, {"error", Kind::Error}, {"fail", Kind::Http},
        {"endless", Kind::Endless}, {"html", Kind::Html}, {"empty", Kind::Empty}, {"redirect", Kind::Redirect},
        {"nolist", Kind::NoList}, {"claim", Kind::Claim}};
    Fault f;
    f.text = text;
    QString body = text;
    if (!takeSuffixes(&body, &f, error))
        return std::nullopt;
    const int colon = body.indexOf(QLatin1Char(':'));
    const QString kindName = colon < 0 ? body : body.left(colon);
    QString target = body.mid(colon + 1);
    const bool onFile = colon >= 0 && target.startsWith(QLatin1String("file:"));
    if (kindName.startsWith(QLatin1String("http"))) {
        f.kind = Kind::Http;
        f.httpStatus = httpStatusOf(kindName, onFile);
        if (colon < 0 || f.httpStatus == 0)
            return fail(error, QStringLiteral("\"%1\" is no status the stand-in answers %2 in \"%3\"")
                                   .arg(kindName, onFile ? QStringLiteral("for a file") : QStringLiteral("for a call"), text));
    } else if (colon < 0 || !kinds.contains(kindName)) {
        return fail(error, QStringLiteral("unknown fault kind in \"%1\"").arg(text));
    } else {
        f.kind = kinds.value(kindName);
    }

    if (onFile) {
        f.onFile = true;
        QString name = target.mid(5);
        if (kindName == QLatin1String("fail")) {
            const int last = name.lastIndexOf(QLatin1Char(':'));
            bool ok = false;
            const int count = last < 0 ? -1 : name.mid(last + 1).toInt(&ok);
            if (last < 0 || !ok || count < 1 || f.remaining != -1)
                return fail(error, QStringLiteral("fail:file:NAME:COUNT needs a count (and no #COUNT) in \"%1\"").arg(text));
            f.remaining = count;
            f.httpStatus = 500;
            name = name.left(last);
        }
        if (f.kind == Kind::Malformed || f.kind == Kind::Error || f.kind == Kind::NoList || f.kind == Kind::Claim ||
            name.isEmpty())
            return fail(error, QStringLiteral("\"%1\" does not apply to a file").arg(text));
        f.fileName = QRegularExpression(QRegularExpression::wildcardToRegularExpression(
            name, QRegularExpression::UnanchoredWildcardConversion));
        f.fileName.setPattern(QStringLiteral("^(?:%1)$").arg(f.fileName.pattern()));
        return f;
    }
    if (kindName == QLatin1String("truncate") || kindName == QLatin1String("fail") || f.kind == Kind::Html ||
        f.kind == Kind::Redirect)
        return fail(error, QStringLiteral("\"%1\" applies to files only").arg(text));

    if (f.kind == Kind::Error) {
        const int last = target.lastIndexOf(QLatin1Char(':'));
        const int at = target.indexOf(QLatin1Char('@'));
        bool ok = false;
        if (last > 0) {
            f.errorCode = target.mid(last + 1).toInt(&ok);
            target = target.left(last);
        } else if (at > 0) {
            // METHOD@ID=CODE
            const int eq = target.lastIndexOf(QLatin1Char('='));
            if (eq > at && isDigits(target.mid(at + 1, eq - at - 1))) {
                f.errorCode = target.mid(eq + 1).toInt(&ok);
                target = target.left(eq);
            }
        }
        if (!ok)
            return fail(error, QStringLiteral("error:METHOD[@SEL]:CODE needs a code in \"%1\"").arg(text));
    }
    if (f.kind == Kind::Claim) {
        const int last = target.lastIndexOf(QLatin1Char(':'));
        const int eq = target.indexOf(QLatin1Char('='), last + 1);
        if (last <= 0 || eq <= last + 1)
            return fail(error, QStringLiteral("claim:METHOD[@SEL]:ATTR=VALUE needs an attribute in \"%1\"").arg(text));
        f.claimName = target.mid(last + 1, eq - last - 1);
        f.claimValue = target.mid(eq + 1);
        target = target.left(last);
    }

    const int at = target.indexOf(QLatin1Char('@'));
    f.method = at < 0 ? target : target.left(at);
    if (f.method.isEmpty())
        return fail(error, QStringLiteral("no method in \"%1\"").arg(text));
    if (at >= 0) {
        const QString selector = target.mid(at + 1);
        const int eq = selector.indexOf(QLatin1Char('='));
        if (eq < 0 && isDigits(selector)) {
            f.argName = QStringLiteral("photo_id");
            f.argValue = selector;
        } else if (eq > 0) {
            f.argName = selector.left(eq);
            f.argValue = selector.mid(eq + 1);
            if (f.argName == QLatin1String("photo"))
                f.argName = QStringLiteral("photo_id");
        } else {
            return fail(error, QStringLiteral("bad selector in \"%1\"").arg(text));
        }
    }
    return f;
}

bool Fault::matchesCall(const QString& callMethod, const Params& args) const {
    if (onFile || callMethod != method)
        return false;
    if (argName.isEmpty())
        return true;
    // Flickr's first page is page 1 when none is asked for.
    const QString value = argName == QLatin1String("page") ? args.value(argName, QStringLiteral("1"))
                                                           : args.value(argName);
    return value == argValue;
}

bool Fault::matchesFile(const QString& name) const {
    return onFile && fileName.match(name).hasMatch();
}

bool FaultList::add(const QString& text, QString* error) {
    auto fault = Fault::parse(text, error);
    if (!fault)
        return false;
    m_faults << *fault;
    return true;
}

template <typename Match>
static std::optional<Fault> take(QList<Fault>& faults, Match match) {
    for (int i = 0; i < faults.size(); ++i) {
        if (!match(faults[i]))
            continue;
        const Fault found = faults[i];
        if (faults[i].remaining > 0 && --faults[i].remaining == 0)
            faults.removeAt(i);
        return found;
    }
    return std::nullopt;
}

std::optional<Fault> FaultList::takeForCall(const QString& method, const Params& args) {
    return take(m_faults, [&](const Fault& f) { return f.matchesCall(method, args); });
}

std::optional<Fault> FaultList::takeForFile(const QString& name) {
    return take(m_faults, [&](const Fault& f) { return f.matchesFile(name); });
}

QByteArray rewriteAnswer(const QByteArray& body, const Fault& fault) {
    const qsizetype rsp = body.indexOf("<rsp");
    const qsizetype listStart = body.indexOf('<', body.indexOf('>', rsp) + 1);
    if (rsp < 0 || listStart < 0 || body.at(listStart + 1) == '/')
        return body; // nothing inside <rsp>
    qsizetype nameEnd = listStart + 1;
    while (nameEnd < body.size() && !std::strchr(" \t\r\n/>", body.at(nameEnd)))
        ++nameEnd;
    const QByteArray name = body.mid(listStart + 1, nameEnd - listStart - 1);
    const qsizetype startEnd = body.indexOf('>', listStart);
    const QByteArray closing = "</" + name + ">";
    const qsizetype listEnd = body.lastIndexOf(closing);
    switch (fault.kind) {
    case Fault::Kind::NoList:
        return body.left(listStart) + body.mid(listEnd < 0 ? startEnd + 1 : listEnd + closing.size());
    case Fault::Kind::Empty:
        if (listEnd < 0)
            return body; // empty already
        return body.left(startEnd + 1) + "\n" + body.mid(listEnd);
    case Fault::Kind::Claim: {
        QString text = QString::fromUtf8(body);
        text.replace(QRegularExpression(QStringLiteral(" %1=\"[^\"]*\"").arg(QRegularExpression::escape(fault.claimName))),
                     QStringLiteral(" %1=\"%2\"").arg(fault.claimName, fault.claimValue.toHtmlEscaped()));
        return text.toUtf8();
    }
    default:
        return body;
    }
}

QString flickrErrorMessage(int code) {
    switch (code) {
    case 1: return QStringLiteral("Photo not found");
    case 2: return QStringLiteral("Permission denied");
    case 96: return QStringLiteral("Invalid signature");
    case 97: return QStringLiteral("Missing signature");
    case 98: return QStringLiteral("Invalid auth token");
    case 99: return QStringLiteral("Insufficient permissions");
    case 100: return QStringLiteral("Invalid API Key (Key not found)");
    case 105: return QStringLiteral("Service currently unavailable");
    case 106: return QStringLiteral("Write operation failed");
    case 112: return QStringLiteral("Method not found");
    default: return QStringLiteral("Error %1").arg(code);
    }
}

} // namespace fakeflickr
