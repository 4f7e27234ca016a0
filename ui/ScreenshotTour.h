#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;
class QWidget;

namespace tessaly {

class AppWindows;
class TSAppDelegate;

// Walks a new user's way through the demo profile (connect, download the
// information and the files, then the main window, preferences, the count
// sheet, a search, the viewer with Flickr's and the EXIF information, the
// edit view and the export panel) and writes a picture of each window into a
// folder: what a person would see, for the README and for review.
class ScreenshotTour : public QObject {
    Q_OBJECT
public:
    ScreenshotTour(TSAppDelegate& app, AppWindows& windows, QString folder, QObject* parent = nullptr);

    void start();
    QStringList written() const { return m_written; }

    // How long one step may wait for the application, in milliseconds.
    static constexpr int kStepTimeout = 300000;

signals:
    // 0 when every picture was written.
    void finished(int status);

private:
    struct Step {
        QString what;
        std::function<bool()> ready; // the application has got there
        std::function<void()> act;
    };
    void addSteps();
    void step(QString what, std::function<bool()> ready, std::function<void()> act);
    void shoot(const QString& name, QWidget* window, QWidget* sheet = nullptr);
    void poll();
    void fail(const QString& why);
    bool idle() const;

    TSAppDelegate& m_app;
    AppWindows& m_windows;
    QString m_folder;
    QList<Step> m_steps;
    QTimer* m_timer;
    qint64 m_waited = 0;
    QStringList m_written;
};

} // namespace tessaly
