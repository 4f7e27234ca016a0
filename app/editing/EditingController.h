#pragma once

#include "EditRules.h"
#include "EditingControls.h"

#include <QString>
#include <QVariantMap>

struct OFError;

namespace tessaly {

class TSAppDelegate;

// What an edit sends to Flickr and writes into the archive.
struct EditValues {
    // The picture edited: fixed when the editor opens, so every call and
    // every archive update of one edit is for the same picture.
    QString requestFlickrID;
    QString title;
    QString description;
    QString tags;
    QString dateTaken;
    QString uploadDate; // read with the record, not used further
    int isFamily = 0;
    int isFriend = 0;
    int isPublic = 0;
    int license = 0;
    int permComment = 0;
    int permMeta = 0;
    editing::LocationEntry location;
};

// Editing a picture's Flickr data from the viewer window: the tags fetched
// from Flickr, the edit view filled from the archive, and on submission six
// calls one after the other, the archive following each call that succeeds.
// Owned by the controller, which routes the editing stages here.
class EditingController {
public:
    explicit EditingController(TSAppDelegate& app);
    EditingController(const EditingController&) = delete;
    EditingController& operator=(const EditingController&) = delete;

    EditingControls& controls() { return m_c; }
    const EditValues& values() const { return m_values; }
    // The six calls of a submission are under way.
    bool isSubmitting() const { return m_submitting; }

    static bool isEditingStage(const QString& stage);
    void didComplete(const QString& stage, const QVariantMap& response);
    // Failures of the "Set..." stages ("GetTagsList" follows the general rule).
    void didFail(const QString& stage, const OFError& error);
    // The current account or archive changed: the call in flight was dropped.
    void currentArchiveChanged();

    void editFlickr();
    void editFlickr2();
    void submitFlickr();
    void setMeta();
    void setTags();
    void setDates();
    void setPerms();
    void setLicense();
    void setLatLon();
    void doneEditing();
    void clickedDoneEditing();

private:
    // The picture the viewer shows, else the selected result's; empty when none.
    QString pictureToEdit() const;
    void requestTags(const QString& id);
    void processTagsList(const QVariantMap& response);
    void readRecord();
    bool callStage(const QString& stage, const QString& method, QVariantMap arguments);
    // Starts one call of the chain; one that cannot start fails its stage.
    void startStage(const QString& stage, const QString& method, const QVariantMap& arguments);
    void failStage(const QString& stage, const QString& description);
    // Runs one archive update of the chain; on failure stops it with the alert.
    bool update(const QString& sql, const QVariantList& parameters, bool showStatement);
    void stopChain();

    TSAppDelegate& m_app;
    EditingControls m_c;
    EditValues m_values;
    // The picture whose tags the call in flight asks for.
    QString m_tagsRequestID;
    bool m_submitting = false;
};

} // namespace tessaly
