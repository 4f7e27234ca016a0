// Preferences: loading and saving the accounts and the current account.
#include "TSAppDelegate.h"

#include "PlatformServices.h"
#include "OFCallBudget.h"
#include "accounts/PathRules.h"
#include "search/SearchController.h"

namespace tessaly {

namespace {

// A list entry, or the fallback when the stored list is shorter.
QString entryOr(const QStringList& list, qsizetype index, const QString& fallback) {
    return index >= 0 && index < list.size() ? list[index] : fallback;
}

// A token list as long as the account list: stored entries first, "none" for
// any account the stored list does not reach.
QStringList tokensFor(const QStringList& stored, qsizetype accounts) {
    QStringList tokens = stored.mid(0, accounts);
    while (tokens.size() < accounts)
        tokens << kNoToken;
    return tokens;
}

} // namespace

void TSAppDelegate::getPrefs() {
    auto& c = *m_controls;
    auto& s = m_state;

    if (m_store.contains("dbPath")) {
        s.dbPath = m_store.value("dbPath").toString();
        s.realDbPath = m_store.value("realDbPath").toString();
    } else {
        s.dbPath.clear();
        s.realDbPath.clear();
    }

    if (m_store.contains("pixPath")) {
        s.pixPath = m_store.value("pixPath").toString();
        const QString location = paths::locationFromPath(s.pixPath);
        c.pixLocTextField->setStringValue(location);
        c.pixLocTextField->setToolTip(location);
    } else {
        s.pixPath.clear();
    }

    if (m_store.contains("webAddressArray"))
        s.webAddressArray = m_store.value("webAddressArray").toStringList();

    int currentIndex = -1;
    s.accountRows.clear();
    if (!m_store.contains("pixPathArray")) {
        s.pixPathArray.clear();
    } else {
        s.pixPathArray = m_store.value("pixPathArray").toStringList();
        for (qsizetype i = 0; i < s.pixPathArray.size(); ++i) {
            const QString& folder = s.pixPathArray[i];
            const QString webAddress = entryOr(s.webAddressArray, i, QString());
            s.currentWebAddress = webAddress;
            if (folder == s.pixPath)
                currentIndex = int(i); // the last match wins
            s.accountRows.append(AccountsRow(paths::accountNameFromPixFolder(folder),
                                             paths::locationFromPath(folder), webAddress));
        }
    }
    c.accountsTableView->reloadData();

    const qsizetype accounts = s.accountRows.size();
    s.authTokenArray = tokensFor(
        m_store.contains("authTokenArray") ? m_store.value("authTokenArray").toStringList()
                                           : s.authTokenArray,
        accounts);
    s.authTokenSecretArray =
        tokensFor(m_store.contains("authTokenSecretArray")
                      ? m_store.value("authTokenSecretArray").toStringList()
                      : s.authTokenSecretArray,
                  accounts);

    s.updatesState = m_store.contains("updatesState") ? m_store.value("updatesState").toInt() : 1;
    c.updatesCheck->setState(s.updatesState != 0 ? Button::On : Button::Off);
    // A pace no one could have chosen (a broken file) counts as none chosen.
    const double callsPerHour = m_store.value("callsPerHour").toDouble();
    applyCallBudget(OFCallBudget::isAllowedPace(callsPerHour) ? callsPerHour : 0);

    m_search->loadSavedSearches();

    if (currentIndex >= 0) {
        c.accountsTableView->selectRow(currentIndex);
        s.currentAccountName = s.accountRows[currentIndex].accountName();
        s.currentWebAddress = s.accountRows[currentIndex].accountUrl();
        _flickrContext->setOAuthToken(s.authTokenArray[currentIndex]);
        _flickrContext->setOAuthTokenSecret(s.authTokenSecretArray[currentIndex]);
        // A connection already tested stays as it is.
        if (m_testsTokenOnLoad && s.authTokenArray[currentIndex] != kNoToken &&
            s.connectionState != 1)
            checkConnection();
    }
}

void TSAppDelegate::savePreferences() {
    auto& c = *m_controls;
    auto& s = m_state;

    s.updatesState = c.updatesCheck->state() == Button::On ? 1 : 0;

    const QString previousAccount = s.currentAccountName;
    const QString previousDatabase = s.dbPath;
    const QString previousPictures = s.pixPath;
    if (!s.accountRows.isEmpty()) {
        const int row = c.accountsTableView->selectedRow();
        // With no row selected the current account stays as it is.
        if (row >= 0 && row < s.accountRows.size()) {
            const AccountsRow& account = s.accountRows[row];
            s.currentAccountName = account.accountName();
            s.currentWebAddress = account.accountUrl();
            s.pixPath = paths::pixFolder(account.accountLoc(), account.accountName());
            s.dbPath = paths::databaseFile(account.accountLoc(), account.accountName());
            s.realDbPath = s.dbPath;
        }
    } else {
        // No account is left to be current.
        s.currentAccountName.clear();
        s.currentWebAddress.clear();
        s.pixPath.clear();
        s.dbPath.clear();
        s.realDbPath.clear();
    }
    if (s.currentAccountName != previousAccount)
        currentAccountDidChange();
    else if (s.dbPath != previousDatabase || s.pixPath != previousPictures)
        currentArchiveDidChange();
    if (!s.accountRows.isEmpty() && !s.dbPath.isEmpty())
        setDatabase();

    s.pixPathArray.clear();
    s.webAddressArray.clear();
    for (const AccountsRow& account : std::as_const(s.accountRows)) {
        s.pixPathArray << paths::pixFolder(account.accountLoc(), account.accountName());
        s.webAddressArray << account.accountUrl();
    }

    m_defaults.setValue("dbPath", s.dbPath);
    m_defaults.setValue("realDbPath", s.realDbPath);
    m_defaults.setValue("pixPath", s.pixPath);
    m_defaults.setValue("pixPathArray", s.pixPathArray);
    m_defaults.setValue("webAddressArray", s.webAddressArray);
    m_defaults.setValue("authTokenArray", s.authTokenArray);
    m_defaults.setValue("authTokenSecretArray", s.authTokenSecretArray);
    m_defaults.setValue("updatesState", s.updatesState);
    m_defaults.save();

    revalidateMenuItems();
    if (s.connectionState == 0)
        setNotConnectedButtons();
}

void TSAppDelegate::applyCallBudget(double callsPerHour) {
    // Unset: Flickr's own pace for its hosts, none for a stand-in service.
    const bool standIn = !qEnvironmentVariableIsEmpty("TESSALY_FLICKR_ENDPOINT");
    const double pace = m_callsPerHourOverride > 0 ? m_callsPerHourOverride
                        : callsPerHour > 0         ? callsPerHour
                        : standIn                  ? 0
                                                   : OFCallBudget::kFlickrCallsPerHour;
    OFCallBudget::shared().setCallsPerHour(pace);
    m_controls->callBudgetTextField->setStringValue(callsPerHour > 0 ? QString::number(callsPerHour)
                                                                      : QString());
}

void TSAppDelegate::savePrefButton() {
    const QString previousAccount = m_state.currentAccountName;
    const QString pace = m_controls->callBudgetTextField->stringValue().trimmed();
    bool number = false;
    const double callsPerHour = pace.toDouble(&number);
    if (!pace.isEmpty() && !(number && OFCallBudget::isAllowedPace(callsPerHour))) {
        m_platform.alert({}, QString("Flickr calls per hour must be a number from 1 to 100,000 (or nothing, "
                                     "for Flickr's own pace); %1 is not.")
                                 .arg(pace));
        return;
    }
    m_store.setValue("callsPerHour", callsPerHour > 0 ? callsPerHour : 0.0);
    applyCallBudget(callsPerHour);
    savePreferences();
    if (m_state.currentAccountName != previousAccount)
        testConnectionIfTokenHeld();
    m_controls->prefPanel->close();
    m_platform.alert({}, "The Preferences have been saved.");
    setFilenum();
}

void TSAppDelegate::doPrefPanel() { m_controls->prefPanel->makeKeyAndOrderFront(); }

void TSAppDelegate::setDatabase() {
    openDatabase(m_state.dbPath);
    setFilenum();
    setDBnum();
    m_state.tagsMenuFilled = false;
    m_state.makeMenuFilled = false;
    m_state.modelMenuFilled = false;
}

} // namespace tessaly
