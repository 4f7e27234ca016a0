// tessaly-cli connect: the authorization in the browser, as the connect
// button runs it, with the callback address taken from the browser's launch
// of Tessaly or from standard input.
#include "CallbackSources.h"
#include "Commands.h"
#include "Console.h"
#include "Session.h"

namespace tessaly::cli {

namespace {

int connected(Session& session) {
    const QString title = session.controls().oauthAuthButton->title().trimmed();
    const QString address = session.state().accountRows[session.currentIndex()].accountUrl();
    session.console().out(address.isEmpty() ? title : title + ": " + address);
    return ExitOk;
}

// The browser step: the authorize address out, the callback address in.
bool authorizeInBrowser(Session& session, CallbackSources& sources) {
    auto& c = session.controls();
    Console& console = session.console();
    c.oauthAuthButton->performClick();
    session.waitUntil(
        [&] { return !session.platform().openedURLs().isEmpty() || !session.requestRunning(); });
    if (session.platform().openedURLs().isEmpty()) {
        session.settle();
        console.error("Flickr did not begin the authorization");
        return false;
    }
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
    // The access token arrives; then the user's confirmation of the sheet.
    session.waitUntil([&] { return !session.requestRunning(); });
    c.checkConnectionButton->performClick();
    return true;
}

int run(const Invocation& invocation) {
    Console& console = *invocation.console;
    Session session(console);
    session.launch();
    if (!session.useAccount(invocation) || !session.requireArchive())
        return ExitFailure;
    const QString name = session.state().currentAccountName;
    // A stored token is tested; no browser.
    if (session.holdsToken(session.currentIndex()))
        return session.connectWithStoredToken() ? connected(session) : ExitFailure;

    CallbackSources sources(console);
    if (!sources.listenOnChannel())
        console.note("Tessaly is running and takes the browser's callback address itself: paste "
                     "the address here instead.");
    sources.readStandardInput();
    if (!authorizeInBrowser(session, sources))
        return ExitFailure;
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
        "command, or you paste it on standard input. The token is stored with the\n"
        "account, tested, and the account's web address fetched. Prints\n"
        "'Connected to \"NAME\": WEB-ADDRESS'.",
        {accountOption()},
        0,
        0,
        &run};
    return command;
}

} // namespace tessaly::cli
