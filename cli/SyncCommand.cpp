// tessaly-cli sync: the picture-information download and, when asked, the
// picture-file download after it.
#include "Commands.h"
#include "Console.h"
#include "DownloadFlow.h"
#include "Progress.h"
#include "Session.h"

namespace tessaly::cli {

namespace {

int run(const Invocation& invocation) {
    Session session(*invocation.console);
    session.useCallsPerHour(invocation);
    session.launch();
    if (!session.useAccount(invocation) || !session.requireArchive() ||
        !session.connectWithStoredToken())
        return ExitFailure;
    ProgressReporter progress(*session.controls().progressLabel,
                              *session.controls().progressDetailTextField, session.console());
    const FlowOutcome information = runInformationDownload(
        session, {invocation.has("perms"), invocation.has("full-perms"), invocation.has("exif")});
    if (!reportOutcome(session, information, "picture-information"))
        return ExitFailure;
    if (!invocation.has("files"))
        return ExitOk;
    const FlowOutcome files = runFileDownload(session);
    return reportOutcome(session, files, "picture-file") ? ExitOk : ExitFailure;
}

} // namespace

const CommandSpec& syncCommand() {
    static const CommandSpec command{
        "sync",
        {},
        "Download the picture information and, with --files, the picture files.",
        "Downloads the current account's picture information into its archive, as the\n"
        "download button does with its question answered yes: the picture records,\n"
        "the sets and each picture's sets, the permissions (--perms) and the EXIF data\n"
        "of the pictures that have none yet (--exif). Permissions are asked for only\n"
        "for pictures that are new, changed on Flickr or never asked for; --full-perms\n"
        "asks again for every picture's. With --files, the picture files follow. The\n"
        "account must be connected (tessaly-cli connect). Progress goes to standard\n"
        "error, with the time left and why and how long a call waits; at the end of\n"
        "each download its finish message goes to standard output and its error log\n"
        "(which names the pictures the archive keeps that Flickr no longer has) to\n"
        "standard error. Exit status 0 when every download reached its finish, 1 when\n"
        "a failure ended one.",
        {accountOption(),
         {"perms", {}, "Download the permissions of new and changed pictures too."},
         {"full-perms", {}, "Download every picture's permissions (implies --perms)."},
         {"exif", {}, "Download the EXIF data of the pictures without it."},
         {"files", {}, "Download the picture files after the information."},
         callsPerHourOption()},
        0,
        0,
        &run};
    return command;
}

} // namespace tessaly::cli
