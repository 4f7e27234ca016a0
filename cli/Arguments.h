#pragma once

#include "Command.h"

namespace tessaly::cli {

// A command's arguments after its name: run it, show its help, or a one-line
// usage error.
struct ParsedArguments {
    enum Kind { Run, Help, Error };
    Kind kind = Run;
    Invocation invocation;
    QString error;
};

// Options are "--name", "--name VALUE" or "--name=VALUE"; "--" ends them.
// A value must be given: an option that takes one, followed by nothing or
// by another option ("-x", "--x"), is missing its value.
ParsedArguments parseArguments(const CommandSpec& command, const QStringList& arguments);

QString commandHelp(const CommandSpec& command);
QString overallHelp();

} // namespace tessaly::cli
