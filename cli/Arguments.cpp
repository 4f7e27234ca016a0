#include "Arguments.h"

#include "Commands.h"

namespace tessaly::cli {

namespace {

const OptionSpec* findOption(const CommandSpec& command, const QString& name) {
    for (const OptionSpec& option : command.options)
        if (option.name == name)
            return &option;
    return nullptr;
}

ParsedArguments failure(const CommandSpec& command, const QString& what) {
    ParsedArguments parsed;
    parsed.kind = ParsedArguments::Error;
    parsed.error = usageText(command, what);
    return parsed;
}

// A negative number ("-33.86,151.21") is a value: no option starts with a digit.
bool looksLikeOption(const QString& argument) {
    return argument.startsWith(QLatin1Char('-')) && argument.size() > 1 && !argument[1].isDigit() &&
           argument[1] != QLatin1Char('.');
}

} // namespace

ParsedArguments parseArguments(const CommandSpec& command, const QStringList& arguments) {
    ParsedArguments parsed;
    parsed.invocation.command = &command;
    Invocation& invocation = parsed.invocation;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !looksLikeOption(argument)) {
            invocation.positionals << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            parsed.kind = ParsedArguments::Help;
            return parsed;
        }
        if (!argument.startsWith(QLatin1String("--")))
            return failure(command, QString("unknown option %1").arg(argument));
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = argument.mid(2, equals < 0 ? -1 : equals - 2);
        const OptionSpec* option = findOption(command, name);
        if (!option)
            return failure(command, QString("unknown option --%1").arg(name));
        if (option->valueName.isEmpty()) {
            if (equals >= 0)
                return failure(command, QString("option --%1 takes no value").arg(name));
            invocation.flags.insert(name);
            continue;
        }
        QString value;
        if (equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size() && !looksLikeOption(arguments[i + 1])) {
            value = arguments[++i];
        } else {
            return failure(command,
                           QString("option --%1 needs a value (%2)").arg(name, option->valueName));
        }
        if (invocation.values.contains(name))
            return failure(command, QString("option --%1 is given twice").arg(name));
        if (option->check) {
            if (const QString problem = option->check(value); !problem.isEmpty())
                return failure(command, QString("option --%1: %2").arg(name, problem));
        }
        invocation.values.insert(name, value);
    }
    const qsizetype count = invocation.positionals.size();
    if (count < command.minPositionals)
        return failure(command, QString("missing %1").arg(command.arguments));
    if (count > command.maxPositionals)
        return failure(
            command,
            QString("unexpected argument %1").arg(invocation.positionals[command.maxPositionals]));
    return parsed;
}

QString usageText(const CommandSpec& command, const QString& what) {
    return QString("%1 (see tessaly-cli %2 --help)").arg(what, command.name);
}

QString commandHelp(const CommandSpec& command) {
    QString synopsis = "tessaly-cli " + command.name;
    if (!command.arguments.isEmpty())
        synopsis += " " + command.arguments;
    for (const OptionSpec& option : command.options)
        synopsis += option.valueName.isEmpty()
                        ? QString(" [--%1]").arg(option.name)
                        : QString(" [--%1 %2]").arg(option.name, option.valueName);
    QString text = "Usage: " + synopsis + "\n\n" + command.description + "\n";
    if (!command.options.isEmpty()) {
        text += "\nOptions:\n";
        for (const OptionSpec& option : command.options) {
            const QString left = option.valueName.isEmpty()
                                     ? "--" + option.name
                                     : "--" + option.name + " " + option.valueName;
            text += QString("  %1  %2\n").arg(left, -18).arg(option.help);
        }
    }
    text += QString("  %1  %2\n").arg(QStringLiteral("--help"), -18).arg("Show this help.");
    return text;
}

QString overallHelp() {
    QString text = "Usage: tessaly-cli COMMAND [OPTIONS]\n\n"
                   "Tessaly without a window: the same accounts, archives and downloads as the\n"
                   "application, for scheduled backups and scripts.\n\nCommands:\n";
    for (const CommandSpec* command : allCommands())
        text += QString("  %1  %2\n").arg(command->name, -12).arg(command->summary);
    text += "\n'tessaly-cli COMMAND --help' tells more of a command.\n"
            "Exit status: 0 done, 1 failed (or no such account or archive), 2 wrong usage.\n";
    return text;
}

} // namespace tessaly::cli
