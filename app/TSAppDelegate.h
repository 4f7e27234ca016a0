#pragma once

#include "TSAppState.h"
#include "TSControls.h"
#include "archive/ArchiveDatabase.h"
#include "prefs/PreferencesStore.h"

#include <QObject>

namespace tessaly {

class PlatformServices;

// The application controller: owns the run-time state, the one archive
// connection and the control models, and carries every action. Its
// operations are grouped by area over several files.
class TSAppDelegate : public QObject, public TableDataSource {
    Q_OBJECT
public:
    TSAppDelegate(PlatformServices& platform, PreferencesStore& store, QObject* parent = nullptr);
    ~TSAppDelegate() override;

    TSControls& controls() { return *m_controls; }
    const TSAppState& state() const { return m_state; }
    ArchiveDatabase& database() { return m_database; }
    PlatformServices& platform() { return m_platform; }
    DefaultsController& defaults() { return m_defaults; }

    // Shell: start-up, desktop documents, menus, returning home, quitting.
    void applicationDidFinishLaunching();
    bool applicationShouldOpenUntitledFile() const { return false; }
    bool applicationOpenFile(const QString& path);
    void goHome();
    bool validateMenuItem(const MenuItem& item) const;
    void revalidateMenuItems();
    void quitTessaly();
    void doAbout();

    void setConnectionState(int state);
    void setResultsShown(bool shown);
    void setInfoDownloadRunning(bool running);
    void setViewerOpen(bool open);

    // Preferences and the current account.
    void getPrefs();
    void savePreferences();
    void savePrefButton();
    void doPrefPanel();
    void setDatabase();

    // The archive database.
    void openDatabase(const QString& path);
    void showSchema();

    // Account management and status figures (filled in as those land).
    void doListDbsButtons();
    void setFilenum();
    void setDBnum();
    void setAcctnum();

    // Authorization.
    void checkConnection();

    // Tables.
    int numberOfRowsInTableView(const TableView* table) const override;
    QVariant tableViewObjectValueForTableColumnRow(const TableView* table, const QString& column,
                                                   int row) const override;
    void tableViewSelectionDidChange(TableView* table) override;

private:
    void wireActions();
    void setNotConnectedButtons();

    PlatformServices& m_platform;
    PreferencesStore& m_store;
    DefaultsController m_defaults;
    TSControls* m_controls;
    TSAppState m_state;
    ArchiveDatabase m_database;
};

} // namespace tessaly
