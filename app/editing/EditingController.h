#pragma once

#include "EditRules.h"
#include "EditingControls.h"

#include <QString>
#include <QVariantMap>

struct OFError;

namespace tessaly {

class TSAppDelegate;

// Editing a picture's Flickr data from the viewer window: the edit view
// filled with what Flickr holds (asked for when it opens), and on submission
// one call for each group of fields the user changed, one after the other,
// the archive following each call that succeeds. A field left as it was is
// never sent, so Flickr keeps it byte for byte. Owned by the controller,
// which routes the editing stages here.
class EditingController {
public:
    explicit EditingController(TSAppDelegate& app);
    EditingController(const EditingController&) = delete;
    EditingController& operator=(const EditingController&) = delete;

    EditingControls& controls() { return m_c; }
    const EditValues& values() const { return m_values; }
    // The calls of a submission are under way.
    bool isSubmitting() const { return m_submitting; }
    // How many calls the last submission needed (0: nothing was changed).
    int lastSubmissionCalls() const { return m_submissionCalls; }

    static bool isEditingStage(const QString& stage);
    void didComplete(const QString& stage, const QVariantMap& response);
    // Failures of the "Set..." stages ("GetPhotoInfo" follows the general rule).
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
    void requestInfo(const QString& id);
    void processPhotoInfo(const QVariantMap& response);
    void readRecord();
    // Starts the next call the submission needs, or finishes it.
    void nextStage();
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
    // What the edit view showed when it opened: Flickr's own values.
    EditValues m_shown;
    // Flickr's answer about the picture, taken in when the view opens.
    QVariantMap m_info;
    // The picture whose information the call in flight asks for.
    QString m_infoRequestID;
    QStringList m_pendingStages;
    int m_submissionCalls = 0;
    bool m_submitting = false;
};

} // namespace tessaly
