#pragma once

#include "AppFixture.h"
#include "Wait.h"
#include "Server.h"
#include "sync/SyncController.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <functional>

namespace tessaly::test {

// A controller connected to the stand-in Flickr service as the account
// "anna", in a picture location of the test's own.
class ServiceFixture : public AppFixture {
protected:
    void startService(fakeflickr::Options options) {
        options.userName = "anna";
        service = std::make_unique<fakeflickr::Server>(options);
        ASSERT_TRUE(service->listen());
        qputenv("TESSALY_FLICKR_ENDPOINT", service->baseUrl().toUtf8());
    }

    // Stores the account with a token, starts Tessaly and waits until the
    // token test and the profile address are done.
    void connectAccount() {
        const auto token = service->issueAccessToken("write");
        QDir().mkpath(path("loc"));
        store->setValue("pixPath", pixFolder());
        store->setValue("pixPathArray", QStringList{pixFolder()});
        store->setValue("authTokenArray", QStringList{token.token});
        store->setValue("authTokenSecretArray", QStringList{token.secret});
        store->synchronize();
        restart();
        makeApp();
        ASSERT_TRUE(waitUntil([&] {
            return app->state().connectionState == 1 && !app->flickrRequest().isRunning();
        }));
    }

    QString pixFolder() const { return path("loc") + "/anna_pix"; }
    QString logFile() const { return path("loc") + "/anna_errorlog"; }
    // The error log as the last download left it.
    QString log() const {
        QFile file(logFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // How many calls of this method the service has had.
    int calls(const QString& method) const {
        int n = 0;
        for (const auto& call : service->calls())
            n += call.method == method ? 1 : 0;
        return n;
    }

    bool waitUntil(const std::function<bool()>& done, int ms = 500000) { return waitFor(done, ms); }
    sync::SyncController& flows() { return app->sync(); }
    bool finished() { return flows().phase() == sync::Phase::Finished; }
    bool idle() { return flows().phase() == sync::Phase::Idle; }

    // The information download as the user runs it; answers whether it ended.
    bool downloadInformation(bool perms, bool exif) {
        auto& c = app->controls();
        c.downloadButton->performClick();
        if (!waitUntil([&] { return c.permsOptionSheet->isVisible() || idle(); }) || idle())
            return false;
        c.permsCheck->setState(perms ? Button::On : Button::Off);
        c.exifCheck->setState(exif ? Button::On : Button::Off);
        c.permsOkButton->performClick();
        return waitUntil([&] { return finished() || idle(); });
    }
    bool downloadFiles() {
        auto& c = app->controls();
        c.downloadFilesButton->performClick();
        if (!waitUntil([&] { return c.countSheet->isVisible() || idle(); }) || idle())
            return false;
        c.countOkButton->performClick();
        return waitUntil([&] { return finished() || idle(); });
    }
    // The finish sheet's OK.
    void dismissFinish() {
        auto& c = app->controls();
        (c.doneDownloadingSheet->isVisible() ? c.doneDownloadingButton : c.doneDownloadingButton2)
            ->performClick();
    }

    std::unique_ptr<fakeflickr::Server> service;
};

} // namespace tessaly::test
