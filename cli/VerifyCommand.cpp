// tessaly-cli verify: every file the archive names looked at, and the
// broken ones moved aside and downloaded again when asked.
#include "Commands.h"
#include "Console.h"
#include "DownloadFlow.h"
#include "Progress.h"
#include "Session.h"
#include "accounts/StatusFigures.h"
#include "archive/ArchiveVerify.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tessaly::cli {

namespace {

QString formatCheck(const QString& value) {
    return value == "text" || value == "json" ? QString() : QString("%1 is not one of text, json").arg(value);
}

// One walk over the archive, its progress in the main window's label.
std::unique_ptr<verify::ArchiveVerifier> walk(Session& session, bool deep) {
    auto verifier = std::make_unique<verify::ArchiveVerifier>(session.app().database(), session.state().pixPath, deep);
    const SqlResult read = verifier->start();
    if (!read.ok()) {
        session.console().error(QString("the archive cannot be read: %1").arg(read.message));
        return nullptr;
    }
    TextField& label = *session.controls().progressLabel;
    while (verifier->step()) {
        label.setStringValue(QString("verifying files... %1 of %2")
                                 .arg(verifier->filesChecked())
                                 .arg(status::groupedNumber(verifier->filesTotal())));
        session.settle();
    }
    label.setStringValue({});
    return verifier;
}

// Moves the broken files aside; answers whether every move went.
bool moveBrokenAside(Session& session, const verify::ArchiveVerifier& verifier) {
    bool moved = true;
    for (const verify::Finding& finding : verifier.findings()) {
        if (!finding.isBrokenFile())
            continue;
        QString target, error;
        if (verify::moveAside(session.state().pixPath, finding.file, &target, &error)) {
            session.console().note(QString("Moved %1 to %2").arg(finding.file, target));
        } else {
            session.console().error(error);
            moved = false;
        }
    }
    return moved;
}

int run(const Invocation& invocation) {
    Session session(*invocation.console);
    session.useCallsPerHour(invocation);
    session.launch();
    if (!session.useAccount(invocation) || !session.requireArchive())
        return ExitFailure;
    ProgressReporter progress(*session.controls().progressLabel, *session.controls().progressDetailTextField,
                              session.console());
    const bool deep = invocation.has("deep");
    auto verifier = walk(session, deep);
    if (!verifier)
        return ExitFailure;

    if (invocation.has("repair") && !verifier->recordsHold()) {
        for (const verify::Finding& finding : verifier->findings())
            if (finding.isRecordProblem())
                session.console().note(verify::findingText(finding));
        if (!moveBrokenAside(session, *verifier) || !session.connectWithStoredToken())
            return ExitFailure;
        // Files that are there are passed over: only what is missing now is fetched.
        reportOutcome(session, runFileDownload(session), "picture-file");
        verifier = walk(session, deep);
        if (!verifier)
            return ExitFailure;
    }

    if (invocation.value("format") == "json") {
        QJsonArray array;
        for (const verify::Finding& finding : verifier->findings())
            array.append(verify::findingJson(finding));
        session.console().outText(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
    } else {
        for (const verify::Finding& finding : verifier->findings())
            session.console().out(verify::findingText(finding));
    }
    return verifier->recordsHold() ? ExitOk : ExitFailure;
}

} // namespace

const CommandSpec& verifyCommand() {
    static const CommandSpec command{
        "verify",
        {},
        "Check every picture file the archive names; repair what is broken.",
        "Looks at every file the current account's archive names (each record's\n"
        "original, large and square file) and prints one line (or, with --format json,\n"
        "one object) for each problem: a file that is missing, empty, an original\n"
        "whose size is not the one the archive stored, or a file whose first bytes\n"
        "are not a picture of its extension (--deep decodes every picture whole).\n"
        "Files in the picture folder that no record names are listed too, and never\n"
        "deleted. --repair moves every broken file aside into the picture folder's\n"
        ".broken folder (nothing is deleted), downloads what is now missing with the\n"
        "usual pace and retries, and checks again. Exit status 0 when every record's\n"
        "files are sound (files no record names do not count), 1 otherwise.",
        {accountOption(),
         {"deep", {}, "Decode every picture whole instead of reading its first bytes."},
         {"repair", {}, "Move broken files aside and download what is missing again."},
         {"format", "FORMAT", "text (the default) or json.", &formatCheck},
         callsPerHourOption()},
        0,
        0,
        &run};
    return command;
}

} // namespace tessaly::cli
