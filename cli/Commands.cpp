#include "Commands.h"

namespace tessaly::cli {

OptionSpec accountOption() {
    return {"account", "NAME", "Make the account NAME current first (as the account pop-up does)."};
}

const QList<const CommandSpec*>& allCommands() {
    static const QList<const CommandSpec*> commands = {
        &accountsCommand(), &addAccountCommand(), &statusCommand(),
        &connectCommand(),  &syncCommand(),
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
