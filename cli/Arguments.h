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
// by another option ("-x", "--x"), is missing its value. A negative number
// ("-33.9,151.2") is a value, not an option.
ParsedArguments parseArguments(const CommandSpec& command, const QStringList& arguments);

// "WHAT (see tessaly-cli COMMAND --help)": a usage error's line.
QString usageText(const CommandSpec& command, const QString& what);

QString commandHelp(const CommandSpec& command);
QString overallHelp();

} // namespace tessaly::cli
