#include "DownloadFlow.h"

#include "Console.h"
#include "Session.h"
#include "sync/SyncController.h"

namespace tessaly::cli {

namespace {

using sync::Phase;

bool idle(Session& session) {
    return session.app().sync().phase() == Phase::Idle;
}

// Waits for the end of a confirmed flow and closes its finish sheet.
FlowOutcome awaitFinish(Session& session) {
    auto& c = session.controls();
    session.waitUntil(
        [&] { return session.app().sync().phase() == Phase::Finished || idle(session); });
    session.settle();
    FlowOutcome outcome;
    if (session.app().sync().phase() != Phase::Finished) {
        outcome.errorLog = session.app().errorLog().readAll();
        return outcome;
    }
    outcome.finished = true;
    // The sheet with the log, or the one without.
    if (c.doneDownloadingSheet->isVisible()) {
        outcome.message = c.doneTextField->stringValue();
        outcome.errorLog = c.errorsTextField->stringValue();
        c.doneDownloadingButton->performClick();
    } else {
        outcome.message = c.doneTextField2->stringValue();
        c.doneDownloadingButton2->performClick();
    }
    return outcome;
}

// Clicks a flow's button and waits for its confirmation sheet; false when the
// flow ended before asking.
bool startFlow(Session& session, Button* button, Window* sheet) {
    button->performClick();
    session.waitUntil([&] { return sheet->isVisible() || idle(session); });
    return sheet->isVisible();
}

FlowOutcome endedEarly(Session& session) {
    session.settle();
    return {false, {}, session.app().errorLog().readAll()};
}

} // namespace

FlowOutcome runInformationDownload(Session& session, const InformationOptions& options) {
    auto& c = session.controls();
    if (!startFlow(session, c.downloadButton, c.permsOptionSheet))
        return endedEarly(session);
    const auto state = [](bool on) { return on ? Button::On : Button::Off; };
    c.permsCheck->setState(state(options.perms || options.fullPerms));
    c.fullPermsCheck->setState(state(options.fullPerms));
    c.exifCheck->setState(state(options.exif));
    c.permsOkButton->performClick();
    return awaitFinish(session);
}

FlowOutcome runFileDownload(Session& session) {
    auto& c = session.controls();
    if (!startFlow(session, c.downloadFilesButton, c.countSheet))
        return endedEarly(session);
    c.countOkButton->performClick();
    return awaitFinish(session);
}

bool reportOutcome(Session& session, const FlowOutcome& outcome, const QString& flowName) {
    Console& console = session.console();
    if (outcome.finished)
        console.out(outcome.message);
    // The log's entries are separated by blank lines; one line each here.
    for (const QString& line : outcome.errorLog.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        console.note(line);
    if (!outcome.finished)
        console.error(QString("the %1 download did not finish").arg(flowName));
    return outcome.finished;
}

} // namespace tessaly::cli
