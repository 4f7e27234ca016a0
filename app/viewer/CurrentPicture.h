#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace tessaly::viewer {

// The seven values of the picture on show, read by the viewer, the export
// and the editor.
struct CurrentPicture {
    QString currentOriginalURL;
    QString currentLargeURL;
    QString currentSquareURL;
    QString currentTitle;
    QString currentMedia;
    QString currentOwnerName;
    QString currentPictureID;

    // From the columns of kCurrentPictureQuery, in order (a NULL is empty text).
    static CurrentPicture fromColumns(const QStringList& columns);
};

// The current-picture query; the ID is bound.
inline const QString kCurrentPictureQuery = QStringLiteral(
    "SELECT url_o,url_l,url_sq,title,media,ownername,flickrID FROM photos WHERE flickrID = ?");

// The file of a picture size in the picture folder: the folder, "/" and the
// address's last path component. Empty when the address names no file of
// its own (empty, ".", ".." or holding a NUL), so that the folder itself is
// never taken for a picture.
QString pictureFile(const QString& pixPath, const QString& url);

// Which files the viewer uses for a picture.
struct ViewerFiles {
    QString squareFile;
    QString originalFilePath; // empty without an original address
    QString shownFile;        // large, else original, else square
    bool originalAvailable = false;
};
ViewerFiles chooseFiles(const CurrentPicture& picture, const QString& pixPath);

// The file saved and opened: the original, else the large, else the square
// file; empty when there is none.
QString saveSource(const CurrentPicture& picture, const QString& pixPath);

// The file measured for a record's size: its original, large or square file
// by the first address that is not empty.
QString fileSizeSource(const QString& originalURL, const QString& largeURL,
                       const QString& squareURL, const QString& pixPath);

// The size a picture is shown at: its pixel size, six times that when it is
// narrower than 200 pixels (a square thumbnail fills the view).
QSize displaySizeFor(QSize pixelSize);

// The name offered in the save panel: the file name without its extension
// (every "." + extension taken out).
QString suggestedSaveName(const QString& sourceFile);
// The saved path: the chosen path with "." + the extension added unless it
// already ends with it.
QString savePathWithExtension(const QString& chosenPath, const QString& extension);

// A name that stays inside the folder it is written to: "/" and NUL become
// "_", and a name starting with ".." gets a leading "_".
QString safeFileName(const QString& name);

} // namespace tessaly::viewer
