// Timings of the search on a generated archive of 100,000 pictures with
// their square files: a quick search that finds about 10,000 of them, a
// builder search with three rows, a date range and a distance filter, the
// same statements stepped bare through SQLite, and the memory a large result
// costs. Prints "figure NAME VALUE UNIT" lines.
#include "ScriptedPlatform.h"
#include "TSAppDelegate.h"
#include "prefs/PreferencesStore.h"
#include "search/SearchController.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace tessaly;

namespace {

constexpr int kPictures = 100000;

const char* kWords[] = {
    "sea",     "beach",   "city",    "night",   "street", "bridge", "river",    "forest",  "snow",
    "winter",  "summer",  "family",  "dog",     "cat",    "market", "church",   "tower",   "park",
    "garden",  "flower",  "train",   "station", "museum", "castle", "lake",     "hill",    "valley",
    "rock",    "sunset",  "sunrise", "cloud",   "storm",  "boat",   "island",   "road",    "car",
    "bicycle", "friends", "party",   "concert", "food",   "coffee", "portrait", "macro",   "tree",
    "leaf",    "autumn",  "spring",  "rain",    "fog",    "desert", "mountain", "glacier", "canal",
    "square",  "statue",  "window",  "door",    "light",  "shadow"};
const char* kAdjectives[] = {"Morning", "Evening", "Quiet",  "Old",  "Bright", "Grey",
                             "Lonely",  "Busy",    "Little", "Long", "Red",    "Blue"};
const char* kNouns[] = {"walk", "view", "corner", "lane", "light", "crossing", "visit", "day"};
const char* kMakes[] = {"Canon", "Nikon", "Sony", "Fujifilm", "Olympus", "Panasonic"};
const char* kModels[] = {"EOS 5D", "D700", "A7", "X100", "E-M5", "GX1"};

long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The archive: plausible records, 10% of them tagged "harbour" (a word
// found nowhere else), 70% with a location in Europe.
bool fillArchive(sqlite3* db) {
    std::mt19937 random(20110604);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO photos (flickrID,owner,ownername,url_o,url_l,license,title,"
                       "description,tags,views,width_o,height_o,url_sq,originalformat,datetaken,"
                       "dateupload,isfamily,isfriend,ispublic,permcomment,permmeta,lastupdate,geo,"
                       "latitude,longitude,Make,Model,Flash,media) VALUES(?,'12037949@N00','anna',"
                       "?,?,?,?,?,?,?,4000,3000,?,'jpg',?,?,?,?,?,0,0,?,'',?,?,?,?,?,?)",
                       -1, &insert, nullptr);
    const QDateTime start(QDate(2004, 1, 1), QTime(0, 0));
    for (int i = 0; i < kPictures; ++i) {
        const QString id = QString::number(5000000000LL + i);
        const QString base =
            QStringLiteral("https://live.staticflickr.com/65535/%1_4f2a9c").arg(id);
        QStringList tags;
        for (int t = 3 + pick(4); t > 0; --t)
            tags << kWords[pick(60)];
        if (i % 10 == 3)
            tags << QStringLiteral("harbour");
        const bool located = pick(10) < 7;
        const QString when = start.addSecs(qint64(pick(16 * 365)) * 86400 + pick(86400))
                                 .toString("yyyy-MM-dd HH:mm:ss");
        const QStringList texts = {
            id,
            base + "_o.jpg",
            base + "_b.jpg",
            QString::number(pick(10)),
            QString("%1 %2").arg(kAdjectives[pick(12)], kNouns[pick(8)]),
            QString("A %1 by the %2, %3.")
                .arg(kWords[pick(60)], kWords[pick(60)],
                     pick(5) == 0 ? "in the rain" : "on a clear day"),
            tags.join(' '),
            QString::number(pick(5000)),
            base + "_s.jpg",
            when,
            when,
            QString::number(pick(2)),
            QString::number(pick(2)),
            QString::number(pick(2)),
            when,
            located ? QString::number(35 + pick(25000) / 1000.0, 'f', 6) : "0",
            located ? QString::number(-10 + pick(40000) / 1000.0, 'f', 6) : "0",
            kMakes[pick(6)],
            kModels[pick(6)],
            pick(3) == 0 ? "On, Fired" : "Off, Did not fire",
            pick(20) == 0 ? "video" : "photo"};
        for (int k = 0; k < texts.size(); ++k) {
            const QByteArray bytes = texts[k].toUtf8();
            sqlite3_bind_text(insert, k + 1, bytes.constData(), int(bytes.size()),
                              SQLITE_TRANSIENT);
        }
        if (sqlite3_step(insert) != SQLITE_DONE)
            return false;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

// One square file per record: a real JPEG, linked under every name.
bool makeSquareFiles(const QString& pix) {
    const QString first = pix + "/first_s.jpg";
    QImage square(75, 75, QImage::Format_RGB32);
    square.fill(QColor(90, 140, 200));
    if (!square.save(first, "JPEG") && !square.save(first, "PNG"))
        return false;
    const QByteArray source = QFile::encodeName(first);
    for (int i = 0; i < kPictures; ++i) {
        const QString name = QStringLiteral("%1/%2_4f2a9c_s.jpg").arg(pix).arg(5000000000LL + i);
        if (::link(source.constData(), QFile::encodeName(name).constData()) != 0 &&
            !QFile::copy(first, name))
            return false;
    }
    return true;
}

double medianMs(int runs, const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The statement stepped through SQLite alone, its rows untouched.
double bareMs(sqlite3* db, const QString& sql) {
    const QByteArray text = sql.toUtf8();
    return medianMs(5, [&] {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
        }
        sqlite3_finalize(statement);
    });
}

} // namespace

int main(int argc, char** argv) {
    // Everything happens in a throwaway folder, never in the real home.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    QCoreApplication application(argc, argv);

    const QString pix = home.filePath("Pictures/Tessaly/bench_pix");
    QDir().mkpath(pix);
    SettingsPreferencesStore store(home.filePath("config/Tessaly/Tessaly.conf"));
    store.setValue("pixPath", pix);
    store.setValue("pixPathArray", QStringList{pix});
    store.synchronize();
    ScriptedPlatform platform;
    TSAppDelegate app(platform, store);
    app.applicationDidFinishLaunching();
    sqlite3* db = app.database().handle();
    if (!db || !fillArchive(db) || !makeSquareFiles(pix)) {
        std::fprintf(stderr, "could not make the benchmark archive in %s\n",
                     qPrintable(home.path()));
        return 1;
    }

    SearchController& search = app.search();
    SearchControls& s = search.controls();
    TSControls& c = app.controls();
    search.searchDB();
    bareMs(db, "SELECT * FROM photos"); // the archive's pages in the cache
    const long residentBefore = residentKilobytes();

    // Quick search: about 10,000 of 100,000.
    s.quickSearch->setStringValue("harbour");
    const double quick = medianMs(5, [&] { s.searchButton->performClick(); });
    const int quickRows = c.resultsTableView->numberOfRows();
    // The first screen of thumbnails, as the table shows them.
    const double thumbnails = medianMs(1, [&] {
        for (int row = 0; row < 12; ++row)
            c.resultsTableView->valueAt(row, "resultsButton");
    });
    const long residentAfter = residentKilobytes();
    const double quickBare = bareMs(db, search.sqlString());

    // Builder: tags, description and make rows, a date range, 1000 km around Paris.
    search.resetRetrieve();
    c.searchTextFields[1]->setStringValue("rain");
    c.opsButtons[1]->selectItemWithTitle("does not contain");
    c.searchTextFields[2]->setStringValue("city");
    c.searchTextFields[3]->setStringValue("Canon");
    s.takenBeginning->setStringValue("2008-01-01");
    s.takenEnding->setStringValue("2016-12-31");
    s.latlonTextField->setStringValue("48.8566,2.3522");
    s.distanceButton->selectItemAtIndex(8);
    const double builder = medianMs(5, [&] { s.searchButton->performClick(); });
    const int builderRows = c.resultsTableView->numberOfRows();
    const double builderBare = bareMs(db, search.sqlString());
    if (!platform.alerts.isEmpty()) {
        std::fprintf(stderr, "search failed: %s\n", qPrintable(platform.lastAlertMessage()));
        return 1;
    }

    std::printf("quick search: %d rows; builder search: %d rows; bare SQLite %.1f ms and %.1f ms; "
                "first 12 thumbnails %.2f ms\n",
                quickRows, builderRows, quickBare, builderBare, thumbnails);
    std::printf("figure quick_search_ms %.1f ms\n", quick);
    std::printf("figure builder_search_ms %.1f ms\n", builder);
    std::printf("figure search_vs_sqlite %.2f ratio\n",
                quick >= builder ? quick / quickBare : builder / builderBare);
    std::printf("figure rss_growth_mb %.1f MB\n", double(residentAfter - residentBefore) / 1024.0);
    return 0;
}
