#include "Commands.h"

#include "Arguments.h"
#include "Console.h"
#include "OFCallBudget.h"

#include <cmath>

namespace tessaly::cli {

OptionSpec accountOption() {
    return {"account", "NAME", "Make the account NAME current first (as the account pop-up does)."};
}

OptionSpec callsPerHourOption() {
    return {"calls-per-hour", "N",
            "Call Flickr at most N times an hour on average (1 to 100,000), for this run (over the preference).",
            &callsPerHourNumber};
}

QString callsPerHourNumber(const QString& value) {
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok && OFCallBudget::isAllowedPace(number)
               ? QString()
               : QString("%1 is not a number of calls from 1 to 100,000").arg(value);
}

QString positiveNumber(const QString& value) {
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok && number > 0 && std::isfinite(number)
               ? QString()
               : QString("%1 is not a number above 0").arg(value);
}

int Invocation::usageError(const QString& what) const {
    console->error(usageText(*command, what));
    return ExitUsage;
}

const QList<const CommandSpec*>& allCommands() {
    static const QList<const CommandSpec*> commands = {
        &accountsCommand(), &addAccountCommand(), &statusCommand(), &connectCommand(), &syncCommand(),
        &searchCommand(),   &showCommand(),       &exportCommand(), &editCommand(),    &deleteCommand(),
        &verifyCommand(),
    };
    return commands;
}

const CommandSpec* findCommand(const QString& name) {
    for (const CommandSpec* command : allCommands())
        if (command->name == name)
            return command;
    return nullptr;
}

} // namespace tessaly::cli
