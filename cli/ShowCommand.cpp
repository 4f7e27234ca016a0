// tessaly-cli show: the information text or the EXIF text of one picture,
// as the viewer shows it.
#include "Commands.h"
#include "Console.h"
#include "Session.h"
#include "viewer/PictureInfo.h"
#include "viewer/ViewerController.h"

namespace tessaly::cli {

namespace {

bool hasExif(Session& session, const QString& id) {
    bool stored = false;
    session.app().database().run(viewer::kExifQuery, {id}, [&](const SqlRow& row) {
        stored = !row.isNull(0);
        return 0;
    });
    return stored;
}

int run(const Invocation& invocation) {
    Session session(*invocation.console);
    session.launch();
    const QString id = invocation.positionals.value(0);
    if (!session.useAccount(invocation) || !session.requireArchive() ||
        !session.requirePictures({id}))
        return ExitFailure;
    ViewerController& viewer = session.app().viewer();
    if (!invocation.has("exif")) {
        session.console().outText(viewer.pictureInfo(id).text);
        return ExitOk;
    }
    // The viewer shows an empty view; here it is said.
    if (!hasExif(session, id)) {
        session.console().note(QString("The picture %1 has no EXIF data in the archive.").arg(id));
        return ExitOk;
    }
    session.console().outText(viewer.exifInfo(id).text);
    return ExitOk;
}

} // namespace

const CommandSpec& showCommand() {
    static const CommandSpec command{
        "show",
        "ID",
        "Print the information of one picture.",
        "Prints the Flickr information of the picture ID of the current account's\n"
        "archive as the viewer shows it, as plain text: one paragraph a field, each\n"
        "a label, a colon, two blanks and the value. With --exif, its EXIF data\n"
        "instead (nothing, and a note on standard error, when the archive holds none\n"
        "for it). A picture whose file size is not known yet has it measured on its\n"
        "downloaded file and stored, as in the viewer. Exit status 1 when the\n"
        "archive holds no picture ID.",
        {accountOption(), {"exif", {}, "Print the EXIF data instead."}},
        1,
        1,
        &run};
    return command;
}

} // namespace tessaly::cli
