#pragma once

#include "QtGTest.h"
#include "ScriptedPlatform.h"
#include "TSAppDelegate.h"
#include "prefs/PreferencesStore.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {

// A controller on a scripted platform and a real preferences file in a
// temporary folder. Preferences can be written before the controller starts.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        prefsFile = dir.filePath("prefs/Tessaly.conf");
        store = std::make_unique<SettingsPreferencesStore>(prefsFile);
    }

    // Makes the controller (and its start-up when asked).
    TSAppDelegate& makeApp(bool launch = true) {
        app = std::make_unique<TSAppDelegate>(platform, *store);
        if (launch)
            app->applicationDidFinishLaunching();
        return *app;
    }

    // Drops the controller and reopens the preferences file from disk, as the
    // next start of the application would.
    void restart() {
        app.reset();
        store = std::make_unique<SettingsPreferencesStore>(prefsFile);
    }

    // One account whose picture folder is `pixFolder` (made here), then the
    // controller started on it.
    void startWithAccount(const QString& pixFolder, const QStringList& webAddresses = {}) {
        storeAccountAt(pixFolder, webAddresses);
        makeApp();
    }

    QString path(const QString& relative) const { return dir.filePath(relative); }

    // An account added earlier, current, with its picture folder made under
    // loc/; the preferences are reopened as at a new start. Answers the folder.
    QString storeAccount(const QString& name) {
        const QString pix = path("loc/" + name + "_pix");
        storeAccountAt(pix);
        return pix;
    }
    void storeAccountAt(const QString& pixFolder, const QStringList& webAddresses = {}) {
        QDir().mkpath(pixFolder);
        store->setValue("pixPath", pixFolder);
        store->setValue("pixPathArray", QStringList{pixFolder});
        if (!webAddresses.isEmpty())
            store->setValue("webAddressArray", webAddresses);
        store->synchronize();
        restart();
    }

    QTemporaryDir dir;
    QString prefsFile;
    ScriptedPlatform platform;
    std::unique_ptr<SettingsPreferencesStore> store;
    std::unique_ptr<TSAppDelegate> app;
};

} // namespace tessaly::test
