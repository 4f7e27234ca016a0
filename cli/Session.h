#pragma once

#include "HeadlessPlatform.h"
#include "TSAppDelegate.h"
#include "prefs/PreferencesStore.h"

#include <functional>

namespace tessaly::cli {

class Console;
struct Invocation;

// The application as a command runs it: the controller on the user's own
// preferences (shared with the windows) and the headless platform. Its
// helpers print their own one-line errors and answer false on failure.
class Session {
public:
    explicit Session(Console& console);
    ~Session();

    TSAppDelegate& app() { return m_app; }
    TSControls& controls() { return m_app.controls(); }
    const TSAppState& state() const { return m_app.state(); }
    HeadlessPlatform& platform() { return m_platform; }
    Console& console() { return m_console; }

    // The call pace of --calls-per-hour, when given, for this run.
    void useCallsPerHour(const Invocation& invocation);
    // Start-up as the application's, except that the stored token is not
    // tested: commands that talk to Flickr connect when they need to.
    void launch();
    // Makes the --account of the command line current, when given, and
    // requires a current account.
    bool useAccount(const Invocation& invocation);
    // Requires the current account's archive to be open.
    bool requireArchive();
    // Requires pictures of these IDs in the archive; names every one missing.
    bool requirePictures(const QStringList& ids);
    // Lists the pictures as the results of a search, in this order, all
    // selected: the export and the editor work on the selected results.
    bool selectAsResults(const QStringList& ids);
    // Connects the current account with its stored token, as pressing the
    // connect button does, and waits for the token test and profile address.
    bool connectWithStoredToken();

    bool requestRunning() { return m_app.flickrRequest().isRunning(); }
    // Runs the event loop until the condition holds. The flows end by
    // themselves: every request and download has its own time-out.
    void waitUntil(const std::function<bool()>& done);
    // Runs what the controller has queued (alerts posted from callbacks).
    void settle();
    // The current account's position in the list, or -1.
    int currentIndex() const;
    bool holdsToken(int index) const;

private:
    Console& m_console;
    HeadlessPlatform m_platform;
    SettingsPreferencesStore m_store;
    TSAppDelegate m_app;
};

} // namespace tessaly::cli
