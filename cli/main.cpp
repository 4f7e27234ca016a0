// tessaly-cli: Tessaly without a window, for scheduled backups and scripts.
#include "Arguments.h"
#include "Commands.h"
#include "Console.h"

#include <QCoreApplication>

using namespace tessaly::cli;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("tessaly-cli");
    QCoreApplication::setApplicationVersion(TESSALY_VERSION);
    Console console;

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        console.error("no command given (see tessaly-cli --help)");
        return ExitUsage;
    }
    const QString first = arguments.takeFirst();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") ||
        first == QLatin1String("help")) {
        const CommandSpec* command = arguments.isEmpty() ? nullptr : findCommand(arguments.first());
        if (!arguments.isEmpty() && !command) {
            console.error(
                QString("unknown command %1 (see tessaly-cli --help)").arg(arguments.first()));
            return ExitUsage;
        }
        std::fputs(qPrintable(command ? commandHelp(*command) : overallHelp()), stdout);
        return ExitOk;
    }
    if (first == QLatin1String("--version")) {
        console.out("tessaly-cli " + QCoreApplication::applicationVersion());
        return ExitOk;
    }
    const CommandSpec* command = findCommand(first);
    if (!command) {
        console.error(QString("unknown command %1 (see tessaly-cli --help)").arg(first));
        return ExitUsage;
    }
    ParsedArguments parsed = parseArguments(*command, arguments);
    switch (parsed.kind) {
    case ParsedArguments::Help:
        std::fputs(qPrintable(commandHelp(*command)), stdout);
        return ExitOk;
    case ParsedArguments::Error:
        console.error(parsed.error);
        return ExitUsage;
    case ParsedArguments::Run:
        break;
    }
    parsed.invocation.console = &console;
    return command->run(parsed.invocation);
}
