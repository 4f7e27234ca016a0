#include "Session.h"

#include "Command.h"
#include "Console.h"
#include "archive/SqlText.h"
#include "search/SearchController.h"
#include "search/SearchSql.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace tessaly::cli {

Session::Session(Console& console)
    : m_console(console), m_platform(console), m_store(SettingsPreferencesStore::defaultFilePath()),
      m_app(m_platform, m_store) {}

Session::~Session() {
    settle();
}

void Session::useCallsPerHour(const Invocation& invocation) {
    if (invocation.has("calls-per-hour"))
        m_app.setCallsPerHourOverride(invocation.value("calls-per-hour").toDouble());
}

void Session::launch() {
    m_app.setTestsTokenOnLoad(false);
    m_app.applicationDidFinishLaunching();
    settle();
}

int Session::currentIndex() const {
    return state().indexOfAccount(state().currentAccountName);
}

bool Session::holdsToken(int index) const {
    return index >= 0 && state().authTokenArray.value(index, kNoToken) != kNoToken;
}

bool Session::useAccount(const Invocation& invocation) {
    if (state().accountRows.isEmpty()) {
        m_console.error("there is no account yet; add one with: tessaly-cli add-account NAME");
        return false;
    }
    if (invocation.has("account")) {
        const QString name = invocation.value("account");
        PopUpButton* popUp = controls().listDbsButton;
        // The first item starts a new account; the accounts follow it.
        int item = -1;
        for (int i = 1; i < popUp->numberOfItems() && item < 0; ++i)
            if (popUp->itemTitleAtIndex(i) == name)
                item = i;
        if (item < 0) {
            m_console.error(
                QString("there is no account named %1 (see tessaly-cli accounts)").arg(name));
            return false;
        }
        popUp->pickItem(item);
        settle();
        if (state().currentAccountName != name) {
            m_console.error(QString("the account %1 could not be made current").arg(name));
            return false;
        }
    }
    if (currentIndex() < 0) {
        m_console.error("no account is current; choose one with --account NAME");
        return false;
    }
    return true;
}

bool Session::requireArchive() {
    if (m_app.database().isOpen() && m_app.database().path() == state().dbPath)
        return true;
    m_console.error(QString("the archive %1 cannot be opened").arg(state().dbPath));
    return false;
}

bool Session::requirePictures(const QStringList& ids) {
    QStringList missing;
    for (const QString& id : ids) {
        bool found = false;
        const SqlResult result =
            m_app.database().run("SELECT 1 FROM photos WHERE flickrID=?", {id}, [&](const SqlRow&) {
                found = true;
                return 0;
            });
        if (!result.ok()) {
            m_console.error(
                QString("the archive %1 cannot be read: %2").arg(state().dbPath, result.message));
            return false;
        }
        if (!found)
            missing << id;
    }
    if (missing.isEmpty())
        return true;
    m_console.error(QString("the archive of %1 holds no picture %2")
                        .arg(state().currentAccountName, missing.join(QStringLiteral(", "))));
    return false;
}

bool Session::selectAsResults(const QStringList& ids) {
    QStringList literals, order;
    for (int i = 0; i < ids.size(); ++i) {
        literals << sqltext::quoted(ids[i]);
        order << QString("WHEN %1 THEN %2").arg(literals.last()).arg(i);
    }
    const QString sql = search::kBaseSelect + "WHERE flickrID IN (" + literals.join(',') +
                        ") ORDER BY CASE flickrID " + order.join(' ') + " END";
    if (!m_app.search().runStatement(sql, {}) || state().resultIDs.size() != ids.size())
        return false;
    QList<int> rows;
    for (int i = 0; i < ids.size(); ++i)
        rows << i;
    controls().resultsTableView->selectRowIndexes(rows);
    return true;
}

bool Session::connectWithStoredToken() {
    const QString name = state().currentAccountName;
    if (!holdsToken(currentIndex())) {
        m_console.error(QString("the account %1 is not connected to Flickr; connect it with: "
                                "tessaly-cli connect --account %1")
                            .arg(name));
        return false;
    }
    // Choosing the account may have started its token test already; a
    // failed one is not tried twice.
    const bool tested = requestRunning();
    waitUntil([this] { return !requestRunning(); });
    if (state().connectionState != 1 && !tested) {
        controls().oauthAuthButton->performClick();
        waitUntil([this] { return !requestRunning(); });
    }
    settle();
    if (state().connectionState == 1)
        return true;
    m_console.error(QString("the account %1 could not connect to Flickr").arg(name));
    return false;
}

void Session::waitUntil(const std::function<bool()>& done) {
    if (done())
        return;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    loop.exec();
}

void Session::settle() {
    // Twice: an alert posted by a handler that ran in the first round.
    for (int round = 0; round < 2; ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace tessaly::cli
