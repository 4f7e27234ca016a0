// tessaly-cli export: copies of pictures in a folder, named and sized as the
// export panel offers, with their information in text files when asked.
#include "Commands.h"
#include "Console.h"
#include "Session.h"
#include "export/ExportController.h"

#include <QDir>
#include <QFileInfo>

#include <climits>

namespace tessaly::cli {

namespace {

constexpr int kNameByTitle = 0, kNameByFile = 1, kNameByPrefix = 2;

QString nameCheck(const QString& value) {
    if (value == "title" || value == "filename" || (value.startsWith("prefix:") && value.size() > 7))
        return {};
    return QString("%1 is not one of title, filename, prefix:P").arg(value);
}

QString sizeCheck(const QString& value) {
    return value == "original" || value == "large" ? QString()
                                                   : QString("%1 is not one of original, large").arg(value);
}

int run(const Invocation& invocation) {
    if (!invocation.has("to"))
        return invocation.usageError("give the folder to export to with --to DIR");
    const QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(invocation.value("to")));
    if (QFileInfo(folder).exists() && !QFileInfo(folder).isDir())
        return invocation.usageError(QString("option --to: %1 is not a folder").arg(folder));
    Session session(*invocation.console);
    session.launch();
    QStringList ids = invocation.positionals;
    ids.removeDuplicates();
    if (!session.useAccount(invocation) || !session.requireArchive() || !session.requirePictures(ids))
        return ExitFailure;
    if (!QDir().mkpath(folder)) {
        session.console().error(QString("the folder %1 cannot be made").arg(folder));
        return ExitFailure;
    }
    if (!session.selectAsResults(ids)) {
        session.console().error("the pictures cannot be read from the archive");
        return ExitFailure;
    }

    ExportController& exporter = session.app().exporting();
    ExportControls& panel = exporter.controls();
    exporter.exportPix();
    if (invocation.value("size") == "original" && !panel.exportSizeButton->isItemEnabled(0))
        session.console().note("The archive holds no original files: the large size is exported.");
    else if (invocation.has("size"))
        panel.exportSizeButton->selectItemAtIndex(invocation.value("size") == "large" ? 1 : 0);
    const QString naming = invocation.value("name");
    panel.exportNameButton->selectItemAtIndex(naming.startsWith("prefix:") ? kNameByPrefix
                                              : naming == "filename"       ? kNameByFile
                                                                           : kNameByTitle);
    panel.exportPrefixTextField->setStringValue(naming.mid(7));
    panel.textFileCheck->setState(invocation.has("text") ? Button::On : Button::Off);
    panel.metadataCheck->setState(invocation.has("metadata") ? Button::On : Button::Off);

    session.platform().openPanelAnswers.enqueue({folder});
    const int critical = session.platform().criticalAlertsShown();
    exporter.doExportPix();
    return session.platform().criticalAlertsShown() == critical ? ExitOk : ExitFailure;
}

} // namespace

const CommandSpec& exportCommand() {
    static const CommandSpec command{
        "export",
        "ID...",
        "Copy pictures into a folder, with their information.",
        "Copies the picture files of ID... from the current account's picture folder\n"
        "into the folder --to (made when missing), as the application's export does.\n"
        "--name says how the copies are named: title (the default), filename (as in\n"
        "the picture folder) or prefix:P (P_1, P_2 ... in the order the IDs are given).\n"
        "A name already taken gets a number; no file is ever replaced. --size picks\n"
        "the original (the default when the archive holds originals) or the large\n"
        "file. With --text each copy gets a text file of the picture's information\n"
        "and EXIF data beside it. With --metadata each JPEG, PNG or TIFF copy carries\n"
        "the picture's title, description, tags, date taken, place, licence and\n"
        "Flickr page address in its XMP, IPTC and EXIF data, as photo managers read\n"
        "them; the camera's own EXIF data stays. Exit status 1 when a picture could\n"
        "not be exported (each one is named on standard error) or an ID is not in\n"
        "the archive.",
        {accountOption(),
         {"to", "DIR", "The folder to copy the pictures into (required)."},
         {"name", "HOW", "title, filename or prefix:P.", &nameCheck},
         {"size", "SIZE", "original or large.", &sizeCheck},
         {"text", {}, "Also write a text file with each picture's information."},
         {"metadata", {}, "Write the Flickr information into each copy."}},
        1,
        INT_MAX,
        &run};
    return command;
}

} // namespace tessaly::cli
