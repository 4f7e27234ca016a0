// fakeflickr: the stand-in Flickr service as a program, for the demo and for manual runs.
#include "Faults.h"
#include "Server.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fakeflickr"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A stand-in Flickr service on 127.0.0.1 for Tessaly's tests and demo.\n"
        "Faults: stall|drop|http500|malformed:METHOD[@page=N|@photo=ID], error:METHOD[@photo=ID]:CODE,\n"
        "stall|truncate|http500:file:NAME, fail:file:NAME:COUNT (NAME may use *)."));
    parser.addHelpOption();
    const fakeflickr::Options defaults;
    const QCommandLineOption photos("photos", "Pictures in the photostream.", "N", QString::number(defaults.photos));
    const QCommandLineOption seed("seed", "Seed of the generated photostream.", "S", QString::number(defaults.seed));
    const QCommandLineOption sets("sets", "Photo sets (default: suits the stream size).", "N");
    const QCommandLineOption user("user", "The user's name.", "NAME", defaults.userName);
    const QCommandLineOption apiKey("api-key", "Accepted API key.", "K", defaults.apiKey);
    const QCommandLineOption secret("shared-secret", "Shared secret.", "S", defaults.sharedSecret);
    const QCommandLineOption fault("fault", "A fault to inject (repeatable).", "KIND:TARGET");
    const QCommandLineOption port("port", "Port to listen on (default: a free one).", "P", "0");
    parser.addOptions({photos, seed, sets, user, apiKey, secret, fault, port});
    parser.process(app);

    const auto number = [&](const QCommandLineOption& option, qint64 min) {
        bool ok = false;
        const qint64 value = parser.value(option).toLongLong(&ok);
        if (!ok || value < min) {
            std::fprintf(stderr, "fakeflickr: bad value for --%s\n", qPrintable(option.names().first()));
            std::exit(2);
        }
        return value;
    };
    fakeflickr::Options options;
    options.photos = int(number(photos, 0));
    options.seed = quint64(number(seed, 0));
    options.sets = parser.isSet(sets) ? int(number(sets, 0)) : -1;
    options.userName = parser.value(user);
    options.apiKey = parser.value(apiKey);
    options.sharedSecret = parser.value(secret);
    options.faults = parser.values(fault);
    for (const QString& text : options.faults) {
        QString error;
        if (!fakeflickr::Fault::parse(text, &error)) {
            std::fprintf(stderr, "fakeflickr: %s\n", qPrintable(error));
            return 2;
        }
    }
    const quint16 wantedPort = quint16(number(port, 0));

    fakeflickr::Server server(options);
    if (!server.listen(wantedPort)) {
        std::fprintf(stderr, "fakeflickr: cannot listen on 127.0.0.1:%u: %s\n", wantedPort, qPrintable(server.errorString()));
        return 1;
    }
    std::printf("listening on %s\n", qPrintable(server.baseUrl()));
    std::fflush(stdout);
    return app.exec();
}
