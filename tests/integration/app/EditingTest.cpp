// Editing a picture's Flickr data: what reaches the stand-in Flickr, what the archive holds, how the chain meets faults.
#include "FlowFixture.h"
#include "editing/EditingController.h"
#include "search/SearchController.h"
#include "viewer/ViewerController.h"

using namespace tessaly;
using namespace tessaly::test;

namespace {

// Every field an edit can change, exactly as Flickr holds it.
QString describe(const fakeflickr::Photo& p) {
    const QString place = p.geotagged ? QString::number(p.latitude, 'g', 17) + "," + QString::number(p.longitude, 'g', 17)
                                      : QString("none");
    return QStringList{p.title, p.description, p.rawTags.join(','), p.dateTaken,
                       QString("%1%2%3").arg(p.isFamily).arg(p.isFriend).arg(p.isPublic),
                       QString("%1%2").arg(p.permComment).arg(p.permAddMeta), QString::number(p.license), place}
        .join('|');
}

} // namespace

class EditingTest : public FlowFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        connectTo(12);
        ASSERT_TRUE(downloadInformation(false, false));
        dismissFinish();
        app->search().searchDB();
        app->search().controls().searchButton->performClick();
        ASSERT_EQ(app->state().resultIDs.size(), 12);
        ids = app->state().resultIDs;
        c = &app->controls();
        e = &app->editing().controls();
        v = &app->viewer().controls();
    }

    void openEditor(const QString& id) {
        c->resultsTableView->selectRow(int(ids.indexOf(id)));
        c->resultsTableView->performClick();
        v->editImageButton->performClick();
        ASSERT_TRUE(editorReady());
    }
    bool editorReady() { return waitUntil([&] { return !v->editView->isHidden() && !app->flickrRequest().isRunning(); }); }
    bool submit() {
        e->submitFlickrButton->performClick();
        return waitUntil([&] { return !app->editing().isSubmitting(); });
    }
    QString field(const QString& id, const QString& col) { return cell("SELECT " + col + " FROM photos WHERE flickrID=?", {id}); }
    // Every column an edit can change, as the archive holds it.
    QString archived(const QString& id) {
        return field(id, "title||'|'||description||'|'||tags||'|'||datetaken||'|'||isfamily||isfriend||ispublic||'|'||"
                         "permcomment||permmeta||'|'||license||'|'||latitude||','||longitude");
    }
    QString onFlickr(const QString& id) { return describe(*service->photo(id)); }
    QStringList methods(bool writesOnly = true) const {
        QStringList names;
        for (const auto& call : writesOnly ? service->writeCalls() : service->calls())
            names << call.method;
        return names;
    }

    QStringList ids;
    TSControls* c = nullptr;
    EditingControls* e = nullptr;
    ViewerControls* v = nullptr;
};

TEST_F(EditingTest, AFullEditReachesFlickrAndTheArchiveAndRefusedDatesAndLocationsSendNothing) {
    const QString id = ids.first();
    const fakeflickr::Photo before = *service->photo(id);
    const QString stored = archived(id);
    openEditor(id);
    // In edit mode the picture, the edit button and the main window hidden; the edit view shows what Flickr holds.
    EXPECT_EQ(std::tuple(app->viewer().editMode(), v->imageView->isHidden(), v->showImageButton->isHidden(),
                         v->editImageButton->isHidden(), c->window->isVisible()),
              std::tuple(true, true, false, true, false));
    EXPECT_EQ(std::tuple(e->editTitleTextField->stringValue(), e->editDateTaken->stringValue(),
                         e->editLicensePopUpButton->indexOfSelectedItem(), e->editPublicCheck->state()),
              std::tuple(before.title, before.dateTaken, before.license, before.isPublic ? Button::On : Button::Off));
    EXPECT_EQ(service->calls().last().method + " " + service->calls().last().httpMethod, "flickr.photos.getInfo POST");

    // Dates and locations Tessaly refuses send nothing and leave the archive as it was.
    e->editTitleTextField->setStringValue("Changed");
    for (const QString date : {"", "2011-13-01", "yesterday", "2011-06-02 25:00:00"}) {
        e->editDateTaken->setStringValue(date);
        e->editTitleTextField->performClick(); // Return in the title
        EXPECT_FALSE(e->invalidDate->isHidden()) << date.toStdString();
        EXPECT_TRUE(e->invalidLatLon->isHidden());
    }
    e->editDateTaken->setStringValue("2011-06-02");
    for (const QString location : {"0,500", "45,200", "-91,0", "45,10,3", "45;10", "45,", "north,east", "1e1,2",
                                   "45,10; DELETE FROM photos", "45,10 OR 1=1"}) {
        e->editLatLon->setStringValue(location);
        e->submitFlickrButton->performClick();
        EXPECT_FALSE(e->invalidLatLon->isHidden()) << location.toStdString();
        EXPECT_TRUE(e->invalidDate->isHidden());
    }
    EXPECT_EQ(std::tuple(app->editing().isSubmitting(), c->progressPanel->isVisible(), service->writeCalls().size()),
              std::tuple(false, false, 0));
    EXPECT_EQ(archived(id), stored);
    EXPECT_EQ(field(id, "(SELECT count(*) FROM photos)"), "12");

    e->editTitleTextField->setStringValue("Harbour at dusk");
    e->editDescTextField->setStringValue("She said \"hello\"\nand left.\n\nThe end");
    e->editTagsTextField->setStringValue("sunset \"new york\"");
    e->editDateTaken->setStringValue("2011-06-02 18:45:00");
    e->editLatLon->setStringValue(" 45.5 , -73.25 ");
    e->editFamilyCheck->setState(Button::On);
    e->editFriendCheck->setState(Button::Off);
    e->editPublicCheck->setState(Button::Off);
    e->editLicensePopUpButton->selectItemAtIndex(4);
    e->editPermcommentPopUpButton->selectItemAtIndex(2);
    e->editPermnotePopUpButton->selectItemAtIndex(1);
    e->submitFlickrButton->performClick();
    EXPECT_TRUE(c->progressPanel->isVisible());
    ASSERT_TRUE(waitUntil([&] { return e->doneEditingSheet->isVisible(); }));
    EXPECT_FALSE(c->progressPanel->isVisible());
    EXPECT_EQ(e->doneEditingSheet->sheetParent(), c->imageWindow);

    EXPECT_EQ(methods(), QStringList({"flickr.photos.setMeta", "flickr.photos.setTags", "flickr.photos.setDates",
                                             "flickr.photos.setPerms", "flickr.photos.licenses.setLicense",
                                             "flickr.photos.geo.setLocation"}));
    for (const auto& call : service->writeCalls()) {
        EXPECT_EQ(call.httpMethod, "POST");
        EXPECT_EQ(call.args.value("photo_id"), id);
        EXPECT_EQ(call.errorCode, 0) << call.method.toStdString();
    }
    // Flickr holds the texts as typed; the archive the same, without line breaks.
    EXPECT_EQ(onFlickr(id), "Harbour at dusk|She said \"hello\"\nand left.\n\nThe end|sunset,new york|"
                            "2011-06-02 18:45:00|100|21|4|45.5,-73.25");
    EXPECT_EQ(archived(id), "Harbour at dusk|She said \"hello\"and left.The end|sunset \"new york\"|"
                            "2011-06-02 18:45:00|100|21|4|45.5,-73.25");

    e->doneEditingButton->performClick();
    EXPECT_EQ(std::tuple(e->doneEditingSheet->isVisible(), app->viewer().editMode(), v->editView->isHidden()),
              std::tuple(false, false, true));
    EXPECT_TRUE(app->viewer().infoText().text.contains("Title:  Harbour at dusk\n"));
    service->clearLog();

    // A picture without a location: the field is empty and, left empty, not sent; only the title goes.
    const QString plain = cell("SELECT flickrID FROM photos WHERE latitude = '0'");
    ASSERT_FALSE(plain.isEmpty());
    openEditor(plain);
    EXPECT_EQ(e->editLatLon->stringValue(), "");
    e->editTitleTextField->setStringValue("Changed");
    e->editLatLon->performClick(); // Return in the location
    ASSERT_TRUE(waitUntil([&] { return !app->editing().isSubmitting() && e->doneEditingSheet->isVisible(); }));
    EXPECT_EQ(methods(), QStringList({"flickr.photos.setMeta"}));
    EXPECT_FALSE(service->photo(plain)->geotagged);
    EXPECT_EQ(field(plain, "title||'|'||latitude||','||longitude"), "Changed|0,0");
    e->doneEditingButton->performClick();

    // Opened again, the location and permissions come back from Flickr.
    openEditor(id);
    EXPECT_EQ(e->editLatLon->stringValue(), "45.5,-73.25");
    EXPECT_EQ(e->editPermcommentPopUpButton->indexOfSelectedItem(), 2);
    EXPECT_TRUE(platform.alerts.isEmpty());
}

TEST_F(EditingTest, OnlyWhatTheUserChangedReachesFlickrAndItArrivesByteForByte) {
    const QString id = ids.value(2);
    // Texts the archive cannot hold as they are (line breaks, \" ) and that signing must carry exactly (~ & <).
    const QString title = "Say \\\"cheese\\\" now\t~ & <b>";
    const QString description = QString::fromUtf8("Line one\n\nLine three\t\\\"q\\\" & <i> Zürich ~ end");
    service->editPhoto(id, [&](fakeflickr::Photo& p) {
        p.title = title;
        p.description = description;
        p.rawTags = {"new york", "a~b", QString::fromUtf8("Zürich")};
    });
    fakeflickr::Photo expected = *service->photo(id);
    service->clearLog();
    openEditor(id);
    EXPECT_EQ(std::tuple(e->editTitleTextField->stringValue(), e->editDescTextField->stringValue(),
                         e->editTagsTextField->stringValue()),
              std::tuple(title, description, QString::fromUtf8("\"new york\" a~b Zürich ")));

    expected.license = expected.license == 4 ? 5 : 4;
    e->editLicensePopUpButton->selectItemAtIndex(expected.license);
    ASSERT_TRUE(submit() && e->doneEditingSheet->isVisible());
    EXPECT_EQ(methods(), QStringList({"flickr.photos.licenses.setLicense"}));
    EXPECT_EQ(onFlickr(id), describe(expected));
    EXPECT_EQ(field(id, "license"), QString::number(expected.license));

    // One field typed again: only setMeta goes, the other text beside it exactly as Flickr holds it.
    const auto editOnly = [&](TextField* box, QString* value, const QString& text) {
        e->doneEditingButton->performClick();
        openEditor(id);
        service->clearLog();
        box->setStringValue(*value = text);
        ASSERT_TRUE(submit() && e->doneEditingSheet->isVisible());
        EXPECT_EQ(methods(), QStringList({"flickr.photos.setMeta"}));
        EXPECT_EQ(onFlickr(id), describe(expected));
    };
    editOnly(e->editTitleTextField, &expected.title, "a~b ~ c"); // "~" signed as Flickr signs it
    // The archive keeps its own form of the description it was not asked to change.
    EXPECT_EQ(field(id, "title"), "a~b ~ c");
    EXPECT_FALSE(field(id, "description").contains('\n'));
    editOnly(e->editDescTextField, &expected.description, "Only ~ this\nchanged");
    EXPECT_TRUE(platform.alerts.isEmpty());
}

TEST_F(EditingTest, AFailedCallStopsTheChainAndKeepsWhatWentBefore) {
    const QString id = ids.first();
    fakeflickr::Photo expected = *service->photo(id);
    const QStringList stored = archived(id).split('|');
    ASSERT_TRUE(service->addFault("error:flickr.photos.setDates:106"));
    openEditor(id);
    e->editTitleTextField->setStringValue("New title");
    e->editDescTextField->setStringValue("New description");
    e->editTagsTextField->setStringValue("harbour boats");
    e->editDateTaken->setStringValue("2001-01-01 10:00:00");
    e->editLatLon->setStringValue("10,20");
    e->editLicensePopUpButton->selectItemAtIndex(expected.license == 6 ? 5 : 6);
    e->editPublicCheck->setState(expected.isPublic ? Button::Off : Button::On);
    ASSERT_TRUE(submit() && waitUntil([&] { return !platform.alerts.isEmpty(); }));
    const auto lastAlert = [&] { return platform.alerts.last().title + ": " + platform.alerts.last().message; };
    EXPECT_EQ(lastAlert(), "API Error: An error occurred while updating the Flickr data, in the stage \"SetDates\", "
                           "error: Write operation failed");
    EXPECT_EQ(std::tuple(c->progressPanel->isVisible(), e->doneEditingSheet->isVisible(), app->viewer().editMode()),
              std::tuple(false, false, true));
    EXPECT_EQ(methods(), QStringList({"flickr.photos.setMeta", "flickr.photos.setTags", "flickr.photos.setDates"}));
    // Title, description and tags changed on both sides; the rest on neither.
    expected.title = "New title";
    expected.description = "New description";
    expected.rawTags = QStringList({"harbour", "boats"});
    EXPECT_EQ(onFlickr(id), describe(expected));
    EXPECT_EQ(archived(id), (QStringList{"New title", "New description", "harbour boats"} + stored.mid(3)).join('|'));

    // A failure of the first call has its own message; what Flickr took already is not sent again.
    clearService();
    ASSERT_TRUE(service->addFault("error:flickr.photos.setMeta:106"));
    e->editTitleTextField->setStringValue("Newer title");
    ASSERT_TRUE(submit() && waitUntil([&] { return platform.alerts.size() == 2; }));
    EXPECT_EQ(lastAlert(), "Flickr Update Unsuccessful: Updating your Flickr data was unsuccessful. Make sure you "
                           "are connected and try again.");
    EXPECT_EQ(methods(), QStringList({"flickr.photos.setMeta"}));

    // The archive refusing an update stops the chain after that call.
    clearService();
    ASSERT_TRUE(app->database().exec("CREATE TRIGGER frozen BEFORE UPDATE OF title ON photos "
                                     "BEGIN SELECT RAISE(ABORT, 'the archive is frozen'); END;").ok());
    e->editTitleTextField->setStringValue("Third title");
    ASSERT_TRUE(submit() && waitUntil([&] { return platform.alerts.size() == 3; }));
    EXPECT_EQ(platform.alerts.last().message,
              "SQL error: the archive is frozen UPDATE photos SET title=? WHERE flickrID=?");
    EXPECT_EQ(methods(), QStringList({"flickr.photos.setMeta"}));
    EXPECT_EQ(service->photo(id)->title, "Third title");
    EXPECT_EQ(field(id, "title"), "New title");
    EXPECT_FALSE(c->progressPanel->isVisible());
}

TEST_F(EditingTest, EditingWhileNotConnectedOpensTheEditorOnceConnectedAndSteppingEditsTheNextPicture) {
    c->resultsTableView->selectRow(3);
    c->resultsTableView->performClick();
    platform.alertAnswers.enqueue(AlertFirstButton); // "Yes", log out
    c->logoutButton->performClick();
    ASSERT_EQ(app->state().connectionState, 0);
    service->clearLog();

    v->editImageButton->performClick();
    // Connecting first: the main window stays, no viewer yet.
    EXPECT_EQ(std::tuple(app->state().connectionState, c->imageWindow->isVisible(), app->state().viewerOpen,
                         c->window->isVisible()),
              std::tuple(2, false, false, true));
    v->editImageButton->performClick(); // waiting already: nothing more
    ASSERT_TRUE(editorReady());
    EXPECT_EQ(std::tuple(app->state().connectionState, c->imageWindow->isVisible(), app->viewer().editMode(),
                         app->editing().values().requestFlickrID),
              std::tuple(1, true, true, ids[3]));
    EXPECT_EQ(e->editTitleTextField->stringValue(), service->photo(ids[3])->title);
    // The resumed edit takes the place of the profile call.
    EXPECT_EQ(methods(false), QStringList({"flickr.test.login", "flickr.photos.getInfo"}));

    // The next picture in edit mode: its own data, the unsent edit dropped.
    e->editTitleTextField->setStringValue("Left unsent");
    v->nextButton->performClick();
    ASSERT_TRUE(editorReady());
    EXPECT_EQ(app->editing().values().requestFlickrID, ids[4]);
    EXPECT_EQ(e->editTitleTextField->stringValue(), service->photo(ids[4])->title);
    // Another row selected meanwhile does not redirect the edit.
    c->resultsTableView->selectRow(0);
    e->editTitleTextField->setStringValue("Fifth");
    ASSERT_TRUE(submit() && e->doneEditingSheet->isVisible());
    for (const auto& call : service->writeCalls())
        EXPECT_EQ(call.args.value("photo_id"), ids[4]);
    EXPECT_EQ(field(ids[4], "title"), "Fifth");
    EXPECT_NE(field(ids[0], "title"), "Fifth");
    EXPECT_NE(service->photo(ids[3])->title, "Left unsent");
}
