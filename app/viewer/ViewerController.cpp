#include "ViewerController.h"

#include "archive/VideoFile.h"

#include "PlatformServices.h"
#include "TSAppDelegate.h"
#include "TSAppState.h"
#include "archive/ArchiveDatabase.h"
#include "search/SearchController.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <QSaveFile>
#include <QUrl>

#include <cstdio>

namespace tessaly {

namespace {

// Drawn at twice the size it is shown at: sharp on high-DPI screens.
const QString kNoPicture = QStringLiteral(":/images/nopic@2x.png");

void reportReadError(const SqlResult& result) {
    std::fprintf(stderr, "SQL error: %s\n", result.message.toUtf8().constData());
}

// Copies a file over whatever is at the destination, all or nothing.
bool copyReplacing(const QString& source, const QString& destination, QString* error) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = out.errorString();
        return false;
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            *error = in.errorString();
            out.cancelWriting();
            return false;
        }
        if (out.write(chunk) != chunk.size())
            break;
    }
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

} // namespace

ViewerController::ViewerController(TSAppDelegate& app, TSAppState& state, TSControls& controls,
                                   ArchiveDatabase& database, PlatformServices& platform)
    : m_app(app), m_state(state), c(controls), m_c(controls), m_database(database),
      m_platform(platform) {
    wireActions();
    setEditFlickr({});
}

void ViewerController::wireActions() {
    m_app.search().setClickedSquareButton([this] { clickedSquareButton(); });
    c.savePicItem->setAction([this] { savePicture(); });
    m_c.nextButton->setAction([this] { nextImage(); });
    m_c.prevButton->setAction([this] { prevImage(); });
    m_c.showImageButton->setAction([this] { clickedSquareButton(); });
    m_c.playVideoButton->setAction([this] { playVideo(); });
    m_c.flickrDataButton->setAction([this] { getPictureInfo(); });
    m_c.exifDataButton->setAction([this] { getExifInfo(); });
    m_c.imageView->setAction([this] { launchPicture(); }); // a double click
    m_c.editImageButton->setAction([this] {
        if (m_editFlickr)
            m_editFlickr();
    });
}

void ViewerController::setEditFlickr(std::function<void()> editFlickr) {
    m_editFlickr = std::move(editFlickr);
    // Editing is offered once there is an editor.
    m_c.editImageButton->setEnabled(bool(m_editFlickr));
}

std::optional<QString> ViewerController::selectedPictureID() const {
    const int row = c.resultsTableView->selectedRow();
    if (row < 0 || row >= m_state.resultIDs.size())
        return std::nullopt;
    return m_state.resultIDs[row];
}

void ViewerController::loadCurrentPicture(const QString& id) {
    // A record that is not there (any more) leaves no current picture, not
    // the previous one under this row's number.
    QStringList columns;
    const SqlResult result =
        m_database.run(viewer::kCurrentPictureQuery, {id}, [&](const SqlRow& row) {
            columns = row.values;
            return 0;
        });
    if (!result.ok())
        reportReadError(result);
    m_current = viewer::CurrentPicture::fromColumns(columns);
}

void ViewerController::clickedSquareButton() {
    const std::optional<QString> id = selectedPictureID();
    if (!id)
        return;
    m_editMode = false;
    const int row = c.resultsTableView->selectedRow();
    const int rows = c.resultsTableView->numberOfRows();
    m_c.prevButton->setEnabled(row != 0);
    m_c.nextButton->setEnabled(row != rows - 1);

    loadCurrentPicture(*id);
    const viewer::ViewerFiles files = viewer::chooseFiles(m_current, m_state.pixPath);
    m_c.chooseSizeButton->setItemEnabled(0, true);
    m_c.chooseSizeButton->setItemEnabled(1, true);
    m_c.playVideoButton->setHidden(m_current.currentMedia != QLatin1String("video"));
    if (!files.originalAvailable) {
        m_c.chooseSizeButton->setItemEnabled(0, false);
        m_c.chooseSizeButton->selectItemAtIndex(1);
    }
    m_originalFilePath = files.originalFilePath;
    m_displayFilePath = files.shownFile;
    m_current.currentTitle += QLatin1Char('.') + QFileInfo(m_displayFilePath).suffix();
    m_c.imageView->setImageFileName(m_current.currentTitle);
    // No file is ever deleted here: a missing square file is fetched again by
    // the next file download, and the shown file may be the only copy left.
    showPictureFile(m_displayFilePath);

    m_c.editView->setHidden(true);
    m_c.imageView->setHidden(false);
    c.imageWindow->setTitle("Image");
    m_c.editImageButton->setHidden(false);

    if (m_state.infoMode == 2)
        getExifInfo();
    else
        getPictureInfo();

    m_c.imageInfoTextView->makeFirstResponder();
    c.imageWindow->makeKeyAndOrderFront();
    m_app.setViewerOpen(true);
    const QLocale locale;
    m_c.imageNumberTextField->setStringValue(
        QStringLiteral("%1 of %2").arg(locale.toString(row + 1), locale.toString(rows)));
}

void ViewerController::showPictureFile(const QString& file) {
    if (!file.isEmpty() && QFileInfo(file).isFile()) {
        QImageReader reader(file);
        reader.setAutoTransform(true);
        // A file that is no image leaves the view empty.
        m_currentImage = reader.read();
        m_c.imageView->setImage(m_currentImage, viewer::displaySizeFor(m_currentImage.size()));
        m_c.imageView->setEditable(true);
        m_c.showImageButton->setTitle(" Exit Edit Mode");
        m_c.showImageButton->setHidden(true);
        return;
    }
    m_currentImage = QImage();
    const QImage placeholder(kNoPicture);
    m_c.imageView->setImage(placeholder, placeholder.size() / 2);
    m_c.imageView->setEditable(false);
    m_displayFilePath.clear();
}

void ViewerController::nextImage() {
    step(+1);
}

void ViewerController::prevImage() {
    step(-1);
}

void ViewerController::step(int by) {
    TableView* table = c.resultsTableView;
    const int row = table->selectedRow();
    if (row < 0)
        return;
    const int last = table->numberOfRows() - 1;
    const int next = row + by;
    if (next >= 0 && next <= last) {
        table->selectRow(next);
        // One more row in the direction of travel comes into sight too.
        table->scrollRowToVisible(qBound(0, next + by, last));
    }
    const bool wasEditing = m_editMode;
    clickedSquareButton();
    if (wasEditing && m_editFlickr)
        m_editFlickr();
}

void ViewerController::savePicture() {
    if (m_displayFilePath.isEmpty())
        return;
    const QString source = viewer::saveSource(m_current, m_state.pixPath);
    if (source.isEmpty())
        return;
    const QString extension = QFileInfo(source).suffix();
    SavePanelRequest panel;
    panel.title = QStringLiteral("Save Picture");
    panel.message = QStringLiteral("Save the Image to a File");
    panel.suggestedName = viewer::suggestedSaveName(source);
    panel.canCreateDirectories = true;
    const QString chosen = m_platform.runSavePanel(panel);
    if (chosen.isEmpty())
        return;
    const QString destination = viewer::savePathWithExtension(chosen, extension);
    // The panel asked before replacing the file it was given, not the one
    // with the extension added.
    if (destination != chosen && QFileInfo::exists(destination)) {
        const int answer =
            m_platform.runAlert({QStringLiteral("Save Picture"),
                                 QStringLiteral("\"%1\" already exists. Do you want to replace it?")
                                     .arg(QFileInfo(destination).fileName()),
                                 {QStringLiteral("Cancel"), QStringLiteral("Replace")},
                                 AlertStyle::Informational});
        if (answer != AlertSecondButton)
            return;
    }
    QString error;
    if (!copyReplacing(source, destination, &error))
        m_platform.criticalAlert(
            QStringLiteral("Save Picture"),
            QStringLiteral("The picture could not be saved to \"%1\": %2").arg(destination, error));
}

void ViewerController::launchPicture() {
    const QString file = viewer::saveSource(m_current, m_state.pixPath);
    if (file.isEmpty() || !QFileInfo(file).isFile() || !m_platform.openFile(file))
        m_platform.alert(QStringLiteral("Launch This Picture."),
                         QStringLiteral("Unable to launch this picture."));
}

void ViewerController::playVideo() {
    if (m_current.currentPictureID.isEmpty())
        return;
    // The video itself when it was downloaded, else its page on Flickr.
    const QString file = videoFileOf(m_database, m_state.pixPath, m_current.currentPictureID);
    if (!file.isEmpty() && m_platform.openFile(file))
        return;
    m_platform.openURL(
        QUrl(m_state.currentWebAddress + QLatin1Char('/') + m_current.currentPictureID));
}

} // namespace tessaly
