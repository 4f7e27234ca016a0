// Editing a picture's Flickr data: opening the edit view on what Flickr
// holds, checking and sending what changed, and the archive following each
// call that succeeds.
#include "EditingController.h"

#include "OFFlickrAPIRequest.h"
#include "PlatformServices.h"
#include "TSAppDelegate.h"
#include "viewer/ViewerController.h"

#include <cstdio>

namespace tessaly {

namespace {

const QString kInfoStage = QStringLiteral("GetPhotoInfo");
const QString kBusy = QStringLiteral("Another request to Flickr was under way.");

// A picture's record as the edit view shows it.
const QString kRecordQuery = QStringLiteral(
    "SELECT title,description,license,datetaken,dateupload,isfamily,isfriend,ispublic,permcomment,"
    "permmeta,latitude,longitude FROM photos WHERE flickrID = ?");

int checkState(Button* check) {
    return check->state() == Button::On ? 1 : 0;
}
Button::State stateOf(int value) {
    return value != 0 ? Button::On : Button::Off;
}

} // namespace

EditingController::EditingController(TSAppDelegate& app) : m_app(app), m_c(app.controls()) {
    app.viewer().setEditFlickr([this] { editFlickr(); });
    m_c.submitFlickrButton->setAction([this] { submitFlickr(); });
    // Return in a one-line field sends the edit.
    for (TextField* field :
         {m_c.editTitleTextField, m_c.editTagsTextField, m_c.editDateTaken, m_c.editLatLon})
        field->setAction([this] { submitFlickr(); });
    m_c.doneEditingButton->setAction([this] { clickedDoneEditing(); });
}

bool EditingController::isEditingStage(const QString& stage) {
    static const QStringList stages = {"SetMeta",    "SetTags",   "SetDates",   "SetPerms",
                                       "SetLicense", "SetLatLon", "GetPhotoInfo"};
    return stages.contains(stage);
}

QString EditingController::pictureToEdit() const {
    const TSAppState& s = m_app.state();
    // The picture on show, as long as it belongs to the results of this archive.
    const QString shown = m_app.viewer().currentPicture().currentPictureID;
    if (!shown.isEmpty() && s.resultIDs.contains(shown))
        return shown;
    const int row = m_app.controls().resultsTableView->selectedRow();
    return row >= 0 && row < s.resultIDs.size() ? s.resultIDs[row] : QString();
}

void EditingController::editFlickr() {
    auto& c = m_app.controls();
    switch (m_app.state().connectionState) {
    case 1: {
        // A submission under way keeps its picture.
        if (m_submitting)
            return;
        const QString id = pictureToEdit();
        if (id.isEmpty())
            return;
        m_values.requestFlickrID = id;
        // A call still out for another picture asks again when it answers.
        const OFFlickrAPIRequest& request = m_app.flickrRequest();
        if (request.isRunning() && request.sessionInfo().toString() == kInfoStage)
            return;
        requestInfo(id);
        return;
    }
    case 0:
        // Connect first; the edit resumes once the connection test succeeds.
        m_app.setConnectionState(2);
        c.imageWindow->close();
        m_app.setViewerOpen(false);
        c.window->makeKeyAndOrderFront();
        m_app.oauthAuthenticationAction();
        return;
    default:
        return; // an edit already waits for the connection
    }
}

void EditingController::requestInfo(const QString& id) {
    m_infoRequestID = id;
    if (callStage(kInfoStage, "flickr.photos.getInfo", {}))
        return;
    m_app.postAlert(
        {"Edit on Flickr",
         "Tessaly is still waiting for another answer from Flickr, perhaps of a download "
         "under way. Try again when it has finished.",
         {},
         AlertStyle::Informational});
}

void EditingController::processPhotoInfo(const QVariantMap& response) {
    // The user stepped to another picture while this answer was on its way.
    if (m_infoRequestID != m_values.requestFlickrID) {
        requestInfo(m_values.requestFlickrID);
        return;
    }
    m_info = response;
    editFlickr2();
}

void EditingController::editFlickr2() {
    auto& c = m_app.controls();
    ViewerController& viewer = m_app.viewer();
    ViewerControls& v = viewer.controls();
    m_c.invalidDate->setHidden(true);
    m_c.invalidLatLon->setHidden(true);
    m_c.editImageView->setImage(v.imageView->image(), v.imageView->displaySize());
    m_c.editImageView->setEditable(false);
    viewer.setEditMode(true);

    v.imageView->setHidden(true);
    c.imageWindow->setTitle("Editing Flickr Data");
    v.showImageButton->setHidden(false);
    v.editImageButton->setHidden(true);
    v.editView->setHidden(false);
    c.window->close();
    c.imageWindow->makeKeyAndOrderFront();
    m_app.setViewerOpen(true);

    // The archive's record, then what Flickr holds now: the texts the archive
    // stores lost their line breaks, and only Flickr's own may be sent back.
    readRecord();
    editing::takeFlickrInfo(m_info, &m_values);
    m_shown = m_values;
    m_c.editTagsTextField->setStringValue(m_values.tags);
    m_c.editLatLon->setStringValue(m_values.locationText);
    m_c.editTitleTextField->setStringValue(m_values.title);
    m_c.editDescTextField->setStringValue(m_values.description);
    m_c.editDateTaken->setStringValue(m_values.dateTaken);
    m_c.editFamilyCheck->setState(stateOf(m_values.isFamily));
    m_c.editFriendCheck->setState(stateOf(m_values.isFriend));
    m_c.editPublicCheck->setState(stateOf(m_values.isPublic));
    // A licence Flickr added after these names keeps its number.
    PopUpButton* licenses = m_c.editLicensePopUpButton;
    while (licenses->numberOfItems() <= m_values.license)
        licenses->addItemWithTitle(QString("License %1").arg(licenses->numberOfItems()));
    licenses->selectItemAtIndex(m_values.license);
    m_c.editPermcommentPopUpButton->selectItemAtIndex(qBound(0, m_values.permComment, 3));
    m_c.editPermnotePopUpButton->selectItemAtIndex(qBound(0, m_values.permMeta, 3));
}

void EditingController::readRecord() {
    // A record that cannot be read shows empty fields, never another picture's.
    const QString id = m_values.requestFlickrID;
    m_values = EditValues{};
    m_values.requestFlickrID = id;
    QString latitude;
    QString longitude;
    const SqlResult result = m_app.database().run(kRecordQuery, {id}, [&](const SqlRow& row) {
        m_values.title = row.value(0);
        m_values.description = row.value(1);
        m_values.license = qMax(0, row.value(2).toInt());
        m_values.dateTaken = row.value(3);
        m_values.uploadDate = row.value(4);
        m_values.isFamily = row.value(5).toInt();
        m_values.isFriend = row.value(6).toInt();
        m_values.isPublic = row.value(7).toInt();
        m_values.permComment = row.value(8).toInt();
        m_values.permMeta = row.value(9).toInt();
        latitude = row.value(10);
        longitude = row.value(11);
        return 0;
    });
    if (!result.ok())
        std::fprintf(stderr, "SQL error: %s\n", result.message.toUtf8().constData());
    m_values.locationText = editing::locationFieldText(latitude, longitude);
}

void EditingController::submitFlickr() {
    if (m_submitting || m_values.requestFlickrID.isEmpty())
        return;
    m_c.invalidDate->setHidden(true);
    m_c.invalidLatLon->setHidden(true);
    m_values.title = m_c.editTitleTextField->stringValue();
    m_values.description = m_c.editDescTextField->stringValue();
    m_values.tags = m_c.editTagsTextField->stringValue();
    // Only what the user changed is checked: Flickr's own values go back untouched.
    const QString date = m_c.editDateTaken->stringValue();
    m_values.dateTaken = date == m_shown.dateTaken ? date : date.trimmed();
    if (m_values.dateTaken != m_shown.dateTaken && !editing::isValidDateTaken(m_values.dateTaken)) {
        m_c.invalidDate->setHidden(false);
        return;
    }
    m_values.locationText = m_c.editLatLon->stringValue();
    m_values.location = editing::checkLocation(m_values.locationText);
    if (m_values.locationText.trimmed() != m_shown.locationText.trimmed() &&
        m_values.location.kind == editing::LocationEntry::Refused) {
        m_c.invalidLatLon->setHidden(false);
        return;
    }
    m_values.isFamily = checkState(m_c.editFamilyCheck);
    m_values.isFriend = checkState(m_c.editFriendCheck);
    m_values.isPublic = checkState(m_c.editPublicCheck);
    m_values.license = qMax(0, m_c.editLicensePopUpButton->indexOfSelectedItem());
    m_values.permComment = qMax(0, m_c.editPermcommentPopUpButton->indexOfSelectedItem());
    m_values.permMeta = qMax(0, m_c.editPermnotePopUpButton->indexOfSelectedItem());

    m_pendingStages = editing::changedStages(m_shown, m_values);
    m_submissionCalls = int(m_pendingStages.size());
    m_submitting = true;
    m_app.doProgressPanel("Updating Flickr Data");
    nextStage();
}

void EditingController::nextStage() {
    if (m_pendingStages.isEmpty()) {
        doneEditing();
        return;
    }
    const QString stage = m_pendingStages.takeFirst();
    if (stage == QLatin1String("SetMeta"))
        setMeta();
    else if (stage == QLatin1String("SetTags"))
        setTags();
    else if (stage == QLatin1String("SetDates"))
        setDates();
    else if (stage == QLatin1String("SetPerms"))
        setPerms();
    else if (stage == QLatin1String("SetLicense"))
        setLicense();
    else
        setLatLon();
}

bool EditingController::callStage(const QString& stage, const QString& method,
                                  QVariantMap arguments) {
    arguments.insert("api_key", m_app.flickrContext().key());
    arguments.insert("photo_id", stage == kInfoStage ? m_infoRequestID : m_values.requestFlickrID);
    return m_app.callFlickr(stage, method, arguments, TSAppDelegate::HttpVerb::Post);
}

void EditingController::startStage(const QString& stage, const QString& method,
                                   const QVariantMap& arguments) {
    if (!callStage(stage, method, arguments))
        failStage(stage, kBusy);
}

void EditingController::setMeta() {
    startStage("SetMeta", "flickr.photos.setMeta",
               {{"title", m_values.title}, {"description", m_values.description}});
}

void EditingController::setTags() {
    startStage("SetTags", "flickr.photos.setTags", {{"tags", m_values.tags}});
}

void EditingController::setDates() {
    startStage("SetDates", "flickr.photos.setDates", {{"date_taken", m_values.dateTaken}});
}

void EditingController::setPerms() {
    startStage("SetPerms", "flickr.photos.setPerms",
               {{"is_public", QString::number(m_values.isPublic)},
                {"is_friend", QString::number(m_values.isFriend)},
                {"is_family", QString::number(m_values.isFamily)},
                {"perm_comment", QString::number(m_values.permComment)},
                {"perm_addmeta", QString::number(m_values.permMeta)}});
}

void EditingController::setLicense() {
    startStage("SetLicense", "flickr.photos.licenses.setLicense",
               {{"license_id", QString::number(m_values.license)}});
}

void EditingController::setLatLon() {
    startStage("SetLatLon", "flickr.photos.geo.setLocation",
               {{"lat", m_values.location.latitude}, {"lon", m_values.location.longitude}});
}

void EditingController::didComplete(const QString& stage, const QVariantMap& response) {
    if (stage == kInfoStage) {
        processPhotoInfo(response);
        return;
    }
    if (!m_submitting)
        return;
    const EditValues& v = m_values;
    const QString& id = v.requestFlickrID;
    using editing::storedText;
    bool stored = false;
    if (stage == QLatin1String("SetMeta")) {
        // A text left as it was keeps the archive's own form of it.
        const bool title = v.title != m_shown.title;
        const bool description = v.description != m_shown.description;
        stored = title && description
                     ? update("UPDATE photos SET title=?,description=? WHERE flickrID=?",
                              {storedText(v.title), storedText(v.description), id}, true)
                 : title ? update("UPDATE photos SET title=? WHERE flickrID=?", {storedText(v.title), id}, true)
                         : update("UPDATE photos SET description=? WHERE flickrID=?",
                                  {storedText(v.description), id}, true);
    } else if (stage == QLatin1String("SetTags")) {
        stored = update("UPDATE photos SET tags=? WHERE flickrID=?", {storedText(v.tags), id}, true);
    } else if (stage == QLatin1String("SetDates")) {
        stored = update("UPDATE photos SET datetaken=? WHERE flickrID=?", {storedText(v.dateTaken), id}, false);
    } else if (stage == QLatin1String("SetPerms")) {
        stored = update("UPDATE photos SET isfamily=?,isfriend=?,ispublic=?,permcomment=?,permmeta=? "
                        "WHERE flickrID=?",
                        {v.isFamily, v.isFriend, v.isPublic, v.permComment, v.permMeta, id}, false);
    } else if (stage == QLatin1String("SetLicense")) {
        stored = update("UPDATE photos SET license=? WHERE flickrID=?", {v.license, id}, false);
    } else if (stage == QLatin1String("SetLatLon")) {
        stored = update("UPDATE photos SET latitude=?,longitude=? WHERE flickrID=?",
                        {v.location.latitudeValue, v.location.longitudeValue, id}, false);
    }
    if (!stored)
        return;
    // Flickr now holds these: a second try after a failure sends only the rest.
    editing::takeSentGroup(stage, v, &m_shown);
    nextStage();
}

bool EditingController::update(const QString& sql, const QVariantList& parameters,
                               bool showStatement) {
    const SqlResult result = m_app.database().run(sql, parameters);
    if (result.ok())
        return true;
    stopChain();
    const QString message = showStatement ? QString("SQL error: %1 %2").arg(result.message, sql)
                                          : QString("SQL error: %1").arg(result.message);
    m_app.postAlert({{}, message, {}, AlertStyle::Critical});
    return false;
}

void EditingController::didFail(const QString& stage, const OFError& error) {
    if (m_submitting)
        failStage(stage, error.localizedDescription());
}

void EditingController::failStage(const QString& stage, const QString& description) {
    stopChain();
    if (stage == QLatin1String("SetMeta"))
        m_app.postAlert({"Flickr Update Unsuccessful",
                         "Updating your Flickr data was unsuccessful. Make sure you are connected "
                         "and try again.",
                         {},
                         AlertStyle::Informational});
    else
        m_app.postAlert(
            {"API Error",
             QString(
                 "An error occurred while updating the Flickr data, in the stage \"%1\", error: %2")
                 .arg(stage, description),
             {},
             AlertStyle::Informational});
}

void EditingController::stopChain() {
    m_submitting = false;
    m_pendingStages.clear();
    m_app.controls().progressPanel->close();
}

void EditingController::doneEditing() {
    stopChain();
    m_c.doneEditingSheet->beginSheet(m_app.controls().imageWindow);
}

void EditingController::clickedDoneEditing() {
    m_c.doneEditingSheet->endSheet();
    m_app.viewer().clickedSquareButton();
}

void EditingController::currentArchiveChanged() {
    // The call in flight was dropped with the archive it would have written to.
    if (m_submitting)
        stopChain();
    if (m_c.doneEditingSheet->isVisible())
        m_c.doneEditingSheet->endSheet();
    m_values = EditValues{};
    m_shown = EditValues{};
    m_info.clear();
    m_pendingStages.clear();
    m_infoRequestID.clear();
}

} // namespace tessaly
