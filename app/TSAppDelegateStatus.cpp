// The status figures of the main window: pictures, records and accounts.
#include "TSAppDelegate.h"

#include "accounts/StatusFigures.h"

#include <QDateTime>
#include <QFileInfo>

#include <cstdio>

namespace tessaly {

void TSAppDelegate::setFilenum() {
    QString count = QStringLiteral("0");
    status::SizeFigure size{QStringLiteral("0"), QStringLiteral("MB")};
    qint64 videos = 0;
    if (!m_state.pixPath.isEmpty()) {
        const status::FolderFigures figures = status::walkPictureFolder(m_state.pixPath);
        count = status::groupedNumber(figures.pictures);
        size = status::sizeFigure(figures.bytes);
        videos = figures.videos;
    }
    m_controls->filenumTextField->setStringValue(status::pictureFolderLine(count, size, videos));
}

void TSAppDelegate::setDBnum() {
    qint64 records = 0;
    QString lastUpdate;
    if (!m_state.dbPath.isEmpty()) {
        const SqlResult result =
            m_database.exec("SELECT count(flickrID) FROM photos", [&](const SqlRow& row) {
                records = row.isNull(0) ? 0 : row.value(0).toLongLong();
                return 0;
            });
        if (!result.ok()) {
            std::fprintf(stderr, "SQL error: %s\n", result.message.toUtf8().constData());
            records = 0;
        }
        const QFileInfo file(m_state.dbPath);
        if (file.exists())
            lastUpdate = file.lastModified().toLocalTime().toString("yyyy-MM-dd HH:mm:ss");
    }
    m_controls->dbnumTextField->setStringValue(
        status::recordLine(status::groupedNumber(records), lastUpdate));
}

void TSAppDelegate::setAcctnum() {
    m_controls->acctnumTextField->setStringValue(status::accountLine(int(m_state.accountRows.size())));
}

} // namespace tessaly
