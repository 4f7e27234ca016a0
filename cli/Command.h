#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tessaly::cli {

class Console;

// What tessaly-cli answers: the command reached its end, a failure ended it
// (or the account or archive it needs is missing), or it was called wrongly.
enum ExitStatus : int { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

struct OptionSpec {
    QString name;      // without the leading "--"
    QString valueName; // empty for a flag
    QString help;
    // What is wrong with a value ("" when it is fine); nothing: any value.
    QString (*check)(const QString& value) = nullptr;
};

struct Invocation;

// One command: its name, what --help says of it, its options and its work.
// Each command lives in a file of its own and is listed in Commands.cpp.
struct CommandSpec {
    QString name;
    QString arguments;   // the positional part of the synopsis, e.g. "NAME"
    QString summary;     // its line in the command list
    QString description; // the text of its --help
    QList<OptionSpec> options;
    int minPositionals = 0;
    int maxPositionals = 0;
    int (*run)(const Invocation&) = nullptr;
};

// A command line parsed against its command.
struct Invocation {
    const CommandSpec* command = nullptr;
    QStringList positionals;
    QHash<QString, QString> values; // options given with a value
    QSet<QString> flags;
    Console* console = nullptr;

    bool has(const QString& option) const {
        return flags.contains(option) || values.contains(option);
    }
    QString value(const QString& option) const { return values.value(option); }
    // A usage error found by the command itself: its one line, and status 2.
    int usageError(const QString& what) const;
};

// --account NAME, taken by every command that works on one account.
OptionSpec accountOption();
// --calls-per-hour N, taken by the commands that talk to Flickr.
OptionSpec callsPerHourOption();
// Value checks: a number above 0; a pace from 1 to 100,000 calls an hour.
QString positiveNumber(const QString& value);
QString callsPerHourNumber(const QString& value);

} // namespace tessaly::cli
