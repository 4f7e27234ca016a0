// Account management: creating, choosing, deleting and moving accounts.
#include "TSAppDelegate.h"

#include "PlatformServices.h"
#include "accounts/FileMoves.h"
#include "accounts/PathRules.h"

#include <QDir>
#include <QFileInfo>

namespace tessaly {

namespace {
const QString kNewAccountItem = QStringLiteral("New Flickr Account");
} // namespace

void TSAppDelegate::newAccount() {
    auto& c = *m_controls;
    c.prefPanel->makeKeyAndOrderFront();
    const QString base = paths::baseFolder(m_state.homeFolder);
    c.pixLocTextField->setStringValue(base);
    c.pixLocTextField->setToolTip(base);
    QDir().mkpath(base);
    addAccount();
}

void TSAppDelegate::addAccount() { m_controls->addAccountSheet->beginSheet(m_controls->prefPanel); }

// Asks for one folder (new folders allowed); empty when cancelled.
QString TSAppDelegate::chooseFolder(const QString& message, const QString& directory) {
    OpenPanelRequest panel;
    panel.canCreateDirectories = true;
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    panel.allowsMultipleSelection = false;
    panel.prompt = "Choose:";
    panel.message = message;
    panel.directory = directory;
    return m_platform.runOpenPanel(panel).value(0);
}

void TSAppDelegate::choosePixPath() {
    const QString folder =
        chooseFolder("Choose Location for Picture Data", m_controls->pixLocTextField->stringValue());
    if (folder.isEmpty())
        return;
    m_controls->pixLocTextField->setStringValue(folder);
    m_controls->pixLocTextField->setToolTip(folder);
}

void TSAppDelegate::savePixPath() {
    auto& c = *m_controls;
    auto& s = m_state;
    const QString location = c.pixLocTextField->stringValue();
    const QString name = c.addAcctNameTextField->stringValue();
    if (location.isEmpty() || name.isEmpty())
        return;
    // The name becomes a file name beside the location; it must stay one.
    if (!paths::isValidAccountName(name)) {
        m_platform.criticalAlert(
            "Invalid Account Name",
            QString("\"%1\" cannot be used as an account name. A name may not contain \"/\", "
                    "and may not be \".\" or \"..\".")
                .arg(name));
        return;
    }
    s.currentAccountName = name;
    s.pixPath = location;

    // An account of the same name is replaced; it keeps its web address.
    QString webAddress;
    if (const int existing = s.indexOfAccount(name); existing >= 0) {
        webAddress = s.accountRows[existing].accountUrl();
        removeAccountAt(existing);
    }
    s.accountRows.append(AccountsRow(name, location, webAddress));
    s.authTokenArray << kNoToken;
    s.authTokenSecretArray << kNoToken;

    setConnectionState(0);
    c.accountsTableView->reloadData();
    for (qsizetype i = 0; i < s.accountRows.size(); ++i) {
        if (s.accountRows[i].accountName() == s.currentAccountName) {
            c.accountsTableView->selectRow(int(i));
            _flickrContext->setOAuthToken(s.authTokenArray[i]);
            _flickrContext->setOAuthTokenSecret(s.authTokenSecretArray[i]);
        }
    }
    c.listDbsButton->setHidden(false);
    c.listDbsButton2->setHidden(false);
    s.pixPath += QStringLiteral("/%1_pix").arg(name);

    cancelPixPath();
    doPixPathArray();
    doListDbsButtons();
    setFilenum();
    setDBnum();
    setAcctnum();
}

void TSAppDelegate::cancelPixPath() { m_controls->addAccountSheet->endSheet(); }

void TSAppDelegate::doPixPathArray() {
    auto& s = m_state;
    for (qsizetype i = 0; i < s.pixPathArray.size(); ++i) {
        if (paths::pixFolderBelongsTo(s.pixPathArray[i], s.currentAccountName)) {
            s.pixPathArray.removeAt(i);
            break;
        }
    }
    s.pixPathArray << s.pixPath;
    savePreferences();
    getPrefs();
}

void TSAppDelegate::doListDbsButtons() {
    auto& c = *m_controls;
    const auto fill = [this](PopUpButton* popUp) {
        popUp->removeAllItems();
        popUp->addItemWithTitle(kNewAccountItem, [this] { newAccount(); });
        for (const QString& folder : std::as_const(m_state.pixPathArray))
            popUp->addItemWithTitle(paths::accountNameFromPixFolder(folder));
    };
    fill(c.listDbsButton);
    fill(c.listDbsButton2);

    const int row = c.accountsTableView->selectedRow();
    if (m_state.accountRows.isEmpty() || row < 0 || row >= m_state.accountRows.size())
        return;
    const QString name = m_state.accountRows[row].accountName();
    for (int i = 0; i < c.listDbsButton->numberOfItems(); ++i) {
        if (paths::lastPathComponent(c.listDbsButton->itemTitleAtIndex(i)) == name) {
            c.listDbsButton->selectItemAtIndex(i);
            c.listDbsButton2->selectItemAtIndex(i);
            break;
        }
    }
}

void TSAppDelegate::chooseDatabase() { chooseDatabaseFrom(m_controls->listDbsButton, m_controls->listDbsButton2); }

void TSAppDelegate::chooseDatabase2() { chooseDatabaseFrom(m_controls->listDbsButton2, m_controls->listDbsButton); }

void TSAppDelegate::chooseDatabaseFrom(PopUpButton* chosen, PopUpButton* other) {
    auto& s = m_state;
    const QString title = chosen->titleOfSelectedItem();
    const QString name = paths::lastPathComponent(title);
    if (name == s.currentAccountName)
        return;
    const int index = s.indexOfAccount(name);
    if (index < 0)
        return; // no such account: nothing to switch to

    setConnectionState(0);
    m_controls->accountsTableView->selectRow(index);
    _flickrContext->setOAuthToken(s.authTokenArray.value(index, kNoToken));
    _flickrContext->setOAuthTokenSecret(s.authTokenSecretArray.value(index, kNoToken));
    savePreferences();
    other->selectItemWithTitle(title);
    if (s.authTokenArray.value(index, kNoToken) != kNoToken)
        checkConnection();
}

void TSAppDelegate::removeAccountAt(qsizetype index) {
    auto& s = m_state;
    s.accountRows.removeAt(index);
    if (index < s.authTokenArray.size())
        s.authTokenArray.removeAt(index);
    if (index < s.authTokenSecretArray.size())
        s.authTokenSecretArray.removeAt(index);
}

void TSAppDelegate::deleteAccount() {
    auto& c = *m_controls;
    const int row = c.accountsTableView->selectedRow();
    if (row < 0 || row >= m_state.accountRows.size())
        return;
    const QString name = m_state.accountRows[row].accountName();
    const int answer = m_platform.runAlert(
        {"Delete Account",
         QString("Do you wish to delete the %1 account? This can't be undone.").arg(name),
         {"Delete", "Cancel"},
         AlertStyle::Informational});
    if (answer != AlertFirstButton)
        return;
    const QString previousAccount = m_state.currentAccountName;
    removeAccountAt(row);
    c.accountsTableView->reloadData();
    // The row that took the deleted one's place (or the new last row) becomes current.
    if (!m_state.accountRows.isEmpty())
        c.accountsTableView->selectRow(qMin(row, int(m_state.accountRows.size()) - 1));
    setAcctnum();
    savePreferences();
    doListDbsButtons();
    if (m_state.currentAccountName != previousAccount)
        testConnectionIfTokenHeld();
}

void TSAppDelegate::moveAccount() {
    auto& c = *m_controls;
    auto& s = m_state;
    const int row = c.accountsTableView->selectedRow();
    if (row < 0 || row >= s.accountRows.size())
        return;
    const AccountsRow account = s.accountRows[row];
    const QString name = account.accountName();
    if (m_platform.runAlert({"Move Account Data",
                             QString("Do you wish to move the %1 account data to a new location?").arg(name),
                             {"Yes", "Cancel"},
                             AlertStyle::Informational}) != AlertFirstButton)
        return;

    const QString chosen =
        chooseFolder(QString("Choose New Location for %1 Picture Data").arg(name), account.accountLoc());
    if (chosen.isEmpty())
        return;
    const QString folder = QDir::cleanPath(chosen);

    const QString oldDb = paths::databaseFile(account.accountLoc(), name);
    const QString newDb = paths::databaseFile(folder, name);
    const QString oldPix = paths::pixFolder(account.accountLoc(), name);
    const QString newPix = paths::pixFolder(folder, name);
    const bool sameFolder = QFileInfo(folder) == QFileInfo(account.accountLoc());
    QString error;
    bool dbMoved = false;
    if (!sameFolder && QFileInfo::exists(oldDb)) {
        if (!files::moveItem(oldDb, newDb, &error)) {
            m_platform.criticalAlert("Move Failed",
                                     QString("The %1 account data could not be moved. %2").arg(name, error));
            return;
        }
        dbMoved = true;
    }
    if (!sameFolder && QFileInfo::exists(oldPix) && !files::moveItem(oldPix, newPix, &error)) {
        QString ignored;
        if (dbMoved)
            files::moveItem(newDb, oldDb, &ignored);
        m_platform.criticalAlert("Move Failed",
                                 QString("The %1 pictures could not be moved. %2").arg(name, error));
        return;
    }

    // The account goes to the end of the list with its address and tokens,
    // and stays current if it was.
    const QString token = s.authTokenArray.value(row, kNoToken);
    const QString secret = s.authTokenSecretArray.value(row, kNoToken);
    removeAccountAt(row);
    s.accountRows.append(AccountsRow(name, folder, account.accountUrl()));
    s.authTokenArray << token;
    s.authTokenSecretArray << secret;
    c.accountsTableView->reloadData();
    c.accountsTableView->selectRow(int(s.accountRows.size()) - 1);
    savePreferences();
    doListDbsButtons();
}

void TSAppDelegate::noAcctOk() {
    m_controls->noAcctSheet->endSheet();
    doPrefPanel();
}

void TSAppDelegate::setPixPath() {
    auto& c = *m_controls;
    auto& s = m_state;
    if (!paths::pixFolderBelongsTo(s.pixPath, s.currentAccountName)) {
        s.pixPath.clear();
        for (const QString& folder : std::as_const(s.pixPathArray)) {
            if (paths::pixFolderBelongsTo(folder, s.currentAccountName)) {
                s.pixPath = folder;
                break;
            }
        }
        s.dbPath = s.pixPath.isEmpty()
                       ? QString()
                       : paths::databaseFile(paths::locationFromPath(s.pixPath), s.currentAccountName);
        s.realDbPath = s.dbPath;
    }
    if (!s.pixPath.isEmpty()) {
        const QString location = paths::locationFromPath(s.pixPath);
        c.pixLocTextField->setStringValue(location);
        c.pixLocTextField->setToolTip(location);
        return;
    }
    const QString base = paths::baseFolder(s.homeFolder);
    QDir().mkpath(base);
    c.pixLocTextField->setStringValue(base);
    c.pixLocTextField->setToolTip(base);
    s.pixPath = paths::pixFolder(base, s.currentAccountName);
    s.dbPath = paths::databaseFile(base, s.currentAccountName);
    s.realDbPath = s.dbPath;
}

} // namespace tessaly
