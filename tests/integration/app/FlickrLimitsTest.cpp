// The download against a service that limits and fails as Flickr does: the call pace, refusals waited out, and
// calls, sets or files that fail for a while or for good.
#include "FlowFixture.h"

#include "OFCallBudget.h"
#include "OFTimeSource.h"

#include <QDir>
#include <QFile>

#include <algorithm>

using namespace tessaly;
using namespace tessaly::test;

class FlickrLimitsTest : public FlowFixture {
protected:
    void TearDown() override {
        OFTimeSource::setShared(nullptr);
        OFCallBudget::shared().setCallsPerHour(0);
        ServiceFixture::TearDown();
    }
    QStringList wrongPermissions() {
        QStringList wrong;
        for (const auto& [id, row] : table().asKeyValueRange()) {
            const auto p = service->photo(id);
            if (row["permcomment"] != QString::number(p->permComment) || row["permmeta"] != QString::number(p->permAddMeta))
                wrong << id;
        }
        return wrong;
    }
    int pacedDownload(double servicePerHour, QStringList* texts);
    OFScriptedTimeSource clock; // one for every run: Tessaly's call budget outlives a run
};

// 300 pictures with permissions at Tessaly's pace of 3,600 calls an hour against a service allowing `servicePerHour`,
// on a scripted clock that jumps to the next waiting call. The archive ends complete, the calls served keep to one a
// second beyond the burst. Answers the number of refused calls; `texts` gets each text shown beside the progress.
int FlickrLimitsTest::pacedDownload(double servicePerHour, QStringList* texts) {
    OFTimeSource::setShared(&clock);
    clock.advance(60000); // a minute since any earlier run: the budget's burst is whole again
    fakeflickr::Options options;
    options.photos = 300;
    options.callsPerHour = servicePerHour;
    options.burst = OFCallBudget::kBurst;
    options.clockMs = [this] { return clock.nowMs(); };
    startService(options);
    store->setValue("callsPerHour", 3600); // Tessaly's pace from its first call
    connectAccount();
    auto& c = app->controls();
    const auto running = [&](const std::function<bool()>& done) {
        return [&, done] {
            const QString text = c.progressDetailTextField->stringValue();
            if (!text.isEmpty() && texts->value(texts->size() - 1) != text)
                *texts << text;
            if (clock.pendingCalls() > 0)
                clock.advance(clock.nextDelay());
            return done();
        };
    };
    c.downloadButton->performClick();
    EXPECT_TRUE(waitFor(running([&] { return c.permsOptionSheet->isVisible(); })));
    c.permsCheck->setState(Button::On);
    c.exifCheck->setState(Button::Off);
    const qsizetype before = service->calls().size();
    c.permsOkButton->performClick();
    EXPECT_TRUE(waitFor(running([&] { return finished() || idle(); }), 120000) && finished());

    QList<qint64> times;
    int perms = 0, refused = 0;
    const auto all = service->calls();
    for (qsizetype i = before; i < all.size(); ++i) {
        refused += all[i].status == 429 ? 1 : 0;
        if (all[i].status != 429) {
            times << all[i].timeMs;
            perms += all[i].method == "flickr.photos.getPerms" ? 1 : 0;
        }
    }
    // A token bucket of one a second and the burst: no stretch holds more.
    bool paced = true;
    for (int i = 0; i < times.size(); ++i)
        for (int j = i; j < times.size(); ++j)
            paced = paced && j - i + 1 <= OFCallBudget::kBurst + (times[j] - times[i]) / 1000;
    EXPECT_TRUE(paced);
    EXPECT_EQ(std::tuple(perms, count("SELECT count(*) FROM photos"), count("SELECT count(*) FROM permsfetched"),
                         wrongPermissions(), log()),
              std::tuple(300, 300, 300, QStringList(), QString()));
    return refused;
}

TEST_F(FlickrLimitsTest, AtTessalysPaceNoCallIsRefusedAndWhenFlickrAllowsLessEachRefusalIsWaitedOut) {
    QStringList texts;
    EXPECT_EQ(pacedDownload(3600, &texts), 0);
    restart();
    ASSERT_TRUE(QDir(path("loc")).removeRecursively());
    EXPECT_GT(pacedDownload(1800, &texts), 100);
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                            [](const QString& t) { return t.contains("; trying again in 1 second."); }))
        << texts.join(" | ").toStdString();
}

// What fails for a while arrives in the end, unlogged; permissions, EXIF data, a set or a file failing for good is
// logged once and passed over, and the flow goes on.
TEST_F(FlickrLimitsTest, PassingFailuresAreTriedAgainAndLastingOnesLoggedOnce) {
    fakeflickr::Options options;
    options.photos = 40;
    options.sets = 4;
    startService(options);
    const auto& stream = service->photostream();
    const auto pictureWith = [&](int from, char size) {
        while (!stream.photoAt(from).hasSize(size))
            ++from;
        return stream.photoAt(from);
    };
    const fakeflickr::Photo gone = stream.photoAt(2), busy = pictureWith(3, 'b'), withheld = pictureWith(busy.index + 1, 'o');
    const QString last = stream.photoAt(stream.size() - 1).idText(), other = stream.photoAt(7).idText();
    for (const QString& fault :
         {QString("http503:flickr.people.getPhotos@page=1#2"), QString("http429:flickr.photos.getPerms#1"),
          QString("http502:flickr.photosets.getList#1"), QString("error:flickr.photos.getExif:105#1"),
          "error:flickr.photos.getPerms@photo=" + last + ":1", "error:flickr.photos.getExif@photo=" + other + ":2",
          "error:flickr.photosets.getPhotos@photoset_id=" + stream.setAt(0).id + ":1",
          "http404:file:" + gone.fileName('s'), "http503:file:" + busy.fileName('s') + "#2",
          "http429:file:" + busy.fileName('b') + "#1", "http403:file:" + withheld.fileName('o')})
        ASSERT_TRUE(service->addFault(fault)) << fault.toStdString();
    connectAccount();
    auto& c = app->controls();

    ASSERT_TRUE(downloadInformation(true, true) && finished() && c.doneDownloadingSheet->isVisible());
    const QString errors = c.errorsTextField->stringValue();
    EXPECT_EQ(errors, log());
    EXPECT_TRUE(errors.contains("The photo set " + stream.setAt(0).id + " is no longer on Flickr and was passed over."));
    EXPECT_TRUE(errors.contains("An error occurred while downloading the permissions information. Stage: GetPerms, Error: "));
    EXPECT_TRUE(errors.contains("An error occurred while downloading the EXIF information. Stage: GetExif, Error: "));
    EXPECT_EQ(errors.count("\n\n"), 2);
    EXPECT_EQ(errors.count('\n'), 5); // the three lines, nothing of the passing failures
    EXPECT_EQ(count("SELECT count(*) FROM photos"), 40);
    EXPECT_EQ(wrongPermissions(), QStringList{last});
    EXPECT_EQ(count("SELECT count(*) FROM photos WHERE flickrID='" + last + "' AND permcomment=0"), 1);
    EXPECT_EQ(cell("SELECT group_concat(flickrID) FROM photos WHERE exifdata IS NULL"), other); // asked again next time
    // The other sets were read; the deleted one recorded nothing.
    EXPECT_EQ(count("SELECT count(*) FROM photos WHERE setID LIKE '%" + stream.setAt(0).id + "%'"), 0);
    EXPECT_EQ(count(QString("SELECT count(*) FROM photos WHERE flickrID='%1' AND setID LIKE '%%2%'")
                        .arg(stream.photoAt(stream.size() / 2).idText(), stream.setAt(1).id)), 1);

    dismissFinish();
    ASSERT_TRUE(downloadFiles() && finished());
    EXPECT_EQ(log(), "The picture file " + fileUrl(gone, 's') + " is not available (HTTP 404); it was passed over.\n\n" +
                         "The picture file " + fileUrl(withheld, 'o') +
                         " is not available (HTTP 403); it was passed over.\n\n");
    EXPECT_EQ(service->fileRequests().filter(gone.fileName('s')).size(), 1);
    EXPECT_FALSE(QFile::exists(pixFolder() + "/" + gone.fileName('s')));
    EXPECT_TRUE(QFileInfo(pixFolder() + "/" + busy.fileName('s')).size() > 0 &&
                QFileInfo(pixFolder() + "/" + busy.fileName('b')).size() > 0);
    // Without its original, the picture's record keeps no size.
    EXPECT_EQ(count("SELECT filesize FROM photos WHERE flickrID='" + withheld.idText() + "'"), 0);

    // A second run asks only for the EXIF data still missing.
    dismissFinish();
    clearService();
    ASSERT_TRUE(downloadInformation(false, true));
    EXPECT_EQ(calls("flickr.photos.getExif"), 1);
    EXPECT_TRUE(c.doneDownloadingSheet2->isVisible());

    // An archive that cannot say which pictures lack EXIF data fails the download.
    dismissFinish();
    ASSERT_TRUE(app->database().exec("ALTER TABLE photos DROP COLUMN exifdata").ok());
    service->clearLog();
    ASSERT_TRUE(downloadInformation(false, true));
    EXPECT_TRUE(idle());
    EXPECT_EQ(log(), "An error occurred in the stage GetExif, Error: The archive could not say which pictures "
                     "lack EXIF data: no such column: exifdata\n");
    EXPECT_EQ(calls("flickr.photos.getExif"), 0);
}
