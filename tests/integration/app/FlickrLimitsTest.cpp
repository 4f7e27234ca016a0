// The download against a service that limits and fails as Flickr does: the
// call pace, refusals waited out, permissions asked for only when needed,
// pictures gone from the stream, and calls or files that fail for a while.
#include "ServiceFixture.h"

#include "OFCallBudget.h"
#include "OFTimeSource.h"

#include <QFile>
#include <QScopeGuard>

#include <algorithm>
#include <iostream>

using namespace tessaly;
using namespace tessaly::test;

namespace {
// What a paced download met: refused calls and the texts shown beside the progress.
struct PacedResult {
    int refused = 0;
    QStringList texts;
};
} // namespace

class FlickrLimitsTest : public ServiceFixture {
protected:
    void TearDown() override {
        OFTimeSource::setShared(nullptr);
        OFCallBudget::shared().setCallsPerHour(0);
        ServiceFixture::TearDown();
    }
    int count(const QString& sql) {
        int n = -1;
        app->database().exec(sql, [&](const SqlRow& row) { return n = row.value(0).toInt(), 0; });
        return n;
    }
    // Every picture's permissions as the service holds them; the number that differ.
    int wrongPermissions() {
        int wrong = 0;
        for (int i = 0; i < service->photostream().size(); ++i) {
            const fakeflickr::Photo p = service->photostream().photoAt(i);
            wrong += count(QString("SELECT count(*) FROM photos WHERE flickrID='%1' AND permcomment=%2 AND permmeta=%3")
                               .arg(p.idText()).arg(p.permComment).arg(p.permAddMeta)) == 1 ? 0 : 1;
        }
        return wrong;
    }
    void pacedDownload(double servicePerHour, int serviceBurst, PacedResult* result);
};

namespace {

// The stand-in and Tessaly on one scripted clock that jumps to the next
// waiting call whenever one waits, so hours of pacing pass in moments.
class PacedRun {
public:
    PacedRun() { OFTimeSource::setShared(&clock); }
    ~PacedRun() { OFTimeSource::setShared(nullptr); }
    std::function<qint64()> serviceClock() { return [this] { return clock.nowMs(); }; }
    // Lets the clock run while `done` is awaited; notes every text of `field`.
    std::function<bool()> running(const std::function<bool()>& done, TextField* field) {
        return [this, done, field] {
            if (!field->stringValue().isEmpty() && texts.value(texts.size() - 1) != field->stringValue())
                texts << field->stringValue();
            if (clock.pendingCalls() > 0)
                clock.advance(clock.nextDelay());
            return done();
        };
    }
    OFScriptedTimeSource clock;
    QStringList texts;
};

} // namespace

// Three hundred pictures with permissions at Tessaly's pace of 3,600 calls an
// hour, against a service that allows `servicePerHour`: the archive ends
// complete, and over any stretch the calls served keep to one a second beyond
// the burst.
void FlickrLimitsTest::pacedDownload(double servicePerHour, int serviceBurst, PacedResult* result) {
    PacedRun run;
    fakeflickr::Options options;
    options.photos = 300;
    options.callsPerHour = servicePerHour;
    options.burst = serviceBurst;
    options.clockMs = run.serviceClock();
    startService(options);
    store->setValue("callsPerHour", 3600);  // Tessaly's pace from its first call
    connectAccount();

    auto& c = app->controls();
    c.downloadButton->performClick();
    ASSERT_TRUE(waitFor(run.running([&] { return c.permsOptionSheet->isVisible(); }, c.progressDetailTextField)));
    c.permsCheck->setState(Button::On);
    c.exifCheck->setState(Button::Off);
    const qsizetype before = service->calls().size();
    c.permsOkButton->performClick();
    ASSERT_TRUE(waitFor(run.running([&] { return finished() || idle(); }, c.progressDetailTextField), 120000));
    ASSERT_TRUE(finished());

    QList<qint64> times;
    int perms = 0;
    const auto all = service->calls();
    for (qsizetype i = before; i < all.size(); ++i) {
        const auto& call = all[i];
        if (call.status == 429) {
            ++result->refused;
            continue;
        }
        times << call.timeMs;
        perms += call.method == "flickr.photos.getPerms" ? 1 : 0;
    }
    // A token bucket of one a second and the burst: no stretch holds more.
    for (int i = 0; i < times.size(); ++i)
        for (int j = i; j < times.size(); ++j)
            ASSERT_LE(j - i + 1, OFCallBudget::kBurst + (times[j] - times[i]) / 1000) << i << " " << j;
    const double span = double(times.last() - times.first()) / 1000.0;
    std::cout << "[figure] service " << servicePerHour << "/h: " << times.size() << " calls served, "
              << result->refused << " refused, over " << span << " s of the clock: "
              << double(times.size()) / span << " calls/s\n";

    EXPECT_EQ(perms, 300);
    EXPECT_EQ(count("SELECT count(*) FROM photos"), 300);
    EXPECT_EQ(count("SELECT count(*) FROM permsfetched"), 300);
    EXPECT_EQ(wrongPermissions(), 0);
    EXPECT_EQ(log(), "");
    result->texts = run.texts;
    // The estimate stands beside the permissions progress while they run.
    EXPECT_TRUE(std::any_of(run.texts.begin(), run.texts.end(),
                            [](const QString& t) { return t.startsWith("about ") && t.endsWith(" left"); }))
        << run.texts.join(" | ").toStdString();
}

TEST_F(FlickrLimitsTest, AtTessalysPaceNoCallIsRefused) {
    PacedResult result;
    pacedDownload(3600, OFCallBudget::kBurst, &result);
    EXPECT_EQ(result.refused, 0);
}

TEST_F(FlickrLimitsTest, WhenFlickrAllowsLessEachRefusalIsWaitedOut) {
    PacedResult result;
    pacedDownload(1800, OFCallBudget::kBurst, &result);
    EXPECT_GT(result.refused, 100);
    EXPECT_TRUE(std::any_of(result.texts.begin(), result.texts.end(),
                            [](const QString& t) { return t.contains("; trying again in 1 second."); }))
        << result.texts.join(" | ").toStdString();
}

// Permissions are asked for only for pictures that are new or changed on
// Flickr; pictures gone from the stream are counted and kept, and a download
// that fails says nothing about them.
TEST_F(FlickrLimitsTest, PermissionsOfUnchangedPicturesAreNotAskedForAgain) {
    fakeflickr::Options options;
    options.photos = 5000;
    startService(options);
    connectAccount();
    auto& c = app->controls();
    const auto permsCallsOf = [&](bool full) {
        const int before = calls("flickr.photos.getPerms");
        c.fullPermsCheck->setState(full ? Button::On : Button::Off);
        EXPECT_TRUE(downloadInformation(true, false));
        EXPECT_TRUE(finished());
        dismissFinish();
        return calls("flickr.photos.getPerms") - before;
    };
    EXPECT_EQ(permsCallsOf(false), 5000);
    EXPECT_EQ(permsCallsOf(false), 0);
    EXPECT_EQ(log(), "");

    QStringList touched;
    for (int i = 100; i < 110; ++i)
        touched << service->photostream().photoAt(i).idText();
    const QStringList removed = {service->photostream().photoAt(0).idText(),
                                 service->photostream().photoAt(2500).idText(),
                                 service->photostream().photoAt(4999).idText()};
    service->touchPhotos(touched);
    service->removePhotos({0, 2500, 4999});
    c.downloadButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return c.permsOptionSheet->isVisible(); }));
    c.permsCheck->setState(Button::On);
    c.exifCheck->setState(Button::Off);
    const int before = calls("flickr.photos.getPerms");
    c.permsOkButton->performClick();
    QSet<QString> labels;
    ASSERT_TRUE(waitUntil([&] { return labels.insert(c.progressLabel->stringValue()), finished() || idle(); }));
    EXPECT_EQ(calls("flickr.photos.getPerms") - before, 10);
    // The progress counts the pictures asked about, not the whole archive.
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const QString& t) {
        return t.startsWith("downloading permissions info... ") && t.endsWith(" of 10");
    })) << QStringList(labels.values()).join(" | ").toStdString();
    std::cout << "[figure] unchanged 5000-picture stream: 0 permission calls; 10 changed: "
              << calls("flickr.photos.getPerms") - before << "\n";
    const QString keeps = "The archive keeps 3 pictures that are no longer in your Flickr photostream.\n";
    // A set whose only picture went is gone too: the archive keeps its row.
    EXPECT_TRUE(log().endsWith(keeps)) << log().toStdString();
    EXPECT_EQ(log().count('\n'), keeps.count('\n') + log().count("The photo set "));
    EXPECT_TRUE(c.doneDownloadingSheet->isVisible());
    EXPECT_EQ(c.errorsTextField->stringValue(), log());
    dismissFinish();
    EXPECT_EQ(count("SELECT count(*) FROM photos"), 5000);
    EXPECT_EQ(count("SELECT count(*) FROM removedfromflickr WHERE flickrID IN ('" + removed.join("','") + "')"), 3);
    EXPECT_EQ(count("SELECT count(*) FROM removedfromflickr"), 3);
    EXPECT_EQ(wrongPermissions(), 0);

    // A full refresh asks for every listed picture's permissions again.
    EXPECT_EQ(permsCallsOf(true), 4997);

    // A download cut short by a failure claims nothing about removed pictures.
    service->addFault("error:flickr.people.getPhotos@page=10:105");
    ASSERT_TRUE(downloadInformation(false, false));
    EXPECT_TRUE(idle());
    EXPECT_FALSE(log().contains("no longer in your Flickr photostream")) << log().toStdString();
}

// Calls and files that fail for a while arrive in the end, leaving nothing
// in the log; files that Flickr has withdrawn are logged once and passed over.
TEST_F(FlickrLimitsTest, PassingFailuresAreTriedAgainAndLastingOnesLoggedOnce) {
    fakeflickr::Options options;
    options.photos = 40;
    startService(options);
    const auto& stream = service->photostream();
    const auto pictureWith = [&](int from, char size) {
        while (!stream.photoAt(from).hasSize(size))
            ++from;
        return stream.photoAt(from);
    };
    const fakeflickr::Photo gone = stream.photoAt(2), busy = pictureWith(3, 'b'), withheld = pictureWith(busy.index + 1, 'o');
    for (const QString& fault :
         {QString("http503:flickr.people.getPhotos@page=1#2"), QString("http429:flickr.photos.getPerms#1"),
          QString("http502:flickr.photosets.getList#1"), QString("error:flickr.photos.getExif:105#1"),
          "http404:file:" + gone.fileName('s'), "http503:file:" + busy.fileName('s') + "#2",
          "http429:file:" + busy.fileName('b') + "#1", "http403:file:" + withheld.fileName('o')})
        ASSERT_TRUE(service->addFault(fault)) << fault.toStdString();
    connectAccount();
    auto& c = app->controls();

    ASSERT_TRUE(downloadInformation(true, true));
    ASSERT_TRUE(finished());
    EXPECT_EQ(c.doneTextField->stringValue(),
              "All of your Flickr and EXIF picture information has finished downloading.");
    EXPECT_EQ(log(), "");
    EXPECT_EQ(count("SELECT count(*) FROM photos"), 40);
    EXPECT_EQ(count("SELECT count(*) FROM photos WHERE exifdata IS NULL"), 0);
    EXPECT_EQ(wrongPermissions(), 0);
    dismissFinish();

    ASSERT_TRUE(downloadFiles());
    ASSERT_TRUE(finished());
    const auto address = [&](const fakeflickr::Photo& p, char size) {
        return service->baseUrl() + "/" + p.server + "/" + p.fileName(size);
    };
    EXPECT_EQ(log(), "The picture file " + address(gone, 's') + " is not available (HTTP 404); it was passed over.\n\n" +
                         "The picture file " + address(withheld, 'o') +
                         " is not available (HTTP 403); it was passed over.\n\n");
    int goneRequests = 0;
    for (const QString& name : service->fileRequests())
        goneRequests += name.endsWith(gone.fileName('s')) ? 1 : 0;
    EXPECT_EQ(goneRequests, 1);
    EXPECT_FALSE(QFile::exists(pixFolder() + "/" + gone.fileName('s')));
    EXPECT_GT(QFileInfo(pixFolder() + "/" + busy.fileName('s')).size(), 0);
    EXPECT_GT(QFileInfo(pixFolder() + "/" + busy.fileName('b')).size(), 0);
    // Without its original, the picture's record keeps no size.
    EXPECT_EQ(count("SELECT filesize FROM photos WHERE flickrID='" + withheld.idText() + "'"), 0);
}
