// tessaly-cli status: the figures the main window shows.
#include "Commands.h"
#include "Console.h"
#include "Session.h"

namespace tessaly::cli {

namespace {

int run(const Invocation& invocation) {
    Session session(*invocation.console);
    session.launch();
    if (!session.useAccount(invocation) || !session.requireArchive())
        return ExitFailure;
    // Start-up and the account's choice have drawn the figures.
    auto& c = session.controls();
    for (const TextField* figure : {c.filenumTextField, c.dbnumTextField, c.acctnumTextField})
        session.console().out(figure->stringValue());
    return ExitOk;
}

} // namespace

const CommandSpec& statusCommand() {
    static const CommandSpec command{
        "status",
        {},
        "Show the figures of the current account's archive.",
        "Prints the three lines of the main window for the current account: the\n"
        "pictures in its picture folder and the space they use, the picture records\n"
        "of its archive and when the archive last changed, and how many accounts\n"
        "there are.",
        {accountOption()},
        0,
        0,
        &run};
    return command;
}

} // namespace tessaly::cli
