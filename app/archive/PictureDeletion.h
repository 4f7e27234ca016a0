#pragma once

#include <QString>
#include <QStringList>

namespace tessaly {

class TSAppDelegate;

// Removes the picture files of one record: the files directly in the folder
// whose names begin with the id and "_". The folder is listed, never handed
// to a shell. Answers how many files went.
int removePictureFiles(const QString& folder, const QString& photoID);

// Deleting pictures from the local archive (never from Flickr) and
// clearing the selection of the result list.
class PictureDeletion {
public:
    explicit PictureDeletion(TSAppDelegate& app);

    void deletePix();
    void deselectPix();
    // Removes the records and files of these pictures, asking nothing: the
    // loop of deletePix, for a front end that asked in its own way.
    void deletePictures(const QStringList& ids);

private:
    TSAppDelegate& m_app;
};

} // namespace tessaly
