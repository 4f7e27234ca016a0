// The export panel and the copying of the selected pictures.
#include "ExportController.h"

#include "ExportNaming.h"
#include "NewFile.h"
#include "archive/VideoFile.h"
#include "editing/EditingControls.h"
#include "PlatformServices.h"
#include "TSAppDelegate.h"
#include "viewer/PictureInfo.h"
#include "viewer/ViewerController.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <optional>

#include "controls/AreaControls.h"

namespace tessaly {

namespace {

constexpr int kLargeSize = 1;
constexpr int kUseTitle = 0;
constexpr int kUseFilename = 1;
// What a NULL exifdata column answers: the statement stops there.
constexpr int kStopForNoExif = 999;

void reportReadError(const SqlResult& result) {
    std::fprintf(stderr, "SQL error: %s\n", result.message.toUtf8().constData());
}

QString itemsText(int count) {
    return count == 1 ? QStringLiteral("1 item") : QString("%1 items").arg(count);
}

// How the final message names a picture.
QString pictureLabel(const QString& title, const QString& id) {
    return title.isEmpty() ? id : QString("\"%1\" (%2)").arg(title, id);
}

} // namespace

ExportControls::ExportControls(TSControls& c) {
    exportPanel = makeControl<Window>(c, "exportPanel");
    exportPanel->setTitle("Export Pictures");
    selectedImagesTextField = makeControl<TextField>(c, "selectedImagesTextField");
    exportSizeButton = makeControl<PopUpButton>(c, "exportSizeButton");
    exportSizeButton->addItemsWithTitles({"Original size", "Large size"});
    exportNameButton = makeControl<PopUpButton>(c, "exportNameButton");
    exportNameButton->addItemsWithTitles({"Use title", "Use filename", "Use prefix"});
    exportPrefixTextField = makeControl<TextField>(c, "exportPrefixTextField");
    exportPrefixTextField->setToolTip("Copies are named by this prefix, \"_\" and a number: trip "
                                      "gives trip_1.jpg, trip_2.jpg ...");
    textFileCheck = makeControl<Button>(c, "textFileCheck");
    textFileCheck->setTitle("Also write a text file with each picture's information");
    metadataCheck = makeControl<Button>(c, "metadataCheck");
    metadataCheck->setTitle("Write the Flickr information into the copies");
    doExportButton = makeControl<Button>(c, "doExportButton");
    doExportButton->setTitle("Export...");
}

ExportController::ExportController(TSAppDelegate& app) : m_app(app), m_c(app.controls()) {
    auto& c = app.controls();
    c.exportButton->setAction([this] { exportPix(); });
    c.exportItem->setAction([this] { exportPix(); });
    m_c.doExportButton->setAction([this] { doExportPix(); });
    m_c.exportNameButton->setAction([this] { followNaming(); });
    followNaming();
}

void ExportController::followNaming() {
    // The prefix matters only when naming by prefix; a menu with no pick names by title.
    const int naming = m_c.exportNameButton->indexOfSelectedItem();
    m_c.exportPrefixTextField->setEnabled(naming > kUseFilename);
}

void ExportController::selectionChanged() {
    if (!m_c.exportPanel->isVisible())
        return;
    const int selected = m_app.controls().resultsTableView->numberOfSelectedRows();
    m_c.selectedImagesTextField->setStringValue(itemsText(selected));
    m_c.doExportButton->setEnabled(selected > 0);
}

void ExportController::exportPix() {
    const int selected = m_app.controls().resultsTableView->numberOfSelectedRows();
    m_c.selectedImagesTextField->setStringValue(itemsText(selected));
    m_c.doExportButton->setEnabled(selected > 0);

    QString count = QStringLiteral("0");
    const SqlResult result = m_app.database().run(
        "SELECT count(flickrID) FROM photos WHERE url_o != ''", {}, [&](const SqlRow& row) {
            count = row.isNull(0) ? QStringLiteral("0") : row.value(0);
            return 0;
        });
    if (!result.ok()) {
        reportReadError(result);
        count = QStringLiteral("0");
    }
    const bool originals = count.toLongLong() != 0;
    m_c.exportSizeButton->setItemEnabled(0, originals);
    m_c.exportSizeButton->selectItemAtIndex(originals ? 0 : kLargeSize);
    followNaming();
    m_c.exportPanel->makeKeyAndOrderFront();
}

void ExportController::doExportPix() {
    OpenPanelRequest panel;
    panel.title = QStringLiteral("Export Pictures");
    panel.prompt = QStringLiteral("OK");
    panel.message = QStringLiteral("Choose the folder to export the pictures to");
    panel.directory = m_exportFolder.isEmpty() ? m_app.state().homeFolder : m_exportFolder;
    panel.canChooseFiles = false;
    panel.canChooseDirectories = true;
    panel.canCreateDirectories = true;
    panel.allowsMultipleSelection = false;
    const QStringList chosen = m_app.platform().runOpenPanel(panel);
    if (chosen.isEmpty())
        return;
    m_exportFolder = chosen.first();
    finishExportPix();
}

void ExportController::finishExportPix() {
    auto& c = m_app.controls();
    const TSAppState& s = m_app.state();
    if (m_exportFolder.isEmpty()) {
        m_c.exportPanel->close();
        return;
    }
    const QString folder = QDir::cleanPath(m_exportFolder);
    m_app.doProgressPanel("Exporting...");

    const auto size = m_c.exportSizeButton->indexOfSelectedItem() == kLargeSize
                          ? exporter::ExportSize::Large
                          : exporter::ExportSize::Original;
    const int namingItem = m_c.exportNameButton->indexOfSelectedItem();
    const auto naming = namingItem == kUseTitle      ? exporter::Naming::Title
                        : namingItem == kUseFilename ? exporter::Naming::FileName
                                                     : exporter::Naming::Prefix;
    const QString prefix = m_c.exportPrefixTextField->stringValue();
    const bool textFiles = m_c.textFileCheck->state() == Button::On;
    const bool metadata = m_c.metadataCheck->state() == Button::On;

    const QStringList ids = s.resultIDs;
    int number = 0;
    int exported = 0;
    QStringList failures;
    for (int row : c.resultsTableView->selectedRowIndexes()) {
        if (row >= ids.size())
            break;
        const QString& id = ids[row];
        std::optional<viewer::CurrentPicture> picture;
        const SqlResult read =
            m_app.database().run(viewer::kCurrentPictureQuery, {id}, [&](const SqlRow& record) {
                picture = viewer::CurrentPicture::fromColumns(record.values);
                return 0;
            });
        if (!read.ok()) {
            // The archive cannot be read: the export stops here, and says so.
            reportReadError(read);
            c.progressPanel->close();
            m_c.exportPanel->close();
            m_app.platform().criticalAlert(
                {}, QString("The export to %1 stopped after %2: SQL error: %3")
                        .arg(m_exportFolder, itemsText(exported), read.message));
            return;
        }
        if (!picture) {
            failures << QString("%1: its record is no longer in the archive").arg(id);
            continue;
        }
        const QString label = pictureLabel(picture->currentTitle, id);
        const QString source = exporter::exportSource(*picture, s.pixPath, size);
        if (source.isEmpty() || !QFileInfo(source).isFile()) {
            failures << label + ": its picture file is not in the picture folder";
            continue;
        }
        if (naming == exporter::Naming::Prefix)
            ++number;
        const QString name =
            exporter::destinationName(naming, source, picture->currentTitle, prefix, number);
        // A video's own file goes beside its picture; the copy, its text file
        // and its video take a name that is free for all of them.
        const QString video = videoFileOf(m_app.database(), s.pixPath, id);
        const QString videoExtension = QFileInfo(video).suffix();
        const QString destination = exporter::freeDestination(folder, name, row + 1, [&](const QString& path) {
            return exporter::nameTaken(path) || (textFiles && exporter::nameTaken(exporter::textFilePath(path))) ||
                   (!video.isEmpty() && exporter::nameTaken(exporter::siblingFilePath(path, videoExtension)));
        });
        // Never over an existing file; written under a temporary name first,
        // and the information goes into that copy, never into the picture folder.
        exporter::TemporaryChange addInformation;
        if (metadata && exporter::carriesInformation(source)) {
            addInformation = [information = flickrInformation(id)](const QString& copy, QString* error) {
                return exporter::writeFlickrInformation(copy, information, error);
            };
        }
        QString copyError;
        if (!exporter::copyAsNewFile(source, destination, addInformation, &copyError)) {
            failures << QString("%1: it could not be copied (%2)").arg(label, copyError);
            continue;
        }
        ++exported;
        QString error;
        if (!video.isEmpty() &&
            !exporter::copyAsNewFile(video, exporter::siblingFilePath(destination, videoExtension), {}, &error))
            failures << QString("%1: its video file could not be copied (%2)").arg(label, error);
        if (textFiles && !writeTextFile(id, exporter::textFilePath(destination), &error))
            failures << QString("%1: its text file could not be written (%2)").arg(label, error);
    }
    c.progressPanel->close();
    showOutcome(exported, failures);
}

QString ExportController::pictureText(const QString& id) {
    ArchiveDatabase& db = m_app.database();
    std::optional<SqlRow> record;
    const SqlResult info = db.run(viewer::kPictureInfoQuery, {id}, [&](const SqlRow& row) {
        record = row;
        return 0;
    });
    if (!info.ok())
        reportReadError(info);
    QString text;
    if (record) {
        const qint64 fileSize = m_app.viewer().recordFileSize(*record);
        text =
            viewer::pictureInfoText(record->values, fileSize, m_app.state().permissionLabels).text;
    }
    // A picture without EXIF data gets the information text alone.
    std::optional<QString> exif;
    bool noExif = false;
    const SqlResult exifRead = db.run(viewer::kExifQuery, {id}, [&](const SqlRow& row) {
        if (row.isNull(0)) {
            noExif = true;
            return kStopForNoExif;
        }
        exif = viewer::exifText(row.value(0)).text;
        return 0;
    });
    if (!exifRead.ok() && !noExif)
        reportReadError(exifRead);
    if (exif)
        text += QStringLiteral("\n\n") + *exif;
    return text;
}

exporter::FlickrInformation ExportController::flickrInformation(const QString& id) {
    exporter::FlickrInformation information;
    const SqlResult read = m_app.database().run(
        "SELECT title,description,tags,datetaken,latitude,longitude,license,owner FROM photos WHERE flickrID = ?",
        {id}, [&](const SqlRow& row) {
            information.title = row.value(0);
            information.description = row.value(1);
            information.tags = exporter::splitTags(row.value(2));
            information.dateTaken = row.value(3);
            bool latOk = false, lonOk = false;
            const double latitude = row.value(4).toDouble(&latOk);
            const double longitude = row.value(5).toDouble(&lonOk);
            // 0,0 is how the archive says "no location".
            if (latOk && lonOk && (latitude != 0 || longitude != 0))
                information.location = std::pair(latitude, longitude);
            bool known = false;
            const int license = row.value(6).toInt(&known);
            if (known && license >= 0 && license < kLicenseNames.size())
                information.licenseName = kLicenseNames[license];
            information.pageAddress =
                exporter::flickrPageAddress(m_app.state().currentWebAddress, row.value(7), id);
            return 0;
        });
    if (!read.ok())
        reportReadError(read);
    return information;
}

bool ExportController::writeTextFile(const QString& id, const QString& path, QString* error) {
    return exporter::writeNewFile(path, pictureText(id).toUtf8(), error);
}

void ExportController::showOutcome(int exported, const QStringList& failures) {
    if (failures.isEmpty()) {
        m_app.platform().alert({},
                               QString("The picture file(s) have been exported successfully to %1")
                                   .arg(m_exportFolder));
        return;
    }
    const QString list = failures.join(QLatin1Char('\n'));
    const QString message =
        exported > 0
            ? QString("The picture file(s) have been exported to %1, except as listed here:\n\n%2")
                  .arg(m_exportFolder, list)
            : QString("No picture file could be exported to %1:\n\n%2").arg(m_exportFolder, list);
    m_app.platform().alert({}, message, AlertStyle::Critical);
}

} // namespace tessaly
