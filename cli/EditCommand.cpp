// tessaly-cli edit: a picture's title, description, tags, date, visibility,
// licence and location changed on Flickr, and in the archive once Flickr
// has taken each change, as the viewer's edit view does.
#include "Commands.h"
#include "Console.h"
#include "Session.h"
#include "editing/EditRules.h"
#include "editing/EditingController.h"
#include "viewer/ViewerController.h"

namespace tessaly::cli {

namespace {

QString dateCheck(const QString& value) {
    return editing::isValidDateTaken(value.trimmed())
               ? QString()
               : QString("%1 is not a date such as 2024-05-01 or 2024-05-01 14:30:00").arg(value);
}

QString locationCheck(const QString& value) {
    return editing::checkLocation(value).kind == editing::LocationEntry::Refused
               ? QString("%1 is not a latitude (-90 to 90) and a longitude (-180 to 180) such as "
                         "48.85,2.35")
                     .arg(value)
               : QString();
}

QString flagCheck(const QString& value) {
    return value == "0" || value == "1" ? QString() : QString("%1 is not 0 or 1").arg(value);
}

QString permissionCheck(const QString& value) {
    bool ok = false;
    const int n = value.toInt(&ok);
    return ok && n >= 0 && n <= 3 ? QString() : QString("%1 is not a number from 0 to 3").arg(value);
}

QString licenseCheck(const QString& value) {
    bool ok = false;
    const int n = value.toInt(&ok);
    return ok && n >= 0 && n < kLicenseNames.size()
               ? QString()
               : QString("%1 is not a licence number from 0 to %2").arg(value).arg(kLicenseNames.size() - 1);
}

// The edit view as the user would leave it: Flickr's values, then those given.
void fillEditView(const Invocation& invocation, EditingControls& c) {
    const std::pair<const char*, TextField*> texts[] = {{"title", c.editTitleTextField},
                                                        {"description", c.editDescTextField},
                                                        {"tags", c.editTagsTextField},
                                                        {"date", c.editDateTaken},
                                                        {"location", c.editLatLon}};
    for (const auto& [option, field] : texts)
        if (invocation.has(option))
            field->setStringValue(invocation.value(option));
    const std::pair<const char*, Button*> checks[] = {
        {"public", c.editPublicCheck}, {"friend", c.editFriendCheck}, {"family", c.editFamilyCheck}};
    for (const auto& [option, check] : checks)
        if (invocation.has(option))
            check->setState(invocation.value(option) == "1" ? Button::On : Button::Off);
    const std::pair<const char*, PopUpButton*> menus[] = {{"license", c.editLicensePopUpButton},
                                                          {"comments", c.editPermcommentPopUpButton},
                                                          {"notes", c.editPermnotePopUpButton}};
    for (const auto& [option, menu] : menus)
        if (invocation.has(option))
            menu->selectItemAtIndex(invocation.value(option).toInt());
}

int run(const Invocation& invocation) {
    Session session(*invocation.console);
    session.useCallsPerHour(invocation);
    session.launch();
    const QString id = invocation.positionals.value(0);
    if (!session.useAccount(invocation) || !session.requireArchive() || !session.requirePictures({id}) ||
        !session.selectAsResults({id}) || !session.connectWithStoredToken())
        return ExitFailure;

    // The editor opens once Flickr has said what the picture holds now.
    EditingController& editor = session.app().editing();
    const int alerts = session.platform().alertsShown();
    editor.editFlickr();
    session.waitUntil([&] { return !session.requestRunning(); });
    session.settle();
    if (!session.app().viewer().editMode() || session.platform().alertsShown() != alerts) {
        session.console().error(QString("the picture %1 could not be opened for editing").arg(id));
        return ExitFailure;
    }
    EditingControls& c = editor.controls();
    fillEditView(invocation, c);
    editor.submitFlickr();
    session.waitUntil([&] { return !editor.isSubmitting(); });
    session.settle();
    if (!c.doneEditingSheet->isVisible())
        return ExitFailure; // the alert has told why
    if (editor.lastSubmissionCalls() == 0)
        session.console().out(QString("Nothing to change: Flickr already holds these values for the picture %1.").arg(id));
    else
        session.console().out(QString("The picture %1 was updated on Flickr and in the archive.").arg(id));
    return ExitOk;
}

} // namespace

const CommandSpec& editCommand() {
    static const CommandSpec command{
        "edit",
        "ID",
        "Change a picture's data on Flickr and in the archive.",
        "Opens the picture ID of the current account's archive for editing as the\n"
        "viewer's edit view does (with what Flickr holds now), replaces the values\n"
        "given, and sends Flickr only what changed, one call for each of: title and\n"
        "description, tags, date taken, visibility and permissions, licence,\n"
        "location. Everything not given stays on Flickr exactly as it is. The archive\n"
        "takes each change once Flickr has accepted it; a call that fails stops the\n"
        "rest (exit status 1). Tags are separated by\n"
        "blanks, a tag of several words in double quotes. Licences are numbered as on\n"
        "Flickr (0 All Rights Reserved ... 10 Public Domain Mark); who may comment or\n"
        "add notes: 0 nobody, 1 friends and family, 2 contacts, 3 everybody. Connects\n"
        "with the account's stored token (see connect).",
        {accountOption(),
         callsPerHourOption(),
         {"title", "TEXT", "The title."},
         {"description", "TEXT", "The description."},
         {"tags", "TAGS", "The tags, e.g. 'beach \"new york\"'."},
         {"date", "DATE", "The date taken, e.g. 2024-05-01 14:30:00.", &dateCheck},
         {"public", "0|1", "Visible to everybody.", &flagCheck},
         {"friend", "0|1", "Visible to friends.", &flagCheck},
         {"family", "0|1", "Visible to family.", &flagCheck},
         {"comments", "0-3", "Who may comment.", &permissionCheck},
         {"notes", "0-3", "Who may add notes and tags.", &permissionCheck},
         {"license", "N", "The licence number.", &licenseCheck},
         {"location", "LAT,LON", "The location, e.g. 48.85,2.35.", &locationCheck}},
        1,
        1,
        &run};
    return command;
}

} // namespace tessaly::cli
