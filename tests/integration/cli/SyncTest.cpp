// tessaly-cli sync: the download flows to their finish, their logs, failures
// that end them, the progress it shows, and the archive and picture folder it
// leaves: those the application's own flows leave.
#include "CliFixture.h"
#include "ScriptedPlatform.h"
#include "TSAppDelegate.h"
#include "prefs/PreferencesStore.h"
#include "sync/SyncController.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLockFile>
#include <QRegularExpression>


using namespace tessaly;
using namespace tessaly::test;

namespace {
const QString kInformationDone = "All of your picture information has finished downloading.";
const QString kFilesDone = "All of your picture files have finished downloading.";
const QString kNotFinished = "tessaly-cli: the picture-file download did not finish\n";
} // namespace

class CliSyncTest : public CliFixture {
protected:
    // The calls of one run that must succeed.
    int callsOf(const QStringList& arguments, const QString& method) {
        service->clearLog();
        run(0, arguments);
        return calls(method);
    }
    // Every cell of every table in storage order (NULL marked), every file of
    // the picture folder with its digest, and the error log's size.
    QStringList everything(const QString& folder) const {
        const QString db = folder + "/tessaly_demo_db"; // the stand-in program's user
        QStringList found, files;
        for (const QString& table : column("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name", {}, db))
            for (const SqlRow& row : sql("SELECT * FROM " + table + " ORDER BY rowid", {}, db)) {
                found << table;
                for (int i = 0; i < row.count(); ++i)
                    found.last() += "|" + row.names[i] + "=" + (row.isNull(i) ? "<null>" : row.value(i));
            }
        for (QDirIterator it(folder + "/tessaly_demo_pix", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString file = it.next();
            files << "file " + QDir(folder).relativeFilePath(file) + " " +
                         QCryptographicHash::hash(bytes(file), QCryptographicHash::Sha256).toHex();
        }
        files.sort();
        return found << files << "errorlog " + QString::number(QFileInfo(folder + "/tessaly_demo_errorlog").size());
    }
};

TEST_F(CliSyncTest, EveryOptionRunsBothFlowsToTheirFinishAndPermissionsFollowChanges) {
    startConnected(stream(45, 3));
    service->addFault("error:flickr.photos.getExif@photo=" + idAt(5) + ":2");
    service->clearLog();
    CliResult result = run(0, {"sync", "--perms", "--exif", "--files"});
    EXPECT_EQ(result.outLines(),
              QStringList({"All of your Flickr and EXIF picture information has finished downloading.", kFilesDone}));
    EXPECT_EQ(calls("flickr.photos.getPerms"), 45);
    EXPECT_EQ(calls("flickr.photos.getExif"), 45);
    // Progress and the error log on standard error, as plain lines.
    for (const QString line : {"Downloading picture info...\n", "downloading permissions info... ",
                               "Downloading picture files...\n",
                               "An error occurred while downloading the EXIF information. Stage: GetExif, Error: "})
        EXPECT_TRUE(result.err.contains(line)) << line.toStdString();
    EXPECT_FALSE(result.err.contains('\r'));
    // Each picture's files; each video's own file, its best size, beside them and in the archive.
    QStringList videos;
    for (int i = 0; i < 45; ++i) {
        const fakeflickr::Photo p = service->photostream().photoAt(i);
        EXPECT_TRUE(QFileInfo::exists(pix(p.fileName('s')))) << i;
        if (p.isVideo)
            videos << p.idText();
    }
    ASSERT_FALSE(videos.isEmpty());
    EXPECT_EQ(calls("flickr.photos.getSizes"), videos.size());
    videos.sort();
    EXPECT_EQ(column("SELECT flickrID FROM videofiles ORDER BY flickrID"), videos);
    for (const tessaly::SqlRow& found : sql("SELECT flickrID,file,size,label FROM videofiles")) {
        const QStringList& row = found.values;
        EXPECT_EQ(QFileInfo(pix(row[1])).size(), row[2].toLongLong()) << row[1].toStdString();
        EXPECT_EQ(bytes(pix(row[1])).mid(4, 4), "ftyp");
        EXPECT_TRUE(row[1].startsWith(row[0] + "_") && row[1].endsWith(".mp4")) << row[1].toStdString();
        EXPECT_TRUE(row[3] == "Video Original" || row[3].contains("p") || row[3].contains("MP4"));
    }
    EXPECT_TRUE(run({"status"}).out.startsWith(QString("45 pictures and %1 videos in this").arg(videos.size())));

    // Permissions are asked for again only for changed pictures, unless all are wanted.
    service->clearFaults();
    EXPECT_EQ(callsOf({"sync", "--perms"}, "flickr.photos.getPerms"), 0);
    service->touchPhotos({idAt(2), idAt(3), idAt(17)});
    EXPECT_EQ(callsOf({"sync", "--perms"}, "flickr.photos.getPerms"), 3);
    EXPECT_EQ(callsOf({"sync", "--full-perms"}, "flickr.photos.getPerms"), 45);
    // Without options: no permissions or EXIF data asked for, no file fetched, and the finish without EXIF told.
    service->clearLog();
    EXPECT_EQ(run(0, {"sync", "--files"}).outLines(), QStringList({kInformationDone, kFilesDone}));
    for (const QString method : {"flickr.photos.getPerms", "flickr.photos.getExif", "flickr.photos.getSizes"})
        EXPECT_EQ(calls(method), 0) << method.toStdString();
    EXPECT_TRUE(service->fileRequests().isEmpty());
}

TEST_F(CliSyncTest, AFailureThatEndsAFlowAFullDiskOrNothingToDownloadGiveStatusOne) {
    startConnected(stream(1100));
    service->addFault("http500:flickr.people.getPhotos@page=2#5");
    service->clearLog();
    CliResult result = run(1, {"sync", "--files"});
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(result.err.contains("An error occurred in the stage DownloadPhotos, Error: "));
    EXPECT_TRUE(result.err.endsWith("tessaly-cli: the picture-information download did not finish\n"));
    EXPECT_EQ(calls("flickr.people.getPhotos"), 6); // page 2 was tried five times
    EXPECT_TRUE(service->fileRequests().isEmpty()); // the files wait for whole information
    // Another download of the account (a timer's, say) runs: this one starts nothing.
    {
        QLockFile other(path("loc/anna_db.lock"));
        ASSERT_TRUE(other.tryLock(0));
        service->clearLog();
        EXPECT_TRUE(run(1, {"sync"}).err.contains("Another download of the account \"anna\" is running"));
        EXPECT_EQ(calls("flickr.photos.getCounts"), 0);
    }
    // The fault is spent: all three pages, the last one short, are stored.
    EXPECT_EQ(callsOf({"sync"}, "flickr.people.getPhotos"), 3);
    EXPECT_EQ(column("SELECT count(*) FROM photos"), QStringList{"1100"});

    // anna's picture folder on a small disk of its own, where the machine lets a test
    // mount one (as root, in a mount namespace of the run's own): the file download
    // ends at its first failure.
    QDir().mkpath(pix());
    service->clearLog();
    QProcess process;
    process.setProcessEnvironment(env);
    process.start("unshare", {"-m", "--propagation", "private", "sh", "-c",
                              "mount -t tmpfs -o size=96k tessaly-test \"$0\" 2>/dev/null || exit 77; exec \"$@\"",
                              pix(), QStringLiteral(TESSALY_CLI_BIN), "sync", "--files", "--account", "anna"});
    result = finish(process);
    if (result.exitCode != 77 && !(result.exitCode != 1 && result.err.contains("unshare"))) { // mounted
        EXPECT_EQ(result.exitCode, 1);
        const QString folder = QRegularExpression::escape(path("loc/anna_pix"));
        EXPECT_TRUE(result.err.contains(QRegularExpression("The disk holding " + folder +
                                                           " is full \\([0-9.]+ (bytes|[kKMG]i?B) free\\)\\.")))
            << result.err.toStdString();
        EXPECT_TRUE(result.err.endsWith(kNotFinished));
        // Nothing was asked for after the file that found the disk full.
        EXPECT_GT(service->fileRequests().size(), 1);
        EXPECT_LT(service->fileRequests().size(), 30);
        EXPECT_FALSE(result.err.contains("trying again"));
    }

    // Without a token there is nothing to sync with.
    run(0, {"add-account", "bob", "--location", path("loc")});
    EXPECT_EQ(run(1, {"sync", "--account", "bob"}).errLines(),
              QStringList{"tessaly-cli: the account bob is not connected to Flickr; "
                          "connect it with: tessaly-cli connect --account bob"});

    // An empty photostream, of a new account: the file download ends at its alert, before it asks.
    startService(stream(0), "cara");
    run(0, {"add-account", "cara", "--location", path("loc")});
    EXPECT_EQ(connectPasting().exitCode, 0);
    result = run(1, {"sync", "--files"});
    EXPECT_EQ(result.outLines(), QStringList{kInformationDone});
    EXPECT_TRUE(result.err.contains("\nThere is no picture information in your Tessaly database."));
    EXPECT_TRUE(result.err.endsWith(kNotFinished));
}

TEST_F(CliSyncTest, TheCallPaceWaitsAndProgressShowsOnStandardErrorOrATerminal) {
    // Ten calls a second with eight at once, then HTTP 429; asked to stay under it.
    fakeflickr::Options options = stream(16);
    options.callsPerHour = 36000;
    options.burst = 8;
    startConnected(options);
    service->addFault("http503:flickr.photos.getPerms@photo=" + idAt(4) + "#1");
    service->clearLog();
    const CliResult result = run(0, {"sync", "--perms", "--calls-per-hour", "30000"});
    const auto log = service->calls();
    ASSERT_GT(log.size(), 16);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const auto& call) { return call.status == 429; }), 0);
    // After Tessaly's own burst of four, 120 ms a call at the least.
    EXPECT_GE(log.last().timeMs - log.first().timeMs, (log.size() - 5) * 120 * 9 / 10);
    EXPECT_EQ(calls("flickr.photos.getPerms"), 17);
    // Why and how long it waited, on a line of its own; the time left beside the counts.
    EXPECT_TRUE(result.err.contains("\nFlickr answered HTTP 503; trying again in 1 second.\n"))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(
        QRegularExpression("\ndownloading permissions info\\.\\.\\. 16 of 16 \\(about \\d+ seconds? left\\)\n")));

    // On a terminal (one that script(1) opens) progress is one line drawn in place.
    QProcess terminal;
    terminal.setProcessEnvironment(env);
    terminal.start("script", {"-qec", QString("'%1' sync --files --calls-per-hour 30000 2>/dev/tty >'%2'")
                                          .arg(QStringLiteral(TESSALY_CLI_BIN), path("out.txt")), "/dev/null"});
    const QString screen = finish(terminal).out;
    EXPECT_EQ(terminal.exitCode(), 0) << screen.toStdString();
    EXPECT_EQ(QString::fromUtf8(bytes(path("out.txt"))), kInformationDone + "\n" + kFilesDone + "\n");
    EXPECT_TRUE(screen.contains("\r\033[Kdownloading picture info [########################] 16/16"));
    EXPECT_TRUE(screen.contains("\r\033[Kdownloading pictures ["));
    EXPECT_FALSE(screen.contains("\n")) << screen.toStdString(); // progress only, each line over the last
}

TEST_F(CliSyncTest, SyncWithEveryOptionLeavesWhatTheApplicationLeaves) {
    // Enough pictures for videos and pictures without originals or EXIF data; paging is tested above.
    const auto program = start({"--photos", "40", "--sets", "3"}, FAKEFLICKR_BIN);
    ASSERT_TRUE(waitFor([&] { return program->canReadLine(); }, 20000));
    const QString baseUrl = QString::fromUtf8(program->readLine()).trimmed().remove("listening on ");
    env.insert("TESSALY_FLICKR_ENDPOINT", baseUrl);
    qputenv("TESSALY_FLICKR_ENDPOINT", baseUrl.toUtf8());

    // The command line, running while the application does the same: the
    // two use the service side by side, and only read from it.
    run(0, {"add-account", "tessaly_demo", "--location", path("cli")});
    ASSERT_EQ(connectPasting().exitCode, 0);
    const auto cli = start({"sync", "--perms", "--exif", "--files"});
    cli->closeWriteChannel();

    // The application, on preferences of its own holding the same token.
    SettingsPreferencesStore store(path("app/Tessaly.conf"));
    QDir().mkpath(path("app"));
    store.setValue("pixPath", path("app/tessaly_demo_pix"));
    store.setValue("pixPathArray", QStringList{path("app/tessaly_demo_pix")});
    for (const QString key : {"authTokenArray", "authTokenSecretArray"})
        store.setValue(key, storedPreference(key));
    store.synchronize();
    ScriptedPlatform platform;
    {
        TSAppDelegate app(platform, store);
        app.applicationDidFinishLaunching();
        auto& c = app.controls();
        const auto ended = [&] {
            return app.sync().phase() == sync::Phase::Finished || app.sync().phase() == sync::Phase::Idle;
        };
        ASSERT_TRUE(waitFor([&] { return app.state().connectionState == 1 && !app.flickrRequest().isRunning(); }));
        c.downloadButton->performClick();
        ASSERT_TRUE(waitFor([&] { return c.permsOptionSheet->isVisible(); }));
        c.permsCheck->setState(Button::On);
        c.exifCheck->setState(Button::On);
        c.permsOkButton->performClick();
        ASSERT_TRUE(waitFor(ended, 120000) && c.doneDownloadingSheet2->isVisible());
        c.doneDownloadingButton2->performClick();
        c.downloadFilesButton->performClick();
        ASSERT_TRUE(waitFor([&] { return c.countSheet->isVisible(); }));
        c.countOkButton->performClick();
        ASSERT_TRUE(waitFor(ended, 120000) && c.doneDownloadingSheet2->isVisible());
        c.doneDownloadingButton2->performClick();
    }
    EXPECT_TRUE(platform.alerts.isEmpty());
    const CliResult synced = finish(*cli, 120000);
    program->kill();
    program->waitForFinished(5000);
    EXPECT_EQ(synced.exitCode, 0) << synced.err.toStdString();
    EXPECT_EQ(synced.outLines(),
              QStringList({"All of your Flickr and EXIF picture information has finished downloading.", kFilesDone}));

    const QStringList fromCli = everything(path("cli")), fromApp = everything(path("app"));
    ASSERT_EQ(fromCli.size(), fromApp.size());
    for (qsizetype i = 0; i < fromCli.size(); ++i)
        ASSERT_EQ(fromCli[i], fromApp[i]) << "line " << i;
    const auto lines = [&](const QString& start) { return fromCli.filter(QRegularExpression("^" + start)).size(); };
    EXPECT_EQ(std::tuple(lines("photos\\|"), lines("sets\\|"), lines("permsfetched\\|")), std::tuple(40, 3, 40));
    EXPECT_GE(lines("videofiles\\|"), 2);
    EXPECT_GE(lines("file "), 40 * 2);
    EXPECT_EQ(fromCli.last(), "errorlog 0");
}
