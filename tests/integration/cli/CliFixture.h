#pragma once

#include "QtGTest.h"
#include "Server.h"
#include "Wait.h"
#include "archive/ArchiveDatabase.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tessaly::test {

// What one run of tessaly-cli left.
struct CliResult {
    int exitCode = -1;
    QString out, err;
    QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
    QStringList errLines() const { return err.split('\n', Qt::SkipEmptyParts); }
};

// tessaly-cli run as a user would: a process of its own, in a home folder of
// the test's own, without a display, against the stand-in Flickr service.
class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        env = QProcessEnvironment::systemEnvironment();
        // HOME (with bin/ made for a stand-in browser) and the XDG folders in it.
        for (const auto& [name, sub] : {std::pair{"HOME", "bin/.."}, {"XDG_CONFIG_HOME", ".config"},
                                        {"XDG_DATA_HOME", ".local/share"}, {"XDG_CACHE_HOME", ".cache"},
                                        {"XDG_RUNTIME_DIR", "runtime"}}) {
            QDir().mkpath(path(sub));
            env.insert(name, QDir::cleanPath(path(sub)));
        }
        QFile::setPermissions(path("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("TESSALY_FLICKR_ENDPOINT", "http://127.0.0.1:9");
    }

    // A stand-in photostream of this many pictures (and sets, or a count that suits them).
    static fakeflickr::Options stream(int photos, int sets = -1) {
        fakeflickr::Options options;
        options.photos = photos;
        options.sets = sets;
        return options;
    }
    void startService(fakeflickr::Options options, const QString& user = "anna") {
        options.userName = user;
        service = std::make_unique<fakeflickr::Server>(options);
        ASSERT_TRUE(service->listen());
        env.insert("TESSALY_FLICKR_ENDPOINT", service->baseUrl());
    }

    std::unique_ptr<QProcess> start(const QStringList& arguments, const QString& program = TESSALY_CLI_BIN) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->start(program, arguments);
        EXPECT_TRUE(process->waitForStarted(10000));
        return process;
    }
    // Waits with a running event loop, so the stand-in in this process serves.
    static CliResult finish(QProcess& process, int ms = 60000) {
        EXPECT_TRUE(waitFor([&] { return process.state() == QProcess::NotRunning; }, ms));
        process.kill(); // one that hangs
        process.waitForFinished(5000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }
    CliResult run(const QStringList& arguments, int ms = 60000) {
        const auto process = start(arguments);
        process->closeWriteChannel();
        return finish(*process, ms);
    }
    // A run that must end with this exit status; what it printed is shown when not.
    CliResult run(int status, const QStringList& arguments) {
        CliResult result = run(arguments);
        EXPECT_EQ(result.exitCode, status) << arguments.join(' ').toStdString() << "\n" << result.err.toStdString();
        return result;
    }

    // The stand-in's authorize page approves at once: it redirects to the callback
    // address, as the browser would show it, or shows the code to type.
    static QString authorize(const QString& address, bool code = false) {
        QNetworkAccessManager network;
        QNetworkRequest request{QUrl(address)};
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        std::unique_ptr<QNetworkReply> reply(network.get(request));
        EXPECT_TRUE(waitFor([&] { return reply->isFinished(); }, 10000));
        return code ? QString::fromUtf8(reply->readAll()) : QString(reply->rawHeader("Location"));
    }
    // Connects with the callback address pasted on standard input; the
    // authorize address shown comes first in out.
    CliResult connectPasting() {
        const auto process = start({"connect"});
        if (!waitFor([&] { return process->canReadLine() || process->state() == QProcess::NotRunning; }))
            return finish(*process);
        const QString address = QString::fromUtf8(process->readLine()).trimmed();
        process->write(authorize(address).toUtf8() + "\n");
        CliResult result = finish(*process);
        result.out.prepend(address + "\n");
        return result;
    }

    // The stand-in's stream and the account anna in loc/ connected to it, as a user does it.
    void startConnected(const fakeflickr::Options& options) {
        startService(options);
        run(0, {"add-account", "anna", "--location", path("loc")});
        EXPECT_EQ(connectPasting().exitCode, 0);
    }
    QString pix(const QString& name = {}) const { return path("loc/anna_pix/") + name; }
    QString idAt(int index) const { return service->photostream().photoAt(index).idText(); }

    // anna's archive (or another) read and changed as any SQLite client would.
    QList<SqlRow> sql(const QString& statement, const QVariantList& parameters = {}, const QString& db = {}) const {
        ArchiveDatabase archive;
        EXPECT_TRUE(archive.open(db.isEmpty() ? path("loc/anna_db") : db).ok());
        QList<SqlRow> found;
        const SqlResult result = archive.run(statement, parameters, [&](const SqlRow& row) { return found << row, 0; });
        EXPECT_TRUE(result.ok()) << result.message.toStdString();
        return found;
    }
    QStringList column(const QString& statement, const QVariantList& parameters = {}, const QString& db = {}) const {
        QStringList values;
        for (const SqlRow& row : sql(statement, parameters, db))
            values << row.value(0);
        return values;
    }

    QString path(const QString& relative) const { return home.filePath(relative); }
    QString prefsFile() const { return path(".config/Tessaly/Tessaly.conf"); }
    QVariant storedPreference(const QString& key) const {
        return QSettings(prefsFile(), QSettings::IniFormat).value(key);
    }
    int calls(const QString& method) const {
        const auto log = service->calls();
        return int(std::count_if(log.begin(), log.end(), [&](const auto& call) { return call.method == method; }));
    }
    static void write(const QString& file, const QByteArray& content) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
        f.write(content);
    }
    static QByteArray bytes(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir home;
    QProcessEnvironment env;
    std::unique_ptr<fakeflickr::Server> service;
};

} // namespace tessaly::test
