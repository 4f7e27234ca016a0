#include "AppWindows.h"
#include "DemoProfile.h"
#include "LaunchArguments.h"
#include "QtPlatform.h"
#include "ScreenshotTour.h"
#include "SchemeRegistration.h"
#include "SingleInstance.h"
#include "TSAppDelegate.h"
#include "prefs/PreferencesStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <memory>

using namespace tessaly;

namespace {

// Files become absolute paths, since the running instance may have another
// working folder.
QStringList messagesFor(const QStringList& arguments) {
    QStringList messages;
    for (const QString& argument : arguments)
        messages << launchMessageFor(argument);
    return messages;
}

void deliver(TSAppDelegate& app, const QString& message) {
    if (isCallbackMessage(message))
        app.handleIncomingURL(message);
    else
        app.applicationOpenFile(launchMessageFor(message));
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tessaly");
    QApplication::setApplicationDisplayName("Tessaly");
    QApplication::setApplicationVersion(TESSALY_VERSION);
    QApplication::setDesktopFileName("tessaly");
    QApplication::setWindowIcon(QIcon(":/images/tessaly.png"));
    // Quitting is the controller's decision (the quit item and the main
    // window's close button), not a side effect of a window going away.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription("A local, searchable archive of your Flickr photostream.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demoOption(
        "demo", "Run on the demo profile against a built-in stand-in for Flickr.");
    parser.addOption(demoOption);
    const QCommandLineOption screenshotsOption(
        "screenshots",
        "Walk through the windows on the demo profile, write a picture of each into <folder>, and quit.",
        "folder");
    parser.addOption(screenshotsOption);
    parser.addPositionalArgument("file", "An archive to open, or a tessaly:// callback address.",
                                 "[file...]");
    parser.process(application);
    const QString screenshots = parser.value(screenshotsOption);
    const bool demo = parser.isSet(demoOption) || !screenshots.isEmpty();
    const QStringList messages = messagesFor(parser.positionalArguments());

    // A running Tessaly takes the arguments; this launch ends there.
    SingleInstance instance(SingleInstance::socketPath(demo ? "demo" : "main"));
    if (SingleInstance::forwardToRunningInstance(instance.name(), messages))
        return 0;
    if (!instance.listen()) {
        std::fprintf(stderr, "Tessaly is already running and did not answer.\n");
        return 1;
    }

    QtPlatform desktop;
    std::unique_ptr<DemoProfile> demoProfile;
    std::unique_ptr<DemoPlatform> demoPlatform;
    TSAppDelegate* appPointer = nullptr;
    if (demo) {
        demoProfile = std::make_unique<DemoProfile>();
        QString error;
        // The tour needs a photostream that downloads in moments.
        if (!demoProfile->start(&error, screenshots.isEmpty() ? DemoProfile::kPhotos : 60)) {
            QMessageBox::critical(nullptr, "Tessaly Demo", error);
            return 1;
        }
        demoPlatform = std::make_unique<DemoPlatform>(desktop, demoProfile->endpoint(),
                                                      [&appPointer](const QString& url) {
                                                          if (appPointer)
                                                              appPointer->handleIncomingURL(url);
                                                      });
    } else {
        QString error;
        if (!registerURLScheme(QApplication::applicationFilePath(), {}, &error))
            std::fprintf(stderr, "%s\n", qPrintable(error));
    }
    PlatformServices& platform = demoPlatform ? static_cast<PlatformServices&>(*demoPlatform) : desktop;

    SettingsPreferencesStore store(demo ? DemoProfile::preferencesFile()
                                        : SettingsPreferencesStore::defaultFilePath());
    if (demo)
        DemoProfile::forgetTokens(store);
    TSAppDelegate app(platform, store);
    appPointer = &app;
    AppWindows windows(app);
    QObject::connect(&instance, &SingleInstance::messageReceived, &app, [&](const QString& message) {
        // A message may open another archive: not while a search runs on this one.
        app.database().whenFree(&app, [&app, message] {
            app.controls().window->orderFront();
            deliver(app, message);
        });
    });

    app.applicationDidFinishLaunching();
    if (demoProfile)
        DemoProfile::ensureDemoAccount(app);
    for (const QString& message : messages)
        deliver(app, message);
    ScreenshotTour tour(app, windows, screenshots);
    if (!screenshots.isEmpty()) {
        QObject::connect(&tour, &ScreenshotTour::finished, &application, &QCoreApplication::exit);
        tour.start();
    }

    const int status = application.exec();
    appPointer = nullptr;
    return status;
}
