// The download flows against the stand-in Flickr: what the archive and picture folder hold, how the flows meet faults.
#include "FlowFixture.h"
#include "VideoFiles.h"

#include <sqlite3.h>

#include <future>
#include <thread>

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace tessaly;
using namespace tessaly::test;

namespace {

QString localTime(qint64 seconds) { return QDateTime::fromSecsSinceEpoch(seconds).toString("yyyy-MM-dd HH:mm:ss"); }

// Free text as the archive stores it: a backslash before a quote dropped, no line breaks.
QString stored(QString text) { return text.replace("\\\"", "\"").remove('\n'); }

QString coordinate(bool geotagged, double v) {
    return geotagged ? QString::number(QString::number(v, 'f', 6).toDouble(), 'f', QLocale::FloatingPointShortest) : "0";
}

// Another program reading the archive (or, holding it exclusively, writing it) for `ms` from now on.
std::jthread holdArchive(const QString& file, int ms, const char* begin = "BEGIN; SELECT count(*) FROM photos;") {
    std::promise<void> holding;
    std::future<void> held = holding.get_future();
    std::jthread reader([name = file.toUtf8(), ms, begin, holding = std::move(holding)]() mutable {
        sqlite3* db = nullptr;
        sqlite3_open(name.constData(), &db);
        sqlite3_exec(db, begin, nullptr, nullptr, nullptr);
        holding.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    });
    held.wait();
    return reader;
}

QSet<QString> filesIn(const QString& folder) {
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    return {names.begin(), names.end()};
}

} // namespace

using SyncTest = FlowFixture;

TEST_F(SyncTest, TheInformationDownloadStoresWhatFlickrHoldsPagesFollowFlickrsAnswersAndFailuresEndIt) {
    connectTo(1001); // three pages, the last of one picture; the first set needs two
    auto& c = app->controls();
    c.downloadButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return c.permsOptionSheet->isVisible(); }));
    EXPECT_EQ(c.permsOptionTextField->stringValue(), "Your photostream contains 1,001 pictures. Are you ready to "
                                                     "download the Flickr picture information?");
    c.permsCheck->setState(Button::On);
    c.exifCheck->setState(Button::On);
    c.permsOkButton->performClick();
    // Sheet gone, quitting off (it would cut the download short), progress shown.
    EXPECT_EQ(std::tuple(c.permsOptionSheet->isVisible(), c.quitItem->isEnabled(), c.progressIndicator->isAnimating()),
              std::tuple(false, false, true));
    ASSERT_TRUE(waitUntil([&] { return finished() || idle(); }) && finished()) << log().toStdString();
    EXPECT_EQ(std::tuple(c.quitItem->isEnabled(), c.doneDownloadingSheet2->isVisible(), c.doneDownloadingSheet->isVisible(),
                         c.progressLabel->stringValue()),
              std::tuple(true, true, false, QString()));
    EXPECT_EQ(c.doneTextField2->stringValue(), "All of your Flickr and EXIF picture information has finished downloading.");
    EXPECT_EQ(calls("flickr.people.getPhotos"), 3);
    EXPECT_EQ(calls("flickr.photos.getPerms"), 1001);
    // Every cell of every picture and set row as the service holds them.
    const auto& stream = service->photostream();
    QHash<int, QStringList> sets; // each picture's sets, in the order the sets are listed
    for (int k = 0; k < stream.setCount(); ++k)
        for (int j = 0; j < stream.setAt(k).count; ++j)
            sets[stream.setMember(k, j)] << stream.setAt(k).id;
    const QMap<QString, Row> rows = table();
    ASSERT_EQ(rows.size(), stream.size());
    for (int i = 0; i < stream.size(); ++i) {
        const fakeflickr::Photo p = stream.photoAt(i);
        const bool o = p.hasOriginalUrl;
        Row r{{"flickrID", p.idText()}, {"owner", service->userNsid()}, {"ownername", "anna"},
              {"url_o", fileUrl(p, 'o')}, {"url_l", fileUrl(p, 'b')}, {"url_sq", fileUrl(p, 's')},
              {"license", QString::number(p.license)}, {"title", stored(p.title)},
              {"description", stored(p.description)}, {"tags", p.normalizedTags().join(' ')},
              {"views", QString::number(p.views)}, {"width_o", QString::number(o ? p.originalWidth : 0)},
              {"height_o", QString::number(o ? p.originalHeight : 0)}, {"originalformat", o ? "jpg" : ""},
              {"datetaken", p.dateTaken}, {"dateupload", localTime(p.dateUpload)}, {"filesize", "0"},
              {"isfamily", QString::number(p.isFamily)}, {"isfriend", QString::number(p.isFriend)},
              {"ispublic", QString::number(p.isPublic)}, {"permcomment", QString::number(p.permComment)},
              {"permmeta", QString::number(p.permAddMeta)}, {"lastupdate", localTime(p.lastUpdate)},
              {"geo", ""}, {"latitude", coordinate(p.geotagged, p.latitude)},
              {"longitude", coordinate(p.geotagged, p.longitude)}, {"media", p.isVideo ? "video" : "photo"},
              {"setID", sets.value(i).join(',')}, {"exifdata", ""}, {"Make", ""}, {"Model", ""}, {"Flash", ""}};
        for (const fakeflickr::ExifEntry& e : stream.exifFor(p.id)) {
            const QString value = e.clean.isEmpty() ? e.raw : e.clean;
            r["exifdata"] += e.tag + ":  " + value + "\n\n";
            if (e.tag == "Make" || e.tag == "Model" || e.tag == "Flash")
                r[e.tag] = value;
        }
        const Row actual = rows.value(p.idText());
        for (auto it = r.cbegin(); it != r.cend(); ++it)
            ASSERT_EQ(actual.value(it.key()), it.value()) << p.idText().toStdString() << " " << it.key().toStdString();
    }
    const QMap<QString, Row> setRows = table("SELECT * FROM sets");
    ASSERT_EQ(setRows.size(), stream.setCount());
    for (int k = 0; k < stream.setCount(); ++k)
        EXPECT_EQ(setRows[stream.setAt(k).id]["set_title"] + "|" + setRows[stream.setAt(k).id]["set_description"],
                  stored(stream.setAt(k).title) + "|" + stored(stream.setAt(k).description));

    dismissFinish();
    service->clearLog();
    ASSERT_TRUE(downloadInformation(true, true));
    EXPECT_EQ(calls("flickr.photos.getExif") + calls("flickr.photos.getPerms"), 0);
    EXPECT_EQ(log(), "");
    EXPECT_EQ(table(), rows);
    EXPECT_EQ(table("SELECT * FROM sets"), setRows);
    dismissFinish();

    // Another program reading the archive delays a write; held longer than Tessaly waits, the download stops.
    const QString archive = path("loc/anna_db");
    {
        const auto reader = holdArchive(archive, 1000);
        ASSERT_TRUE(downloadInformation(false, false) && finished()) << log().toStdString();
        EXPECT_EQ(table().size(), 1001);
    }
    dismissFinish();
    {
        const auto reader = holdArchive(archive, ArchiveDatabase::kBusyTimeoutMs + 2000);
        ASSERT_TRUE(downloadInformation(false, false) && idle());
        EXPECT_TRUE(log().contains("Page 1 of the photostream could not be stored: database is locked")) << log().toStdString();
    }
    ASSERT_TRUE(waitUntil([&] { return !platform.alerts.isEmpty(); }));
    EXPECT_TRUE(platform.alerts.last().message.startsWith("SQL error: database is locked"));
    // A list the file download walks that cannot be read ends it as failed, not as all done.
    c.downloadFilesButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return c.countSheet->isVisible(); }));
    {
        const auto writer = holdArchive(archive, ArchiveDatabase::kBusyTimeoutMs + 2000, "BEGIN EXCLUSIVE;");
        c.countOkButton->performClick();
        ASSERT_TRUE(waitUntil([&] { return finished() || idle(); }) && idle());
    }
    EXPECT_EQ(log(), "An error occurred in the stage DownloadFiles, Error: The archive could not be read: database is "
                     "locked\n");
    EXPECT_TRUE(service->fileRequests().isEmpty());

    // One picture gone leaves two pages; ten others changed. A page empty before Flickr's last, or without its list,
    // fails the download; nothing is judged or said to be removed.
    const auto removed = [&] { return table("SELECT flickrID FROM removedfromflickr").keys(); };
    const QString gone = stream.photoAt(3).idText();
    QStringList touched;
    for (int i = 100; i < 110; ++i)
        touched << stream.photoAt(i).idText();
    service->touchPhotos(touched);
    service->removePhotos({3});
    for (const QString fault : {"empty:flickr.people.getPhotos@page=1", "nolist:flickr.people.getPhotos@page=2"}) {
        service->clearFaults();
        ASSERT_TRUE(service->addFault(fault));
        ASSERT_TRUE(downloadInformation(false, false) && idle()) << fault.toStdString();
        EXPECT_TRUE(log().startsWith("An error occurred in the stage DownloadPhotos, Error: ")) << log().toStdString();
        EXPECT_FALSE(log().contains("no longer in your Flickr photostream")) << log().toStdString();
        EXPECT_TRUE(removed().isEmpty()) << fault.toStdString();
    }
    EXPECT_EQ(table().size(), 1001);

    // A count lower than the stream and lists that claim endless pages: pages follow the answers and end at the first
    // empty one; the whole walk finds the gone picture. Only changed pictures' permissions, no EXIF call without EXIF.
    clearService();
    ASSERT_TRUE(service->addFault("claim:flickr.photos.getCounts:count=400"));
    ASSERT_TRUE(service->addFault("claim:flickr.photosets.getList:pages=1000000000"));
    ASSERT_TRUE(service->addFault("claim:flickr.photosets.getPhotos:pages=1000000000"));
    QStringList labels;
    QObject::connect(c.progressLabel, &Control::changed, c.progressLabel, [&] { labels << c.progressLabel->stringValue(); });
    ASSERT_TRUE(downloadInformation(true, false) && finished() && c.doneDownloadingSheet->isVisible()) << log().toStdString();
    EXPECT_EQ(removed(), QStringList{gone});
    EXPECT_EQ(log(), "The archive keeps 1 picture that is no longer in your Flickr photostream.\n");
    EXPECT_EQ(c.errorsTextField->stringValue(), log());
    EXPECT_FALSE(labels.filter(QRegularExpression("^downloading permissions info\\.\\.\\. .* of 10$")).isEmpty())
        << labels.join(" | ").toStdString();
    int setPages = 0;
    for (int k = 0; k < stream.setCount(); ++k)
        setPages += (stream.setAt(k).count + 499) / 500 + 1;
    EXPECT_EQ(std::tuple(calls("flickr.people.getPhotos"), calls("flickr.photos.getExif"), calls("flickr.photos.getPerms"),
                         calls("flickr.photosets.getList"), calls("flickr.photosets.getPhotos")),
              std::tuple(2, 0, 10, 2, setPages));
    // Only the changed pictures' update times differ; the gone one is kept whole.
    QMap<QString, Row> expected = rows;
    for (const QString& id : touched)
        expected[id]["lastupdate"] = localTime(service->photo(id)->lastUpdate);
    EXPECT_EQ(table(), expected);
    dismissFinish();

    // Changing the account stops the download before it writes to another archive.
    c.addAccountButton->performClick();
    platform.openPanelAnswers.enqueue({path("loc")});
    c.choosePixPathButton->performClick();
    c.addAcctNameTextField->setStringValue("bob");
    c.savePixPathButton->performClick();
    c.listDbsButton->pickItem(1); // anna again
    ASSERT_TRUE(waitUntil([&] { return app->state().connectionState == 1 && !app->flickrRequest().isRunning(); }));
    clearService();
    service->addFault("stall:flickr.people.getPhotos@page=2");
    c.downloadButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return c.permsOptionSheet->isVisible(); }));
    c.permsOkButton->performClick();
    ASSERT_TRUE(waitUntil([&] { return calls("flickr.people.getPhotos") == 2; }));
    c.listDbsButton->pickItem(2); // bob, while page 2 is out
    EXPECT_EQ(std::tuple(idle(), c.quitItem->isEnabled(), app->flickrRequest().isRunning(), app->state().currentAccountName),
              std::tuple(true, true, false, QString("bob")));
    EXPECT_TRUE(table().isEmpty()); // bob's archive
    EXPECT_TRUE(log().endsWith("The download stopped because the current account changed.\n"));

    // anna's archive emptied: a page dropped, stalled or never ending (cut at 64 MiB) ends the download with one
    // line, every page before it whole, nothing of it.
    c.listDbsButton->pickItem(1);
    ASSERT_TRUE(waitUntil([&] { return app->state().connectionState == 1 && !app->flickrRequest().isRunning(); }));
    ASSERT_TRUE(app->database().exec("DELETE FROM photos").ok());
    const double timeout = app->flickrRequest().requestTimeoutInterval();
    const struct {
        QString fault, error;
        int rows, calls; // a lost connection is tried five times, an endless answer once
    } pageFaults[] = {{"drop:flickr.people.getPhotos@page=2", "Network connection error", 500, 1 + 5},
                      {"stall:flickr.people.getPhotos@page=2", "Request timeout", 500, 1 + 5},
                      {"endless:flickr.people.getPhotos@page=2",
                       "Flickr's answer grew past 64 MiB, far beyond any real answer; the call was given up.", 500, 2}};
    for (const auto& [fault, error, pageRows, tries] : pageFaults) {
        clearService();
        ASSERT_TRUE(service->addFault(fault));
        app->flickrRequest().setRequestTimeoutInterval(fault.startsWith("stall") ? 1.0 : timeout);
        ASSERT_TRUE(downloadInformation(false, false) && idle()) << fault.toStdString();
        EXPECT_EQ(std::tuple(c.doneDownloadingSheet->isVisible() || c.doneDownloadingSheet2->isVisible(),
                             c.progressIndicator->isAnimating(), c.quitItem->isEnabled(), c.progressLabel->stringValue()),
                  std::tuple(false, false, true, QString()));
        EXPECT_EQ(log(), "An error occurred in the stage DownloadPhotos, Error: " + error + "\n");
        EXPECT_EQ(table().size(), pageRows);
        EXPECT_EQ(calls("flickr.people.getPhotos"), tries);
    }
    app->flickrRequest().setRequestTimeoutInterval(timeout);
}

TEST_F(SyncTest, TheFileDownloadFetchesEachFileOnceTriesThreeTimesAndLeavesNoBrokenFile) {
    connectTo(30);
    auto& c = app->controls();
    ASSERT_TRUE(downloadInformation(false, false));
    dismissFinish();
    // A record whose square address names no file.
    app->database().run("INSERT INTO photos (flickrID,url_o,url_l,url_sq) VALUES('1','','',?)",
                        {service->baseUrl() + "/1234/"});

    ASSERT_TRUE(downloadFiles() && finished());
    EXPECT_EQ(c.countTextField->stringValue(), "Your database contains 31 picture records. Are you ready to download "
                                               "the picture files? This may take a while.");
    EXPECT_EQ(log(), "The picture address \"" + service->baseUrl() + "/1234/\" names no file; it was passed over.\n\n");

    // Each record's files under their names, each video's as a video; the original's size in its record.
    const auto& stream = service->photostream();
    const QMap<QString, Row> rows = table();
    QSet<QString> expectedFiles;
    int videos = 0;
    for (int i = 0; i < stream.size(); ++i) {
        const fakeflickr::Photo p = stream.photoAt(i);
        const QString large = p.hasSize('b') ? p.fileName('b') : p.fileName('s');
        const QString original = p.hasSize('o') ? p.fileName('o') : large;
        expectedFiles << p.fileName('s') << large << original;
        if (p.isVideo && ++videos)
            expectedFiles << fakeflickr::videoFileName(p, "orig");
        EXPECT_EQ(rows[p.idText()]["filesize"], QString::number(QFileInfo(pixFolder() + "/" + original).size()));
        EXPECT_GT(QFileInfo(pixFolder() + "/" + original).size(), 0);
    }
    EXPECT_EQ(filesIn(pixFolder()), expectedFiles);
    ASSERT_GT(videos, 1);

    // Again: everything is there, nothing is fetched.
    dismissFinish();
    service->clearLog();
    ASSERT_TRUE(downloadFiles() && service->fileRequests().isEmpty());
    EXPECT_EQ(table(), rows);

    // Cut short or empty every time: tried three times and given up; failing twice: arrives on the third; an HTML
    // page or a redirect to a file once: on the second, unlogged. No failed answer left as a file; each retry says why.
    dismissFinish();
    const fakeflickr::Photo a = stream.photoAt(3), d = stream.photoAt(5), e = stream.photoAt(6);
    const std::tuple<fakeflickr::Photo, QString, int> faults[] = {
        {a, "truncate:file:%1", 3}, {stream.photoAt(4), "fail:file:%1:2", 3}, {d, "html:file:%1#1", 2},
        {e, "empty:file:%1", 3}, {stream.photoAt(7), "redirect:file:%1#1", 2}};
    for (const auto& [p, fault, tries] : faults) {
        QFile::remove(pixFolder() + "/" + p.fileName('s'));
        service->addFault(fault.arg(p.fileName('s')));
    }
    QStringList retries;
    QObject::connect(c.progressDetailTextField, &Control::changed, c.progressDetailTextField,
                     [&] { retries << c.progressDetailTextField->stringValue(); });
    service->clearLog();
    ASSERT_TRUE(downloadFiles() && finished() && c.doneDownloadingSheet->isVisible());
    const QString errors = c.errorsTextField->stringValue();
    EXPECT_EQ(std::tuple(errors.count("Download failed! Error - "), errors.count("Gave up on ")), std::tuple(2, 2));
    EXPECT_TRUE(errors.contains("Gave up on " + fileUrl(a, 's') + " after 3 failed downloads."));
    EXPECT_TRUE(errors.contains("Download failed! Error - The picture server sent no data. " + fileUrl(e, 's')));
    for (const auto& [p, fault, tries] : faults)
        EXPECT_EQ(service->fileRequests().count(p.fileName('s')), tries) << fault.toStdString();
    const QSet<QString> givenUp{a.fileName('s'), e.fileName('s')};
    EXPECT_EQ(filesIn(pixFolder()), expectedFiles - givenUp);
    EXPECT_FALSE(QImage(pixFolder() + "/" + d.fileName('s')).isNull());
    for (const QString& reason : {QString("The download ended after "), QString("The picture server answered HTTP 500"),
                                  QString("The picture server sent a text/html answer, not a picture"),
                                  QString("The picture server sent no data"),
                                  QString("The picture server sent Tessaly on to file:///etc/hostname, an address "
                                          "it does not follow")})
        EXPECT_EQ(retries.filter(QRegularExpression("^" + reason + ".*; trying again")).size(), 1) << reason.toStdString();
}

TEST_F(SyncTest, HostileAnswersLeaveNothingForeignAndStopNothing) {
    fakeflickr::Options options;
    options.photos = 12;
    options.sets = 501; // a set list longer than a page
    startService(options);
    const auto& stream = service->photostream();
    // A private file named as one picture's original, another's square address with blanks before it.
    QTemporaryDir elsewhere;
    QFile secret(elsewhere.filePath("id_ed25519"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly) && secret.write("PRIVATE KEY") > 0);
    secret.close();
    fakeflickr::Photo withFile, withBlanks;
    for (int i = 0; i < stream.size() && withBlanks.id == 0; ++i) {
        const fakeflickr::Photo p = stream.photoAt(i);
        if (p.hasSize('o') && p.hasSize('b'))
            (withFile.id == 0 ? withFile : withBlanks) = p;
    }
    ASSERT_NE(withBlanks.id, 0);
    const QString fileAddress = QUrl::fromLocalFile(secret.fileName()).toString();
    // And a set id holding the "," that joins a picture's sets.
    const QString setID = stream.setAt(0).id;
    service->rewriteAnswers([&](const QString& method, QByteArray body) {
        if (method == "flickr.photosets.getList")
            body.replace("id=\"" + setID.toUtf8() + '"', "id=\"" + setID.toUtf8() + ",1\"");
        if (method == "flickr.people.getPhotos")
            body.replace("url_o=\"" + fileUrl(withFile, 'o').toUtf8() + '"', "url_o=\"" + fileAddress.toUtf8() + '"')
                .replace("url_sq=\"" + fileUrl(withBlanks, 's').toUtf8(), "url_sq=\"  " + fileUrl(withBlanks, 's').toUtf8());
        return body;
    });
    connectAccount();
    auto& c = app->controls();
    ASSERT_TRUE(downloadInformation(false, false));
    EXPECT_EQ(c.errorsTextField->stringValue(), "The photo set id \"" + setID +
                                                    ",1\" holds a comma, which the archive cannot store; the "
                                                    "set was passed over.\n\n");
    EXPECT_EQ(std::tuple(calls("flickr.photosets.getList"), calls("flickr.photosets.getPhotos")), std::tuple(2, 500));
    EXPECT_EQ(table("SELECT * FROM sets").size(), 500);
    dismissFinish();

    // An answer that never ends is cut at the limit once, not tried again.
    const fakeflickr::Photo endless = stream.photoAt(stream.size() - 2);
    service->addFault("endless:file:" + endless.fileName('s'));
    platform.urlDownloads().setMaximumFileSize(256 * 1024);
    // A picture deleted while the files download gets none afterwards.
    const fakeflickr::Photo deleted = stream.photoAt(stream.size() - 1);
    QObject::connect(c.progressLabel, &Control::changed, c.progressLabel, [&] {
        if (c.progressLabel->stringValue().startsWith("downloading pictures... 2 of"))
            app->database().run("DELETE FROM photos WHERE flickrID=?", {deleted.idText()});
    });
    ASSERT_TRUE(downloadFiles() && finished());
    const QString errors = c.errorsTextField->stringValue();
    EXPECT_TRUE(errors.contains("The picture address \"" + fileAddress + "\" of picture " + withFile.idText() +
                                " is not a web address; it was passed over.\n\n"));
    EXPECT_TRUE(errors.contains("The picture address \"  " + fileUrl(withBlanks, 's') + "\" of picture " +
                                withBlanks.idText() + " is not a web address; it was passed over.\n\n"));
    EXPECT_TRUE(errors.contains("Download failed! Error - The picture server sent more than the 256 KiB a file may have. " +
                                fileUrl(endless, 's'))) << errors.toStdString();
    EXPECT_EQ(service->fileRequests().count(endless.fileName('s')), 1);
    EXPECT_FALSE(QFileInfo::exists(pixFolder() + "/id_ed25519"));
    const QSet<QString> kept = filesIn(pixFolder());
    for (const QString& name : kept)
        EXPECT_TRUE(name.endsWith(".jpg") || name.endsWith(".mp4")) << name.toStdString();
    for (const QString& name : service->fileRequests())
        EXPECT_FALSE(name.startsWith(deleted.idText())) << name.toStdString();
    // Every other picture has its files, the ones after the bad records too.
    for (int i = 0; i + 1 < stream.size(); ++i) {
        const fakeflickr::Photo p = stream.photoAt(i);
        const QString original = p.hasSize('o') ? p.fileName('o') : p.hasSize('b') ? p.fileName('b') : p.fileName('s');
        EXPECT_TRUE(p.id == withBlanks.id || p.id == endless.id || kept.contains(p.fileName('s')))
            << p.idText().toStdString();
        EXPECT_TRUE(p.id == withFile.id || kept.contains(original)) << p.idText().toStdString();
    }
    EXPECT_EQ(table()[withFile.idText()]["filesize"], "0");
}
