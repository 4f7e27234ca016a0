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

namespace {

const QString kUser = "tessaly_demo"; // the stand-in program's user

// Every row of a table in storage order, every cell as text (NULL marked).
QList<QStringList> cells(const QString& database, const QString& table) {
    ArchiveDatabase archive;
    EXPECT_TRUE(archive.open(database).ok());
    QList<QStringList> rows;
    archive.exec("SELECT * FROM " + table + " ORDER BY rowid", [&](const SqlRow& row) {
        QStringList values;
        for (int i = 0; i < row.count(); ++i)
            values << (row.isNull(i) ? QStringLiteral("<null>")
                                     : row.names[i] + "=" + row.value(i));
        rows << values;
        return 0;
    });
    return rows;
}

// Every file below a folder, hidden ones too, by relative path, with its digest.
QMap<QString, QByteArray> files(const QString& folder) {
    QMap<QString, QByteArray> found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile content(file);
        EXPECT_TRUE(content.open(QIODevice::ReadOnly));
        found[QDir(folder).relativeFilePath(file)] =
            QCryptographicHash::hash(content.readAll(), QCryptographicHash::Sha256);
    }
    return found;
}

struct ServiceProgram {
    QProcess process;
    QString baseUrl;
    ~ServiceProgram() {
        process.kill();
        process.waitForFinished(5000);
    }
};

} // namespace

class CliSameArchiveTest : public CliFixture {};

TEST_F(CliSameArchiveTest, SyncWithEveryOptionLeavesWhatTheApplicationLeaves) {
    ServiceProgram service;
    service.process.start(QStringLiteral(FAKEFLICKR_BIN), {"--photos", "1234"});
    ASSERT_TRUE(waitFor([&] { return service.process.canReadLine(); }, 20000));
    service.baseUrl =
        QString::fromUtf8(service.process.readLine()).trimmed().remove("listening on ");
    env.insert("TESSALY_FLICKR_ENDPOINT", service.baseUrl);
    qputenv("TESSALY_FLICKR_ENDPOINT", service.baseUrl.toUtf8());

    // The command line, running while the application does the same: the
    // two use the service side by side, and only read from it.
    addAndConnect(kUser, path("cli"));
    const auto cli = start({"sync", "--perms", "--exif", "--files"});
    cli->closeWriteChannel();

    // The application, on preferences of its own holding the same token.
    SettingsPreferencesStore store(path("app/Tessaly.conf"));
    QDir().mkpath(path("app"));
    store.setValue("pixPath", path("app") + "/" + kUser + "_pix");
    store.setValue("pixPathArray", QStringList{path("app") + "/" + kUser + "_pix"});
    store.setValue("authTokenArray", storedPreference("authTokenArray"));
    store.setValue("authTokenSecretArray", storedPreference("authTokenSecretArray"));
    store.synchronize();
    ScriptedPlatform platform;
    {
        TSAppDelegate app(platform, store);
        app.applicationDidFinishLaunching();
        auto& c = app.controls();
        const auto ended = [&] {
            return app.sync().phase() == sync::Phase::Finished ||
                   app.sync().phase() == sync::Phase::Idle;
        };
        ASSERT_TRUE(waitFor(
            [&] { return app.state().connectionState == 1 && !app.flickrRequest().isRunning(); }));
        c.downloadButton->performClick();
        ASSERT_TRUE(waitFor([&] { return c.permsOptionSheet->isVisible(); }));
        c.permsCheck->setState(Button::On);
        c.exifCheck->setState(Button::On);
        c.permsOkButton->performClick();
        ASSERT_TRUE(waitFor(ended, 300000));
        ASSERT_TRUE(c.doneDownloadingSheet2->isVisible());
        c.doneDownloadingButton2->performClick();
        c.downloadFilesButton->performClick();
        ASSERT_TRUE(waitFor([&] { return c.countSheet->isVisible(); }));
        c.countOkButton->performClick();
        ASSERT_TRUE(waitFor(ended, 300000));
        ASSERT_TRUE(c.doneDownloadingSheet2->isVisible());
        c.doneDownloadingButton2->performClick();
    }
    EXPECT_TRUE(platform.alerts.isEmpty());
    const CliResult synced = finish(*cli, 300000);
    ASSERT_EQ(synced.exitCode, 0) << synced.err.toStdString();
    EXPECT_EQ(
        synced.outLines(),
        QStringList({"All of your Flickr and EXIF picture information has finished downloading.",
                     "All of your picture files have finished downloading."}));

    const QString cliArchive = path("cli") + "/" + kUser + "_db";
    const QString appArchive = path("app") + "/" + kUser + "_db";
    for (const QString table : {"photos", "sets"}) {
        const QList<QStringList> fromCli = cells(cliArchive, table);
        const QList<QStringList> fromApp = cells(appArchive, table);
        ASSERT_EQ(fromCli.size(), fromApp.size()) << table.toStdString();
        for (qsizetype i = 0; i < fromCli.size(); ++i)
            ASSERT_EQ(fromCli[i], fromApp[i]) << table.toStdString() << " row " << i;
    }
    EXPECT_EQ(cells(cliArchive, "photos").size(), 1234);
    const QMap<QString, QByteArray> cliFiles = files(path("cli") + "/" + kUser + "_pix");
    EXPECT_EQ(cliFiles.size(), files(path("app") + "/" + kUser + "_pix").size());
    EXPECT_TRUE(cliFiles == files(path("app") + "/" + kUser + "_pix"));
    EXPECT_GE(cliFiles.size(), 1234 * 2);
    // Both error logs are empty.
    EXPECT_EQ(QFileInfo(path("cli") + "/" + kUser + "_errorlog").size(), 0);
    EXPECT_EQ(QFileInfo(path("app") + "/" + kUser + "_errorlog").size(), 0);
}
