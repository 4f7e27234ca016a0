// tessaly-cli delete: pictures removed from the archive and the picture
// folder, as the application's deletion does; never from Flickr.
#include "Commands.h"
#include "Console.h"
#include "Session.h"
#include "archive/PictureDeletion.h"

#include <climits>

namespace tessaly::cli {

namespace {

int run(const Invocation& invocation) {
    // The application asks first; here the question is answered on the command line.
    if (!invocation.has("yes"))
        return invocation.usageError("deleting cannot be undone: confirm it with --yes");
    Session session(*invocation.console);
    session.launch();
    QStringList ids = invocation.positionals;
    ids.removeDuplicates();
    // Every ID must be known before anything goes, so a typing slip deletes nothing.
    if (!session.useAccount(invocation) || !session.requireArchive() ||
        !session.requirePictures(ids))
        return ExitFailure;
    const int alerts = session.platform().alertsShown();
    session.app().deletion().deletePictures(ids);
    if (session.platform().alertsShown() != alerts) {
        session.console().error("not every picture could be deleted");
        return ExitFailure;
    }
    session.console().out(ids.size() == 1
                              ? QString("Deleted the picture %1 from the archive.").arg(ids.first())
                              : QString("Deleted %1 pictures from the archive.").arg(ids.size()));
    return ExitOk;
}

} // namespace

const CommandSpec& deleteCommand() {
    static const CommandSpec command{
        "delete",
        "ID...",
        "Delete pictures from the archive (not from Flickr).",
        "Deletes the pictures ID... from the current account's archive: their records\n"
        "and their files in the picture folder, as the application's Delete Selected\n"
        "Pictures does. The pictures stay on Flickr, so a later download brings them\n"
        "back. This cannot be undone, so --yes is required: without it nothing is\n"
        "deleted and the exit status is 2. When the archive holds no picture of one\n"
        "of the IDs, nothing is deleted and the exit status is 1.",
        {accountOption(), {"yes", {}, "Confirm the deletion."}},
        1,
        INT_MAX,
        &run};
    return command;
}

} // namespace tessaly::cli
