#pragma once

#include "Command.h"

namespace tessaly::cli {

// Every command, in the order the command list shows them. A new command is
// a file defining its CommandSpec, plus a line here and in Commands.cpp.
const CommandSpec& accountsCommand();
const CommandSpec& addAccountCommand();
const CommandSpec& statusCommand();
const CommandSpec& connectCommand();
const CommandSpec& syncCommand();
const CommandSpec& searchCommand();
const CommandSpec& showCommand();
const CommandSpec& deleteCommand();
const CommandSpec& exportCommand();
const CommandSpec& editCommand();
const CommandSpec& verifyCommand();

const QList<const CommandSpec*>& allCommands();
const CommandSpec* findCommand(const QString& name);

} // namespace tessaly::cli
