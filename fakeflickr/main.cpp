// fakeflickr: the stand-in Flickr service as a program, for the demo and for manual runs.
#include "Faults.h"
#include "Server.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cmath>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fakeflickr"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A stand-in Flickr service on 127.0.0.1 for Tessaly's tests and demo.\n"
        "Faults, each KIND:TARGET[#COUNT][~SECONDS]:\n"
        "  stall|drop|malformed|http429|http500|http502|http503|http504:METHOD[@page=N|@photo=ID|@ARG=VALUE]\n"
        "  error:METHOD[@photo=ID]:CODE\n"
        "  empty|nolist:METHOD[@SEL] (an ok answer whose list holds nothing, or has no list)\n"
        "  claim:METHOD[@SEL]:ATTR=VALUE (every ATTR attribute of the answer says VALUE)\n"
        "  stall|truncate|http429|http500|http502|http503|http504:file:NAME (a picture's or video's file)\n"
        "  http403|http404|http410:file:NAME (lasting, as for removed or withheld originals)\n"
        "  fail:file:NAME:COUNT (HTTP 500 COUNT times)\n"
        "  endless:METHOD[@SEL], endless:file:NAME (HTTP 200, no length, a body without end)\n"
        "  html|empty:file:NAME (HTTP 200 with an HTML page, or with no body)\n"
        "  redirect:file:NAME (HTTP 302 to a local file)\n"
        "NAME may use *. #COUNT: the fault applies COUNT times, then is gone.\n"
        "~SECONDS: the answer carries Retry-After: SECONDS."));
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
    const QCommandLineOption callsPerHour("calls-per-hour",
                                          "Calls an hour each API key may make on average; more are answered "
                                          "HTTP 429 (default: 0, unlimited).", "N", "0");
    const QCommandLineOption burst("burst", "Calls an API key may make at once within its budget.", "N",
                                   QString::number(defaults.burst));
    const QCommandLineOption noRetryAfter("no-retry-after", "Answer the budget's 429s without Retry-After.");
    const QCommandLineOption freeAccount("free-account", "The user has no Pro account: no \"Video Original\" sizes.");
    parser.addOptions({photos, seed, sets, user, apiKey, secret, fault, port, callsPerHour, burst, noRetryAfter, freeAccount});
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
    bool ok = false;
    options.callsPerHour = parser.value(callsPerHour).toDouble(&ok);
    if (!ok || !(options.callsPerHour >= 0) || !std::isfinite(options.callsPerHour)) {
        std::fprintf(stderr, "fakeflickr: bad value for --calls-per-hour\n");
        return 2;
    }
    options.burst = int(std::min<qint64>(number(burst, 1), 1'000'000));
    options.sendRetryAfter = !parser.isSet(noRetryAfter);
    options.pro = !parser.isSet(freeAccount);
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
