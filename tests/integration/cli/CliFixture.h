#pragma once

#include "Server.h"
#include "Wait.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {

// What one run of tessaly-cli left.
struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
    QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
    QStringList errLines() const { return err.split('\n', Qt::SkipEmptyParts); }
};

// tessaly-cli run as a user would: a process of its own, in a home folder of
// the test's own, without a display, against the stand-in Flickr service.
class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        for (const char* sub : {".config", ".local/share", ".cache", "runtime", "bin"})
            QDir(home.path()).mkpath(QString::fromLatin1(sub));
        QFile::setPermissions(path("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", path(".config"));
        env.insert("XDG_DATA_HOME", path(".local/share"));
        env.insert("XDG_CACHE_HOME", path(".cache"));
        env.insert("XDG_RUNTIME_DIR", path("runtime"));
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("TESSALY_FLICKR_ENDPOINT", "http://127.0.0.1:9");
    }

    void startService(fakeflickr::Options options, const QString& user = "anna") {
        options.userName = user;
        service = std::make_unique<fakeflickr::Server>(options);
        ASSERT_TRUE(service->listen());
        env.insert("TESSALY_FLICKR_ENDPOINT", service->baseUrl());
    }

    std::unique_ptr<QProcess> start(const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(TESSALY_CLI_BIN), arguments);
        EXPECT_TRUE(process->waitForStarted(10000));
        return process;
    }

    // Waits with a running event loop, so the stand-in in this process serves.
    static CliResult finish(QProcess& process, int ms = 60000) {
        EXPECT_TRUE(waitFor([&] { return process.state() == QProcess::NotRunning; }, ms));
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
        CliResult result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    CliResult run(const QStringList& arguments, const QByteArray& input = {}, int ms = 60000) {
        const auto process = start(arguments);
        process->write(input);
        process->closeWriteChannel();
        return finish(*process, ms);
    }

    // The stand-in's authorize page approves at once and redirects to the
    // callback address, as the browser would show it.
    static QString followAuthorizePage(const QString& address) {
        QNetworkAccessManager network;
        QNetworkRequest request{QUrl(address)};
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        std::unique_ptr<QNetworkReply> reply(network.get(request));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        if (!finished.wait(10000))
            return {};
        return QString::fromUtf8(reply->rawHeader("Location"));
    }

    // Connects with the callback address pasted on standard input.
    CliResult connectPasting(const QStringList& arguments = {}) {
        const auto process = start(QStringList{"connect"} + arguments);
        if (!waitFor(
                [&] { return process->canReadLine() || process->state() == QProcess::NotRunning; }))
            return finish(*process);
        const QString address = QString::fromUtf8(process->readLine()).trimmed();
        process->write(followAuthorizePage(address).toUtf8() + "\n");
        CliResult result = finish(*process);
        result.out.prepend(address + "\n");
        return result;
    }

    // An account added and connected as a user does it.
    void addAndConnect(const QString& name, const QString& location) {
        ASSERT_EQ(run({"add-account", name, "--location", location}).exitCode, 0);
        const CliResult connected = connectPasting();
        ASSERT_EQ(connected.exitCode, 0) << connected.err.toStdString();
    }

    // The stand-in's stream, the account anna in loc/ connected to it, and a
    // first download with these options.
    void startSynced(const fakeflickr::Options& options, const QStringList& syncOptions = {}) {
        startService(options);
        addAndConnect("anna", path("loc"));
        const CliResult synced = run(QStringList{"sync"} + syncOptions);
        ASSERT_EQ(synced.exitCode, 0) << synced.err.toStdString();
    }
    QString archivePath() const { return path("loc/anna_db"); }
    QString idAt(int index) const { return service->photostream().photoAt(index).idText(); }

    QString path(const QString& relative) const { return home.filePath(relative); }
    QString prefsFile() const { return path(".config/Tessaly/Tessaly.conf"); }
    QVariant storedPreference(const QString& key) const {
        return QSettings(prefsFile(), QSettings::IniFormat).value(key);
    }
    int calls(const QString& method) const {
        int n = 0;
        for (const auto& call : service->calls())
            n += call.method == method ? 1 : 0;
        return n;
    }

    QTemporaryDir home;
    QProcessEnvironment env;
    std::unique_ptr<fakeflickr::Server> service;
};

} // namespace tessaly::test
