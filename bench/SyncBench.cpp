// Timings of the downloads against the stand-in service, which runs as its
// own process (as Flickr would be elsewhere): the information download of a
// 50,000-picture stream, twice; storing one page against a bare insert loop;
// the EXIF stage on a small and a large archive; the file download of 3,000
// pictures, twice; the peak memory of a 100,000-picture download; and the
// mapping of answers with many distinct element names.
// Prints "figure NAME VALUE UNIT" lines.
#include "ScriptedPlatform.h"
#include "TSAppDelegate.h"
#include "Options.h"
#include "OFXMLMapper.h"
#include "Photostream.h"
#include "RestApi.h"
#include "archive/SqlStatement.h"
#include "prefs/PreferencesStore.h"
#include "sync/PhotoStore.h"
#include "sync/SyncController.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace tessaly;

namespace {

void figure(const char* name, double value, const char* unit) {
    std::printf("figure %s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

bool waitFor(const std::function<bool()>& done, int ms) {
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    bool met = done();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if ((met = done()) || clock.elapsed() > ms)
            loop.quit();
    });
    if (!met) {
        poll.start(1);
        loop.exec();
    }
    return met;
}

double peakResidentMegabytes() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// The stand-in as a process of its own.
class Service {
public:
    explicit Service(int photos) {
        const QString program = QCoreApplication::applicationDirPath() + "/../fakeflickr";
        m_process.start(program, {"--photos", QString::number(photos)});
        if (!m_process.waitForStarted() || !m_process.waitForReadyRead(20000))
            qFatal("the stand-in service did not start: %s", qPrintable(program));
        m_url = QString::fromUtf8(m_process.readLine()).trimmed().section(' ', -1);
    }
    ~Service() {
        m_process.kill();
        m_process.waitForFinished();
    }
    QString url() const { return m_url; }

private:
    QProcess m_process;
    QString m_url;
};

// Tessaly connected to a service, in a folder of its own.
class Session {
public:
    explicit Session(const Service& service) {
        qputenv("TESSALY_FLICKR_ENDPOINT", service.url().toUtf8());
        m_store = std::make_unique<SettingsPreferencesStore>(m_dir.filePath("Tessaly.conf"));
        m_store->setValue("pixPath", pixFolder());
        m_store->setValue("pixPathArray", QStringList{pixFolder()});
        m_store->synchronize();
        m_platform.onOpenURL = [this](const QUrl& url) {
            // The stand-in's authorize page approves at once and redirects.
            QNetworkRequest request(url);
            request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                 QNetworkRequest::ManualRedirectPolicy);
            QNetworkReply* reply = m_network.get(request);
            QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
                reply->deleteLater();
                m_callback = QString::fromUtf8(reply->rawHeader("Location"));
            });
            return true;
        };
        m_app = std::make_unique<TSAppDelegate>(m_platform, *m_store);
        m_app->applicationDidFinishLaunching();
        auto& c = m_app->controls();
        c.oauthAuthButton->performClick();
        if (!waitFor([&] { return !m_callback.isEmpty(); }, 20000))
            qFatal("no callback from the stand-in");
        m_app->handleIncomingURL(m_callback);
        waitFor([&] { return !m_app->flickrRequest().isRunning(); }, 20000);
        c.checkConnectionButton->performClick();
        if (!waitFor([&] { return m_app->state().connectionState == 1 && !m_app->flickrRequest().isRunning(); },
                     20000))
            qFatal("the account did not connect");
    }

    QString pixFolder() const { return m_dir.filePath("tessaly_demo_pix"); }
    TSAppDelegate& app() { return *m_app; }

    // One run of a download flow from the user's OK to its finish; answers
    // the seconds it took, or a negative value when it did not finish.
    double run(bool files, bool perms, bool exif) {
        auto& c = m_app->controls();
        auto& flows = m_app->sync();
        (files ? c.downloadFilesButton : c.downloadButton)->performClick();
        Window* sheet = files ? c.countSheet : c.permsOptionSheet;
        if (!waitFor([&] { return sheet->isVisible(); }, 60000))
            return -1;
        c.permsCheck->setState(perms ? Button::On : Button::Off);
        c.exifCheck->setState(exif ? Button::On : Button::Off);
        QElapsedTimer clock;
        clock.start();
        (files ? c.countOkButton : c.permsOkButton)->performClick();
        if (!waitFor([&] { return flows.phase() != sync::Phase::Running; }, 30 * 60000) ||
            flows.phase() != sync::Phase::Finished)
            return -1;
        const double seconds = clock.nsecsElapsed() / 1e9;
        (c.doneDownloadingSheet->isVisible() ? c.doneDownloadingButton : c.doneDownloadingButton2)
            ->performClick();
        return seconds;
    }

private:
    QTemporaryDir m_dir;
    ScriptedPlatform m_platform;
    std::unique_ptr<SettingsPreferencesStore> m_store;
    std::unique_ptr<TSAppDelegate> m_app;
    QNetworkAccessManager m_network;
    QString m_callback;
};

void peakMemory() {
    Service service(100000);
    Session session(service);
    if (session.run(false, false, false) < 0)
        qFatal("the 100,000-picture download did not finish");
    figure("sync_peak_rss_mb", peakResidentMegabytes(), "MB");
}

void informationDownload() {
    Service service(50000);
    Session session(service);
    QElapsedTimer clock;
    qint64 setsAt = -1;
    auto& label = *session.app().controls().progressLabel;
    QObject::connect(&label, &Control::changed, &label, [&] {
        if (setsAt < 0 && label.stringValue().startsWith("downloading photo sets"))
            setsAt = clock.elapsed();
    });
    clock.start();
    const double first = session.run(false, false, false);
    figure("info_first_run_pages_s", setsAt / 1000.0, "s");
    figure("info_first_run_sets_s", first - setsAt / 1000.0, "s");
    const double second = session.run(false, false, false);
    figure("info_photos_per_s_first_run", 50000 / first, "pictures/s");
    figure("info_photos_per_s_second_run", 50000 / second, "pictures/s");
}

QByteArray pageBody();

// One page of pictures as the photostream answer maps it.
QVariantList pageOfPictures() {
    const auto mapped = OFXMLMapper::dictionaryMappedFromXMLData(pageBody());
    return OFValueForKeyPath(mapped.value_or(QVariantMap()), "rsp.photos.photo").toList();
}

QByteArray pageBody() {
    fakeflickr::Options options;
    options.photos = 500;
    fakeflickr::PhotoLibrary library{fakeflickr::Photostream(500, 1)};
    fakeflickr::RestApi api(library, options, "12345678@N01");
    api.setBaseUrl("http://127.0.0.1:1");
    const fakeflickr::RestAnswer answer = api.call(
        "flickr.people.getPhotos",
        {{"user_id", "me"},
         {"per_page", "500"},
         {"page", "1"},
         {"extras", "description, license, date_upload, date_taken, owner_name, original_format, "
                    "last_update, geo, tags, o_dims, views, media, url_sq, url_l, url_o"}},
        {"GET", "read", {}});
    return answer.body;
}

void storeVersusRaw() {
    const QVariantList items = pageOfPictures();
    {
        const QByteArray body = pageBody();
        std::vector<double> mapping;
        for (int round = 0; round < 15; ++round) {
            QElapsedTimer clock;
            clock.start();
            const auto mapped = OFXMLMapper::dictionaryMappedFromXMLData(body);
            mapping.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::sort(mapping.begin(), mapping.end());
        figure("map_page_ms", mapping[mapping.size() / 2], "ms");
    }
    QList<sync::PhotoRecord> prepared;
    for (const QVariant& item : items)
        prepared << sync::photoRecordFrom(item.toMap());
    std::vector<double> stored, raw;
    for (int round = 0; round < 15; ++round) {
        QTemporaryDir dir;
        ArchiveDatabase database;
        database.open(dir.filePath("a_db"));
        database.exec("CREATE TABLE IF NOT EXISTS photos(flickrID TEXT PRIMARY KEY,owner TEXT,ownername TEXT,url_o TEXT,url_l TEXT,license INTEGER,title TEXT,description TEXT,tags TEXT,views INTEGER,width_o INTEGER,height_o INTEGER,url_sq TEXT, originalformat TEXT,datetaken TEXT,dateupload TEXT,filesize INTEGER NOT NULL DEFAULT 0,isfamily INTEGER,isfriend INTEGER,ispublic INTEGER,permcomment INTEGER,permmeta INTEGER,lastupdate TEXT,geo TEXT,latitude TEXT,longitude TEXT,Make TEXT,Model TEXT,Flash TEXT,media TEXT,setID TEXT NOT NULL DEFAULT '',exifdata TEXT);");
        // What storing a page does: map every picture, then write them.
        QElapsedTimer clock;
        clock.start();
        QList<sync::PhotoRecord> records;
        for (const QVariant& item : items)
            records << sync::photoRecordFrom(item.toMap());
        sync::PhotoStore(database).storePhotos(records);
        stored.push_back(clock.nsecsElapsed() / 1e6);

        // The same rows through one prepared statement, nothing else.
        database.exec("DELETE FROM photos");
        clock.restart();
        {
            SqlTransaction transaction(database);
            SqlStatement insert(database, "INSERT INTO photos (flickrID,owner,ownername,url_o,url_l,license,title,description,tags,url_sq,views,width_o,height_o,originalformat,datetaken,dateupload,isfamily,isfriend,ispublic,permcomment,permmeta,lastupdate,geo,latitude,longitude,media) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
            for (const sync::PhotoRecord& r : prepared)
                insert.run({r.flickrID, r.owner, r.ownername, r.url_o, r.url_l, r.license, r.title,
                            r.description, r.tags, r.url_sq, r.views, r.width_o, r.height_o,
                            r.originalformat, r.datetaken, r.dateupload, r.isfamily, r.isfriend,
                            r.ispublic, r.permcomment, r.permmeta, r.lastupdate, r.geo, r.latitude,
                            r.longitude, r.media});
            transaction.commit();
        }
        raw.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(stored.begin(), stored.end());
    std::sort(raw.begin(), raw.end());
    const double s = stored[stored.size() / 2], r = raw[raw.size() / 2];
    figure("store_page_ms", s, "ms");
    figure("raw_insert_page_ms", r, "ms");
    figure("store_vs_raw", s / r, "ratio");
}

// An answer whose one element holds `names` children, each named differently,
// as a broken or hostile server may send: mapping it must stay linear.
void distinctChildNames() {
    for (const int names : {25000, 50000, 100000, 200000}) {
        QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<rsp stat=\"ok\"><photo id=\"1\">";
        for (int i = 0; i < names; ++i)
            body += "<n" + QByteArray::number(i) + "/>";
        body += "</photo></rsp>\n";
        QElapsedTimer clock;
        clock.start();
        const auto mapped = OFXMLMapper::dictionaryMappedFromXMLData(body);
        const double ms = clock.nsecsElapsed() / 1e6;
        if (!mapped)
            qFatal("the answer did not map");
        const QByteArray name = "map_distinct_names_" + QByteArray::number(names) + "_ms";
        figure(name.constData(), ms, "ms");
    }
}

// The EXIF stage for 1,000 pictures in an archive of `records` pictures.
double exifPerPicture(int records) {
    Service service(records);
    Session session(service);
    if (session.run(false, false, false) < 0)
        return -1;
    // Every picture but 1,000 already holds its EXIF data.
    session.app().database().exec(
        QString("UPDATE photos SET exifdata='' WHERE rowid > %1").arg(1000));
    QElapsedTimer clock;
    qint64 stageStart = -1;
    auto& label = *session.app().controls().progressLabel;
    QObject::connect(&label, &Control::changed, &label, [&] {
        if (stageStart < 0 && label.stringValue().startsWith("downloading EXIF info"))
            stageStart = clock.nsecsElapsed();
    });
    clock.start();
    if (session.run(false, false, true) < 0 || stageStart < 0)
        return -1;
    // The first answer set the label; 999 further pictures follow it.
    return (clock.nsecsElapsed() - stageStart) / 1e6 / 999.0;
}

void exifStage() {
    const double small = exifPerPicture(2000);
    const double large = exifPerPicture(20000);
    figure("exif_ms_per_photo_2000", small, "ms");
    figure("exif_ms_per_photo_20000", large, "ms");
    figure("exif_growth", large / small, "ratio");
}

void fileDownload() {
    Service service(3000);
    Session session(service);
    if (session.run(false, false, false) < 0)
        qFatal("the information download did not finish");
    const double first = session.run(true, false, false);
    int files = 0;
    for (QDirIterator it(session.pixFolder(), QDir::Files); it.hasNext(); it.next())
        ++files;
    const double second = session.run(true, false, false);
    figure("files_downloaded", files, "files");
    figure("files_per_s", files / first, "files/s");
    figure("skip_records_per_s", 3000 / second, "records/s");
}

} // namespace

int main(int argc, char** argv) {
    // Nothing of the real home folder or preferences is touched.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    const QStringList only = app.arguments().mid(1);
    const auto wanted = [&](const QString& name) { return only.isEmpty() || only.contains(name); };
    if (wanted("memory"))
        peakMemory(); // first, while the process holds nothing else
    if (wanted("info"))
        informationDownload();
    if (wanted("store"))
        storeVersusRaw();
    if (wanted("mapper"))
        distinctChildNames();
    if (wanted("exif"))
        exifStage();
    if (wanted("files"))
        fileDownload();
    return 0;
}
