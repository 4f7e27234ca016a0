#include "AppWindows.h"
#include "QtPlatform.h"
#include "TSAppDelegate.h"
#include "prefs/PreferencesStore.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace tessaly;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tessaly");
    QApplication::setApplicationDisplayName("Tessaly");
    QApplication::setApplicationVersion(TESSALY_VERSION);
    QApplication::setDesktopFileName("tessaly");

    QCommandLineParser parser;
    parser.setApplicationDescription("A local, searchable archive of your Flickr photostream.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("file", "An archive database to open.", "[file...]");
    parser.process(application);

    SettingsPreferencesStore store(SettingsPreferencesStore::defaultFilePath());
    QtPlatform platform;
    TSAppDelegate app(platform, store);
    AppWindows windows(app);

    app.applicationDidFinishLaunching();
    for (const QString& file : parser.positionalArguments())
        app.applicationOpenFile(file);

    return application.exec();
}
