// tessaly-cli connect: the authorization in the browser, as the connect
// button runs it, with the callback address taken from the browser's launch
// of Tessaly or from standard input.
#include "CallbackSources.h"
#include "Commands.h"
#include "Console.h"
#include "InputLines.h"
#include "Session.h"

#include <QRegularExpression>

namespace tessaly::cli {

namespace {

int connected(Session& session) {
    const QString title = session.controls().oauthAuthButton->title().trimmed();
    const QString address = session.state().accountRows[session.currentIndex()].accountUrl();
    session.console().out(address.isEmpty() ? title : title + ": " + address);
    return ExitOk;
}

// Starts the authorization with one of the sheet's buttons and waits for the
// authorize address; false when Flickr did not give one.
bool beginAuthorization(Session& session, Button* button) {
    button->performClick();
    session.waitUntil(
        [&] { return !session.platform().openedURLs().isEmpty() || !session.requestRunning(); });
    if (!session.platform().openedURLs().isEmpty())
        return true;
    session.settle();
    session.console().error("Flickr did not begin the authorization");
    return false;
}

// The access token arrives; then the user's confirmation of the sheet.
void finishAuthorization(Session& session) {
    session.waitUntil([&] { return !session.requestRunning(); });
    session.controls().checkConnectionButton->performClick();
}

// The browser step: the authorize address out, the callback address in.
bool authorizeInBrowser(Session& session, CallbackSources& sources) {
    auto& c = session.controls();
    Console& console = session.console();
    if (!beginAuthorization(session, c.oauthAuthButton))
        return false;
    console.note("Allow Tessaly on the page above in your browser. If the browser cannot hand the "
                 "tessaly://callback address back to Tessaly, paste it here.");
    session.waitUntil([&] { return sources.received() || sources.exhausted(); });
    if (!sources.received()) {
        console.error("no tessaly://callback address arrived");
        return false;
    }
    if (sources.fromChannel()) {
        session.app().handleIncomingURL(sources.callback());
    } else {
        c.callbackURLTextField->setStringValue(sources.callback());
        c.useCallbackURLButton->performClick();
    }
    finishAuthorization(session);
    return true;
}

// The code Flickr shows, written as it shows it (123-456-789); "" when the
// text is not nine digits in groups of three.
QString verifierCode(const QString& text) {
    static const QRegularExpression code(
        QStringLiteral("^(\\d{3})[-\\s]?(\\d{3})[-\\s]?(\\d{3})$"));
    const QRegularExpressionMatch match = code.match(text);
    return match.hasMatch()
               ? QStringList{match.captured(1), match.captured(2), match.captured(3)}.join('-')
               : QString();
}

// Sign-in with a code: the authorize address out, the code typed in.
bool authorizeWithCode(Session& session) {
    auto& c = session.controls();
    Console& console = session.console();
    if (!beginAuthorization(session, c.codeSignInButton))
        return false;
    console.note("Allow Tessaly on the page above in your browser, then type here the code "
                 "Flickr shows (such as 123-456-789).");
    QString code;
    InputLines input([&](const QString& line) {
        if (!code.isEmpty())
            return;
        code = verifierCode(line);
        if (code.isEmpty())
            console.error(QString("not a code of nine digits such as 123-456-789: %1").arg(line));
    });
    input.start();
    session.waitUntil([&] { return !code.isEmpty() || !input.reading(); });
    if (code.isEmpty()) {
        console.error("no code arrived");
        return false;
    }
    c.verifierTextField->setStringValue(code);
    c.useVerifierButton->performClick();
    finishAuthorization(session);
    return true;
}

int run(const Invocation& invocation) {
    Console& console = *invocation.console;
    Session session(console);
    session.useCallsPerHour(invocation);
    session.launch();
    if (!session.useAccount(invocation) || !session.requireArchive())
        return ExitFailure;
    const QString name = session.state().currentAccountName;
    // A stored token is tested; no browser.
    if (session.holdsToken(session.currentIndex()))
        return session.connectWithStoredToken() ? connected(session) : ExitFailure;

    if (invocation.has("code")) {
        if (!authorizeWithCode(session))
            return ExitFailure;
    } else {
        CallbackSources sources(console);
        if (!sources.listenOnChannel())
            console.note("Tessaly is running and takes the browser's callback address itself: "
                         "paste the address here instead.");
        sources.readStandardInput();
        if (!authorizeInBrowser(session, sources))
            return ExitFailure;
    }
    session.waitUntil([&] { return !session.requestRunning(); });
    session.settle();
    if (session.state().connectionState != 1) {
        console.error(QString("the account %1 is not connected").arg(name));
        return ExitFailure;
    }
    connected(session);
    // Flickr signed in another of the accounts: the token went to that one.
    if (session.state().currentAccountName != name) {
        console.error(
            QString("Flickr signed in %1, not %2: the token is stored with the account %1")
                .arg(session.state().currentAccountName, name));
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace

const CommandSpec& connectCommand() {
    static const CommandSpec command{
        "connect",
        {},
        "Connect the current account to Flickr.",
        "Connects the current account to Flickr. An account that holds a token has it\n"
        "tested. Otherwise the Flickr authorization address is printed on a line of\n"
        "its own (and opened in the browser when there is a display); once you allow\n"
        "Tessaly there, the browser's tessaly://callback address comes back to this\n"
        "command, or you paste it on standard input. With --code, for a browser that\n"
        "cannot hand the address back, Flickr shows a code of nine digits (such as\n"
        "123-456-789) instead, which you type on standard input. The token is stored\n"
        "with the account, tested, and the account's web address fetched. Prints\n"
        "'Connected to \"NAME\": WEB-ADDRESS'.",
        {accountOption(),
         {"code", {}, "Sign in with the code Flickr shows instead of the callback."},
         callsPerHourOption()},
        0,
        0,
        &run};
    return command;
}

} // namespace tessaly::cli
