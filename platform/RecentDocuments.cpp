#include "RecentDocuments.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace tessaly {

bool addRecentDocument(const QString& path, const QString& recentFile) {
    const QString file = recentFile.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                   "/recently-used.xbel"
                             : recentFile;
    const QString href = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const QString bookmark =
        QString("  <bookmark href=\"%1\" added=\"%2\" modified=\"%2\" visited=\"%2\">\n"
                "    <info><metadata owner=\"http://freedesktop.org\">"
                "<mime:mime-type type=\"application/vnd.sqlite3\"/>"
                "<bookmark:applications><bookmark:application name=\"Tessaly\" exec=\"'tessaly %u'\" "
                "modified=\"%2\" count=\"1\"/></bookmark:applications>"
                "</metadata></info>\n  </bookmark>\n")
            .arg(href.toHtmlEscaped(), now);

    QString content;
    QFile existing(file);
    if (existing.open(QIODevice::ReadOnly))
        content = QString::fromUtf8(existing.readAll());
    existing.close();
    const int end = int(content.lastIndexOf("</xbel>"));
    if (end < 0) {
        content = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<xbel version=\"1.0\" xmlns:bookmark=\"http://www.freedesktop.org/standards/"
                  "desktop-bookmarks\" xmlns:mime=\"http://www.freedesktop.org/standards/"
                  "shared-mime-info\">\n" +
                  bookmark + "</xbel>\n";
    } else if (content.contains("href=\"" + href.toHtmlEscaped() + "\"")) {
        return true; // already listed
    } else {
        content.insert(end, bookmark);
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(content.toUtf8());
    return out.commit();
}

} // namespace tessaly
