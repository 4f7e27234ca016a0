#pragma once

#include "CurrentPicture.h"
#include "ViewerControls.h"

#include <QImage>
#include <QString>

#include <functional>
#include <optional>

namespace tessaly {

class ArchiveDatabase;
class PlatformServices;
class TSAppDelegate;
struct SqlRow;
struct TSAppState;

// The picture viewer: shows the selected result's picture with its Flickr
// or EXIF information, steps through the results, saves, opens and plays
// the picture. Owned by the controller; opened by a click on a thumbnail.
class ViewerController {
public:
    ViewerController(TSAppDelegate& app, TSAppState& state, TSControls& controls,
                     ArchiveDatabase& database, PlatformServices& platform);
    ViewerController(const ViewerController&) = delete;
    ViewerController& operator=(const ViewerController&) = delete;

    ViewerControls& controls() { return m_c; }

    // The viewer's operations.
    void clickedSquareButton();
    void nextImage();
    void prevImage();
    void savePicture();
    void launchPicture();
    void playVideo();
    void getPictureInfo();
    void getExifInfo();
    // The two information texts of a picture by its ID, as the viewer shows
    // them (empty without its record or its EXIF data).
    StyledText pictureInfo(const QString& id);
    StyledText exifInfo(const QString& id);

    // The picture on show.
    const viewer::CurrentPicture& currentPicture() const { return m_current; }
    QString originalFilePath() const { return m_originalFilePath; }
    QString displayFilePath() const { return m_displayFilePath; }
    QImage currentImage() const { return m_currentImage; }
    // "latitude,longitude" of the last picture whose information was shown.
    QString currentLatLon() const { return m_currentLatLon; }
    // The text the information view shows.
    StyledText infoText() const { return m_c.imageInfoTextView->styledText(); }

    // The edit view: the editor sets the mode while it is shown, and the
    // operation that opens it, which stepping in edit mode runs again.
    bool editMode() const { return m_editMode; }
    void setEditMode(bool editMode) { m_editMode = editMode; }
    void setEditFlickr(std::function<void()> editFlickr);

    // The size shown for a record; a record without one is measured now and
    // the size stored, so it is measured once.
    qint64 recordFileSize(const SqlRow& record);

private:
    void wireActions();
    // The selected result's ID; nothing when no row is selected.
    std::optional<QString> selectedPictureID() const;
    void loadCurrentPicture(const QString& id);
    void showPictureFile(const QString& file);
    void step(int by);
    void showInfo(const StyledText& text, int infoMode);

    TSAppDelegate& m_app;
    TSAppState& m_state;
    TSControls& c;
    ViewerControls m_c;
    ArchiveDatabase& m_database;
    PlatformServices& m_platform;

    viewer::CurrentPicture m_current;
    QString m_originalFilePath;
    QString m_displayFilePath;
    QImage m_currentImage;
    QString m_currentLatLon;
    bool m_editMode = false;
    std::function<void()> m_editFlickr;
};

} // namespace tessaly
