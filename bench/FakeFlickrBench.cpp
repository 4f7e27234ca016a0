// Timings of the stand-in Flickr service: one 500-picture page, one JPEG, a 100,000-picture
// stream paged through over HTTP, and the peak memory of doing so.
#include "PictureFiles.h"
#include "Server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <cstdio>

namespace {

const char* kExtras = "description,license,date_upload,date_taken,owner_name,icon_server,original_format,last_update,"
                      "geo,tags,machine_tags,o_dims,views,media,path_alias,url_sq,url_t,url_s,url_m,url_z,url_l,url_o";

long peakKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

QByteArray fetch(QNetworkAccessManager& manager, const QString& url) {
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}

QString pageUrl(const fakeflickr::Server& server, int page) {
    return server.baseUrl() + QStringLiteral("/services/rest/?method=flickr.people.getPhotos&api_key=%1&user_id=%2"
                                             "&per_page=500&page=%3&extras=%4")
                                  .arg(server.options().apiKey, server.userNsid(), QString::number(page),
                                       QString::fromLatin1(kExtras));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QNetworkAccessManager manager;
    const long startKb = peakKilobytes();

    {
        fakeflickr::Options options;
        options.photos = 1000;
        fakeflickr::Server server(options);
        if (!server.listen())
            return 1;
        fetch(manager, pageUrl(server, 1));  // warm up
        const int runs = 20;
        QElapsedTimer timer;
        timer.start();
        qsizetype bytes = 0;
        for (int i = 0; i < runs; ++i)
            bytes += fetch(manager, pageUrl(server, 1 + i % 2)).size();
        std::printf("one 500-picture page over HTTP: %.2f ms (%lld bytes)\n", double(timer.nsecsElapsed()) / 1e6 / runs,
                    static_cast<long long>(bytes / runs));

        const fakeflickr::Photostream& stream = server.photostream();
        for (char suffix : {'s', 'b', 'o'}) {
            int count = 0;
            qsizetype size = 0;
            timer.restart();
            for (int i = 0; count < 20 && i < stream.size(); ++i) {
                const fakeflickr::Photo p = stream.photoAt(i);
                if (!p.hasSize(suffix))
                    continue;
                size += fakeflickr::makeJpeg(p, suffix).size();
                ++count;
            }
            std::printf("one JPEG, size '%c': %.2f ms (%lld bytes)\n", suffix, double(timer.nsecsElapsed()) / 1e6 / count,
                        static_cast<long long>(size / count));
        }
    }

    {
        fakeflickr::Options options;
        options.photos = 100000;
        fakeflickr::Server server(options);
        if (!server.listen())
            return 1;
        QElapsedTimer timer;
        timer.start();
        qsizetype bytes = 0;
        for (int page = 1; page <= 200; ++page)
            bytes += fetch(manager, pageUrl(server, page)).size();
        std::printf("100,000-picture stream, 200 pages over HTTP: %.2f s (%.1f MB of XML)\n",
                    double(timer.nsecsElapsed()) / 1e9, double(bytes) / 1e6);
    }
    std::printf("peak memory: %ld kB (%ld kB at start)\n", peakKilobytes(), startKb);
    return 0;
}
