// tessaly-cli sync leaves the archive and picture folder that the
// application's own flows leave, against the stand-in service program.
#include "CliFixture.h"
#include "ScriptedPlatform.h"
#include "TSAppDelegate.h"
#include "prefs/PreferencesStore.h"
#include "sync/SyncController.h"

#include <QCryptographicHash>
#include <QDirIterator>

using namespace tessaly;
using namespace tessaly::test;

class CliSameArchiveTest : public CliFixture {
protected:
    // Every cell of every table in storage order, as text (NULL marked), and every
    // file below the picture folder, hidden ones too, with its digest.
    static QStringList everything(const QString& folder) {
        const QString user = "tessaly_demo"; // the stand-in program's user
        ArchiveDatabase archive;
        EXPECT_TRUE(archive.open(folder + "/" + user + "_db").ok());
        QStringList tables, found;
        archive.exec("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name", [&](const SqlRow& row) {
            tables << row.value(0);
            return 0;
        });
        for (const QString& table : tables)
            archive.exec("SELECT * FROM " + table + " ORDER BY rowid", [&](const SqlRow& row) {
                QString line = table;
                for (int i = 0; i < row.count(); ++i)
                    line += "|" + row.names[i] + "=" + (row.isNull(i) ? QStringLiteral("<null>") : row.value(i));
                found << line;
                return 0;
            });
        QStringList files;
        for (QDirIterator it(folder + "/" + user + "_pix", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString file = it.next();
            files << "file " + QDir(folder).relativeFilePath(file) + " " +
                         QCryptographicHash::hash(CliFixture::bytes(file), QCryptographicHash::Sha256).toHex();
        }
        files.sort();
        return found + files + QStringList{"errorlog " + QString::number(QFileInfo(folder + "/" + user + "_errorlog").size())};
    }
};

TEST_F(CliSameArchiveTest, SyncWithEveryOptionLeavesWhatTheApplicationLeaves) {
    // Enough pictures for videos, pictures without originals or EXIF data, odd
    // titles and places; paging is CliSyncTest's.
    QProcess service;
    service.start(QStringLiteral(FAKEFLICKR_BIN), {"--photos", "40", "--sets", "3"});
    ASSERT_TRUE(waitFor([&] { return service.canReadLine(); }, 20000));
    const QString baseUrl = QString::fromUtf8(service.readLine()).trimmed().remove("listening on ");
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
    store.setValue("authTokenArray", storedPreference("authTokenArray"));
    store.setValue("authTokenSecretArray", storedPreference("authTokenSecretArray"));
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
        ASSERT_TRUE(waitFor(ended, 120000));
        ASSERT_TRUE(c.doneDownloadingSheet2->isVisible());
        c.doneDownloadingButton2->performClick();
        c.downloadFilesButton->performClick();
        ASSERT_TRUE(waitFor([&] { return c.countSheet->isVisible(); }));
        c.countOkButton->performClick();
        ASSERT_TRUE(waitFor(ended, 120000));
        ASSERT_TRUE(c.doneDownloadingSheet2->isVisible());
        c.doneDownloadingButton2->performClick();
    }
    EXPECT_TRUE(platform.alerts.isEmpty());
    const CliResult synced = finish(*cli, 120000);
    service.kill();
    service.waitForFinished(5000);
    EXPECT_EQ(synced.exitCode, 0) << synced.err.toStdString();
    EXPECT_EQ(synced.outLines(), QStringList({"All of your Flickr and EXIF picture information has finished downloading.",
                                              "All of your picture files have finished downloading."}));

    const QStringList fromCli = everything(path("cli")), fromApp = everything(path("app"));
    ASSERT_EQ(fromCli.size(), fromApp.size());
    for (qsizetype i = 0; i < fromCli.size(); ++i)
        ASSERT_EQ(fromCli[i], fromApp[i]) << "line " << i;
    const auto lines = [&](const QString& start) { return fromCli.filter(QRegularExpression("^" + start)).size(); };
    EXPECT_EQ(lines("photos\\|"), 40);
    EXPECT_EQ(lines("sets\\|"), 3);
    EXPECT_EQ(lines("permsfetched\\|"), 40);
    EXPECT_GE(lines("videofiles\\|"), 2);
    EXPECT_GE(lines("file "), 40 * 2);
    EXPECT_EQ(fromCli.last(), "errorlog 0");
}
