// tessaly-cli accounts: the accounts, one a line.
#include "Commands.h"
#include "Console.h"
#include "Session.h"

namespace tessaly::cli {

namespace {

int run(const Invocation& invocation) {
    Session session(*invocation.console);
    session.launch();
    const TSAppState& s = session.state();
    for (qsizetype i = 0; i < s.accountRows.size(); ++i) {
        const AccountsRow& row = s.accountRows[i];
        session.console().out(QStringList{row.accountName(), row.accountLoc(), row.accountUrl(),
                                          session.holdsToken(int(i)) ? "yes" : "no",
                                          row.accountName() == s.currentAccountName ? "yes" : "no"}
                                  .join(QLatin1Char('\t')));
    }
    return ExitOk;
}

} // namespace

const CommandSpec& accountsCommand() {
    static const CommandSpec command{
        "accounts",
        {},
        "List the accounts.",
        "Lists the accounts of the Tessaly preferences, one a line, with five fields\n"
        "separated by tabs: the name, the location (the folder holding NAME_db and\n"
        "NAME_pix), the Flickr web address (empty until the first connection),\n"
        "whether a token is stored (yes/no), and whether it is the current account\n"
        "(yes/no).",
        {},
        0,
        0,
        &run};
    return command;
}

} // namespace tessaly::cli
