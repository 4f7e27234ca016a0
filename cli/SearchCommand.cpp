// tessaly-cli search: a search of the current account's archive, run as the
// search window runs it, printed for a person or for another program.
#include "Commands.h"
#include "Console.h"
#include "ResultOutput.h"
#include "Session.h"
#include "search/SearchController.h"
#include "sync/PhotoStore.h"

#include <csignal>

namespace tessaly::cli {

namespace {

const QStringList kModes = {"quick", "where", "saved", "removed"};

// Ctrl+C while the statement runs stops it; the search then ends as stopped.
volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void interrupted(int) { g_interrupted = 1; }

QString formatCheck(const QString& value) {
    return QStringList{"text", "json", "csv"}.contains(value)
               ? QString()
               : QString("%1 is not one of text, json, csv").arg(value);
}

// The ORDER BY tail of the search form as it starts, for statements that
// bring no order of their own.
QString formSortTail(SearchController& search) {
    search.resetRetrieve();
    search.makeSearchSQL();
    return search.whereString();
}

bool hasRemovedTable(Session& session) {
    bool found = false;
    session.app().database().run("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?",
                                 {sync::kRemovedTable}, [&](const SqlRow&) {
                                     found = true;
                                     return 0;
                                 });
    return found;
}

// The statement the options ask for, as the search window would run it;
// nothing (the error told) when there is none.
std::optional<QString> statementFor(const Invocation& invocation, Session& session) {
    SearchController& search = session.app().search();
    if (invocation.has("quick")) {
        search.resetRetrieve();
        search.controls().quickSearch->setStringValue(invocation.value("quick"));
        search.makeSearchSQL();
        return search.selectString() + search.whereString();
    }
    if (invocation.has("where"))
        return search::kBaseSelect + invocation.value("where");
    if (invocation.has("removed")) {
        // An archive no download has compared with the photostream lists none.
        const QString condition =
            hasRemovedTable(session)
                ? QString("WHERE flickrID IN (SELECT flickrID FROM %1)").arg(sync::kRemovedTable)
                : QStringLiteral("WHERE 0");
        return search::kBaseSelect + condition + formSortTail(search);
    }
    const QString name = invocation.value("saved");
    for (const QVariant& entry : session.state().savedSearchList) {
        const QVariantMap saved = entry.toMap();
        if (saved.value("searchName").toString() == name)
            return saved.value("savedSearch").toString();
    }
    session.console().error(QString("there is no saved search named %1").arg(name));
    return std::nullopt;
}

int run(const Invocation& invocation) {
    int modes = 0;
    for (const QString& mode : kModes)
        modes += invocation.has(mode) ? 1 : 0;
    if (modes != 1)
        return invocation.usageError("give one of --quick, --where, --saved or --removed");
    if (invocation.has("near") != invocation.has("within"))
        return invocation.usageError("--near and --within go together");
    search::DistanceFilter filter;
    if (invocation.has("near")) {
        bool valid = false;
        filter = search::distanceFilterFor(invocation.value("near"),
                                           invocation.value("within").toDouble(), &valid);
        if (!valid || !search::centreInRange(filter))
            return invocation.usageError(
                QString("option --near: %1 is not a latitude and longitude such as 48.85,2.35")
                    .arg(invocation.value("near")));
        // A radius of 0 would keep everything: a search that lists all is refused.
        if (!filter.applies())
            return invocation.usageError("option --within: the distance must be more than 0 metres");
    }

    Session session(*invocation.console);
    session.launch();
    if (!session.useAccount(invocation) || !session.requireArchive())
        return ExitFailure;
    const std::optional<QString> statement = statementFor(invocation, session);
    if (!statement)
        return ExitFailure;
    SearchController& search = session.app().search();
    if (invocation.has("timeout"))
        search.setStatementTimeLimit(qint64(invocation.value("timeout").toDouble() * 1000.0));
    search.setStopRequested([] { return g_interrupted != 0; });
    struct sigaction stop {}, previous {};
    stop.sa_handler = interrupted;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, &previous);
    const bool found = search.runStatement(*statement, filter);
    sigaction(SIGINT, &previous, nullptr);
    if (!found) {
        session.console().error(search.wasStopped() ? "the search was stopped" : "the search failed");
        return ExitFailure;
    }
    const QString format = invocation.has("format") ? invocation.value("format") : "text";
    const QList<SqlRow>& rows = search.resultRecords();
    session.console().outText(format == "json"  ? resultsAsJson(rows)
                              : format == "csv" ? resultsAsCsv(rows)
                                                : resultsAsText(rows));
    return ExitOk;
}

} // namespace

const CommandSpec& searchCommand() {
    static const CommandSpec command{
        "search",
        {},
        "Search the current account's archive.",
        "Searches the current account's archive as the search window does: the same\n"
        "SQL, run read-only (a statement that would change the archive is refused),\n"
        "and the same distance filter. Give exactly one of:\n"
        "  --quick TEXT    the quick search: TEXT in the title, description, tags,\n"
        "                  camera make or model;\n"
        "  --where TAIL    the SQL editor: TAIL follows the search's SELECT, e.g.\n"
        "                  'WHERE views > 100 ORDER BY views DESC';\n"
        "  --saved NAME    the saved search NAME;\n"
        "  --removed       the pictures of the archive that the photostream no longer\n"
        "                  listed at the last download of the picture information.\n"
        "--near LAT,LON with --within METRES keeps the pictures within METRES of the\n"
        "point (pictures without a location are left out). Results go to standard\n"
        "output: as text, one a line with\n"
        "the ID, the media (photo or video) and the title separated by tabs; as json,\n"
        "an array of objects with the columns flickrID, title, description, url_sq,\n"
        "tags, latitude, longitude and media (values as stored; null where the\n"
        "archive holds NULL); as csv, a header line of those columns, then one line\n"
        "a result. A statement that runs longer than --timeout SECONDS (five\n"
        "minutes unless given) is stopped, and so is one stopped with Ctrl+C. Exit\n"
        "status 1 when the statement fails or is stopped, or the saved search is\n"
        "unknown.",
        {accountOption(),
         {"quick", "TEXT", "Run the quick search for TEXT."},
         {"where", "TAIL", "Run the search's SELECT followed by TAIL."},
         {"saved", "NAME", "Run the saved search NAME."},
         {"removed", {}, "List the pictures Flickr no longer has."},
         {"near", "LAT,LON", "Keep the pictures near this point..."},
         {"within", "METRES", "...within this many metres of it.", &positiveNumber},
         {"format", "FORMAT", "text (the default), json or csv.", &formatCheck},
         {"timeout", "SECONDS", "Stop the statement after this many seconds (default 300).", &positiveNumber}},
        0,
        0,
        &run};
    return command;
}

} // namespace tessaly::cli
