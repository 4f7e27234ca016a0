#include "PictureDeletion.h"

#include "PlatformServices.h"
#include "TSAppDelegate.h"
#include "archive/VideoFile.h"
#include "search/SearchController.h"

#include <QDir>

namespace tessaly {

int removePictureFiles(const QString& folder, const QString& photoID) {
    if (photoID.isEmpty())
        return 0;
    const QString prefix = photoID + QLatin1Char('_');
    QDir dir(folder);
    int removed = 0;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.startsWith(prefix) && dir.remove(name))
            ++removed;
    }
    return removed;
}

PictureDeletion::PictureDeletion(TSAppDelegate& app) : m_app(app) {
    app.controls().deleteItem->setAction([this] { deletePix(); });
    app.controls().deselectItem->setAction([this] { deselectPix(); });
}

void PictureDeletion::deletePix() {
    auto& c = m_app.controls();
    const QList<int> rows = c.resultsTableView->selectedRowIndexes();
    // Nothing selected, nothing to ask about.
    if (rows.isEmpty())
        return;
    const QString object = rows.size() == 1 ? QStringLiteral("the selected picture")
                                            : QString("the %1 selected pictures").arg(rows.size());
    const int answer = m_app.platform().runAlert(
        {"Delete Pictures",
         QString("Do you wish to delete %1 from the database? This can't be undone.\n\nPictures will "
                 "not be deleted from the Flickr account. They will only be removed from the local "
                 "database.")
             .arg(object),
         {"Delete", "Cancel"},
         AlertStyle::Informational});
    if (answer != AlertFirstButton)
        return;
    const QStringList ids = m_app.state().resultIDs;
    QStringList chosen;
    for (int row : rows) {
        if (row >= ids.size())
            break;
        chosen << ids[row];
    }
    deletePictures(chosen);
    // The list the user looks at, whatever made it, without what went.
    m_app.search().refreshResults();
}

void PictureDeletion::deletePictures(const QStringList& ids) {
    const QString folder = m_app.state().pixPath;
    for (const QString& id : ids) {
        const SqlResult result = m_app.database().run("DELETE FROM photos WHERE flickrID=?", {id});
        if (!result.ok())
            m_app.platform().criticalAlert({}, QString("SQL error: %1").arg(result.message));
        // Its video file goes with its other files (its name starts with the id too).
        if (m_app.database().exec(kCreateVideoFiles).ok())
            m_app.database().run("DELETE FROM videofiles WHERE flickrID=?", {id});
        removePictureFiles(folder, id);
    }
}

void PictureDeletion::deselectPix() { m_app.controls().resultsTableView->deselectAll(); }

} // namespace tessaly
