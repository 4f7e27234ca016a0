// The information view of the viewer: the Flickr information text and the
// EXIF text of the selected picture.
#include "PictureInfo.h"
#include "ViewerController.h"

#include "PlatformServices.h"
#include "TSAppState.h"
#include "archive/ArchiveDatabase.h"
#include "sync/SyncValues.h"

#include <QFileInfo>

#include <cstdio>

namespace tessaly {

namespace {

// What a NULL exifdata column answers: the statement stops there.
constexpr int kStopForNoExif = 999;

void reportReadError(const SqlResult& result) {
    std::fprintf(stderr, "SQL error: %s\n", result.message.toUtf8().constData());
}

} // namespace

void ViewerController::showInfo(const StyledText& text, int infoMode) {
    m_c.imageInfoTextView->setStyledText(text);
    m_state.infoMode = infoMode;
    m_c.flickrDataButton->setEnabled(infoMode != 1);
    m_c.exifDataButton->setEnabled(infoMode != 2);
}

void ViewerController::getPictureInfo() {
    if (const std::optional<QString> id = selectedPictureID())
        showInfo(pictureInfo(*id), 1);
}

StyledText ViewerController::pictureInfo(const QString& id) {
    std::optional<SqlRow> record;
    const SqlResult result =
        m_database.run(viewer::kPictureInfoQuery, {id}, [&](const SqlRow& row) {
            record = row;
            return 0;
        });
    if (!result.ok())
        reportReadError(result);
    // Without its record the picture has no information to show (rather
    // than another picture's).
    if (!record)
        return {};
    const qint64 fileSize = recordFileSize(*record);
    m_currentLatLon = viewer::latLonText(record->values);
    return viewer::pictureInfoText(record->values, fileSize, m_state.permissionLabels);
}

qint64 ViewerController::recordFileSize(const SqlRow& record) {
    namespace column = viewer::column;
    const QString stored =
        record.isNull(column::filesize) ? QStringLiteral("0") : record.value(column::filesize);
    if (stored != QLatin1String("0"))
        return sync::leadingInteger(stored);
    // Measured on the record's own files; a missing file counts 0 and is
    // measured again next time.
    const QString file =
        viewer::fileSizeSource(record.value(column::url_o), record.value(column::url_l),
                               record.value(column::url_sq), m_state.pixPath);
    const QFileInfo info(file);
    const qint64 size = !file.isEmpty() && info.isFile() ? info.size() : 0;
    const SqlResult update = m_database.run("UPDATE photos SET filesize=? WHERE flickrID=?",
                                            {size, record.value(column::flickrID)});
    if (!update.ok())
        m_platform.criticalAlert({}, QStringLiteral("SQL error: %1").arg(update.message));
    return size;
}

void ViewerController::getExifInfo() {
    if (const std::optional<QString> id = selectedPictureID())
        showInfo(exifInfo(*id), 2);
}

StyledText ViewerController::exifInfo(const QString& id) {
    StyledText text;
    const SqlResult result = m_database.run(viewer::kExifQuery, {id}, [&](const SqlRow& row) {
        if (row.isNull(0))
            return kStopForNoExif;
        text = viewer::exifText(row.value(0));
        return 0;
    });
    if (!result.ok())
        reportReadError(result);
    return text;
}

} // namespace tessaly
