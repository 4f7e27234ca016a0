// The archive check on a generated archive of 100,000 records with their
// 300,000 small picture files (original, large and square each): how many
// files a second it looks at without decoding them, and the memory it
// takes. Prints "figure NAME VALUE UNIT" lines.
#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveVerify.h"
#include "archive/Schema.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace tessaly;

namespace {

constexpr int kRecords = 100000;

long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray smallJpeg(int shade) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(QColor(shade, 128, 255 - shade));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString pix = dir.filePath("anna_pix");
    QDir().mkpath(pix);
    ArchiveDatabase db;
    if (!db.open(dir.filePath("anna_db")).ok() || !db.exec(schema::kCreatePhotos).ok())
        return 1;

    QElapsedTimer clock;
    clock.start();
    const QByteArray files[3] = {smallJpeg(10), smallJpeg(120), smallJpeg(240)};
    db.exec("BEGIN");
    const char* suffixes[3] = {"o", "b", "s"};
    for (int i = 0; i < kRecords; ++i) {
        const QString id = QString::number(5000000000LL + i);
        QStringList urls;
        for (int s = 0; s < 3; ++s) {
            const QString name = QString("%1_%2_%3.jpg").arg(id).arg(i % 997, 6, 16, QLatin1Char('0')).arg(suffixes[s]);
            urls << "https://live.staticflickr.com/1234/" + name;
            QFile file(pix + "/" + name);
            if (!file.open(QIODevice::WriteOnly) || file.write(files[s]) != files[s].size())
                return 1;
        }
        db.run("INSERT INTO photos (flickrID,url_o,url_l,url_sq,filesize) VALUES(?,?,?,?,?)",
               {id, urls[0], urls[1], urls[2], QString::number(files[0].size())});
    }
    db.exec("COMMIT");
    std::printf("figure generate_seconds %.1f s\n", double(clock.elapsed()) / 1000.0);

    const long before = peakResidentKilobytes();
    verify::ArchiveVerifier verifier(db, pix, false);
    clock.restart();
    if (!verifier.start().ok())
        return 1;
    std::printf("figure peak_resident_after_reading_records %.1f MB\n", double(peakResidentKilobytes()) / 1024.0);
    while (verifier.step()) {
    }
    const double seconds = double(clock.elapsed()) / 1000.0;
    std::printf("figure verify_files %lld files\n", verifier.filesTotal());
    std::printf("figure verify_seconds %.2f s\n", seconds);
    std::printf("figure verify_files_per_second %.0f files/s\n", double(verifier.filesTotal()) / seconds);
    std::printf("figure verify_findings %lld findings\n", qint64(verifier.findings().size()));
    std::printf("figure peak_resident_before_verify %.1f MB\n", double(before) / 1024.0);
    std::printf("figure peak_resident %.1f MB\n", double(peakResidentKilobytes()) / 1024.0);
    return verifier.recordsHold() ? 0 : 1;
}
