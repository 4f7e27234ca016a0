// tessaly-cli add-account: a new account, as the add-account sheet makes one.
#include "Commands.h"
#include "Console.h"
#include "Session.h"

#include <QDir>
#include <QFileInfo>

namespace tessaly::cli {

namespace {

int run(const Invocation& invocation) {
    Console& console = *invocation.console;
    const QString name = invocation.positionals.value(0);
    QString location;
    if (invocation.has("location")) {
        const QString given = invocation.value("location");
        location =
            given.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(given).absoluteFilePath());
        // The folder panel may make the folder; so may this.
        if (location.isEmpty() || !QDir().mkpath(location)) {
            console.error(
                QString("the location %1 cannot be made").arg(invocation.value("location")));
            return ExitFailure;
        }
    }

    Session session(console);
    session.launch();
    auto& c = session.controls();
    c.addAccountButton->performClick();
    if (!location.isEmpty()) {
        session.platform().openPanelAnswers.enqueue({location});
        c.choosePixPathButton->performClick();
    }
    c.addAcctNameTextField->setStringValue(name);
    c.savePixPathButton->performClick();
    session.settle();
    const int index = session.state().indexOfAccount(name);
    if (c.addAccountSheet->isVisible() || index < 0 || session.state().currentAccountName != name) {
        console.error(QString("the account %1 was not added").arg(name));
        return ExitFailure;
    }
    const AccountsRow& row = session.state().accountRows[index];
    console.out(QStringList{row.accountName(), row.accountLoc()}.join(QLatin1Char('\t')));
    return session.requireArchive() ? ExitOk : ExitFailure;
}

} // namespace

const CommandSpec& addAccountCommand() {
    static const CommandSpec command{
        "add-account",
        "NAME",
        "Add an account and make it current.",
        "Adds the account NAME and makes it current, as the add-account sheet of\n"
        "the preferences does: its archive NAME_db and picture folder NAME_pix live\n"
        "in the location, by default ~/Pictures/Tessaly. NAME is your Flickr user\n"
        "name. An account of the same name is replaced (and its token forgotten).\n"
        "Prints the name and the location, separated by a tab.",
        {{"location", "DIR",
          "The folder for the account's archive and pictures (made when missing)."}},
        1,
        1,
        &run};
    return command;
}

} // namespace tessaly::cli
