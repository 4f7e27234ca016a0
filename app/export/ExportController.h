#pragma once

#include "TSControls.h"
#include "export/ExportMetadata.h"

#include <QString>
#include <QStringList>

namespace tessaly {

class TSAppDelegate;

// The control models of the export panel. Children of TSControls, so the
// panel finds them by name.
struct ExportControls {
    explicit ExportControls(TSControls& controls);

    Window* exportPanel;
    TextField* selectedImagesTextField;
    // "Original size", "Large size".
    PopUpButton* exportSizeButton;
    // "Use title", "Use filename", and naming by prefix.
    PopUpButton* exportNameButton;
    TextField* exportPrefixTextField;
    Button* textFileCheck;
    // Title, description, tags, date, place, licence and page written into each copy.
    Button* metadataCheck;
    Button* doExportButton;
};

// Exporting the selected results: copies of their picture files in a
// folder of the user's choice, named by title, file name or prefix, each
// with a text file of its information when asked. Reads the archive and
// the picture folder; never talks to Flickr.
class ExportController {
public:
    explicit ExportController(TSAppDelegate& app);
    ExportController(const ExportController&) = delete;
    ExportController& operator=(const ExportController&) = delete;

    ExportControls& controls() { return m_c; }
    // The folder of the last export.
    QString exportFolder() const { return m_exportFolder; }

    void exportPix();
    void doExportPix();
    void finishExportPix();
    // The result list's selection changed: the open panel counts again.
    void selectionChanged();

private:
    void followNaming();
    // The information text, then the EXIF text when there is one.
    QString pictureText(const QString& id);
    bool writeTextFile(const QString& id, const QString& path, QString* error);
    // The record's Flickr information as a copy carries it.
    exporter::FlickrInformation flickrInformation(const QString& id);
    void showOutcome(int exported, const QStringList& failures);

    TSAppDelegate& m_app;
    ExportControls m_c;
    QString m_exportFolder;
};

} // namespace tessaly
