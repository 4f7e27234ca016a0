#include "ScreenshotTour.h"

#include "AppWindows.h"
#include "TSAppDelegate.h"
#include "editing/EditingController.h"
#include "export/ExportController.h"
#include "search/SearchController.h"
#include "sync/SyncController.h"
#include "viewer/ViewerController.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <cstdio>

namespace tessaly {

namespace {

constexpr int kPollMs = 50;
// Time for layouts, images and fonts to settle before a picture is taken.
constexpr int kSettleMs = 400;

// A sheet drawn as it appears: over its window, which is dimmed behind it.
QImage sheetOver(QWidget* window, QWidget* sheet) {
    QImage back = window->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage front = sheet->grab().toImage();
    const qreal ratio = back.devicePixelRatio();
    QPainter painter(&back);
    const QSizeF size = QSizeF(back.size()) / ratio;
    painter.fillRect(QRectF(QPointF(), size), QColor(0, 0, 0, 60));
    const QSizeF sheetSize = QSizeF(front.size()) / front.devicePixelRatio();
    const QRectF place(QPointF((size.width() - sheetSize.width()) / 2, 0), sheetSize);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int spread = 8; spread > 0; spread -= 2) {
        QPainterPath shadow;
        shadow.addRoundedRect(place.adjusted(-spread, -spread / 2.0, spread, spread), 6, 6);
        painter.fillPath(shadow, QColor(0, 0, 0, 18));
    }
    painter.drawImage(place, front);
    return back;
}

} // namespace

ScreenshotTour::ScreenshotTour(TSAppDelegate& app, AppWindows& windows, QString folder, QObject* parent)
    : QObject(parent), m_app(app), m_windows(windows), m_folder(std::move(folder)),
      m_timer(new QTimer(this)) {
    m_timer->setInterval(kPollMs);
    connect(m_timer, &QTimer::timeout, this, &ScreenshotTour::poll);
}

void ScreenshotTour::start() {
    if (!QDir().mkpath(m_folder)) {
        fail("cannot make the folder " + m_folder);
        return;
    }
    addSteps();
    m_timer->start();
}

bool ScreenshotTour::idle() const { return !m_app.flickrRequest().isRunning(); }

void ScreenshotTour::step(QString what, std::function<bool()> ready, std::function<void()> act) {
    m_steps.append({std::move(what), std::move(ready), std::move(act)});
}

void ScreenshotTour::addSteps() {
    auto& c = m_app.controls();
    auto& s = m_app.search().controls();
    auto& v = m_app.viewer().controls();
    const auto always = [] { return true; };
    const auto downloaded = [this] { return m_app.sync().phase() == sync::Phase::Finished; };
    const auto dismissFinish = [&c] {
        (c.doneDownloadingSheet->isVisible() ? c.doneDownloadingButton : c.doneDownloadingButton2)
            ->performClick();
    };
    QMainWindow* main = m_windows.mainWindow();

    // Connecting: the demo does the browser's part by itself.
    step("connect", [this, &c] { return c.window->isVisible() && idle(); },
         [&c] { c.oauthAuthButton->performClick(); });
    step("confirm the connection", [this, &c] { return c.doneSheet->isVisible() && idle(); },
         [&c] { c.checkConnectionButton->performClick(); });
    step("download the information",
         [this] { return m_app.state().connectionState == 1 && idle(); },
         [&c] { c.downloadButton->performClick(); });
    step("ask for permissions and EXIF data", [&c] { return c.permsOptionSheet->isVisible(); }, [&c] {
        c.permsCheck->setState(Button::On);
        c.exifCheck->setState(Button::On);
        c.permsOkButton->performClick();
    });
    step("download the files", downloaded, [&c, dismissFinish] {
        dismissFinish();
        c.downloadFilesButton->performClick();
    });
    step("confirm the files", [&c] { return c.countSheet->isVisible(); },
         [&c] { c.countOkButton->performClick(); });
    step("main window", downloaded, [this, dismissFinish, main] {
        dismissFinish();
        main->resize(660, 400);
        QTimer::singleShot(kSettleMs, this, [this, main] { shoot("1-main", main); });
    });

    step("preferences", always, [this, &c] {
        c.prefsItem->performClick();
        QTimer::singleShot(kSettleMs, this, [this] { shoot("2-preferences", m_windows.prefPanel()); });
    });
    step("count sheet", always, [&c] {
        c.prefPanel->close();
        c.downloadFilesButton->performClick();
    });
    step("count sheet shown", [this, &c] { return c.countSheet->isVisible() && idle(); },
         [this, main] {
             QTimer::singleShot(kSettleMs, this, [this, main] {
                 shoot("3-count-sheet", main, main->findChild<QDialog*>("countSheet"));
             });
         });

    step("search", always, [this, &c, &s] {
        c.countCancelButton->performClick();
        c.searchItem->performClick();
        s.sortButton->selectItemWithTitle("title");
        s.searchButton->performClick();
        c.resultsTableView->selectRow(2);
        m_windows.searchWindow()->resize(1240, 780);
        QTimer::singleShot(kSettleMs, this, [this] { shoot("4-search", m_windows.searchWindow()); });
    });
    step("viewer", always, [this, &c] {
        c.resultsTableView->performClick();
        QTimer::singleShot(kSettleMs, this, [this] {
            m_windows.viewerWindow()->resize(1180, 760);
            QTimer::singleShot(kSettleMs, this, [this] { shoot("5-viewer", m_windows.viewerWindow()); });
        });
    });
    step("EXIF information", always, [this, &v] {
        v.exifDataButton->performClick();
        QTimer::singleShot(kSettleMs, this, [this] { shoot("6-exif", m_windows.viewerWindow()); });
    });
    step("edit view", always, [&v] { v.editImageButton->performClick(); });
    step("edit view shown", [this] { return m_app.viewer().editMode() && idle(); }, [this] {
        QTimer::singleShot(kSettleMs, this, [this] { shoot("7-edit", m_windows.viewerWindow()); });
    });
    step("export panel", always, [this, &c, &v] {
        v.showImageButton->performClick();
        c.imageWindow->close();
        c.resultsTableView->selectRowIndexes({0, 1, 2, 3});
        c.exportItem->performClick();
        QTimer::singleShot(kSettleMs, this, [this] {
            QMainWindow* search = m_windows.searchWindow();
            shoot("8-export", search, search->findChild<QDialog*>("exportPanel"));
        });
    });
    step("done", always, [this] {
        m_timer->stop();
        emit finished(m_written.size() == 8 ? 0 : 1);
    });
}

void ScreenshotTour::poll() {
    if (m_steps.isEmpty())
        return;
    if (!m_steps.first().ready()) {
        m_waited += kPollMs;
        if (m_waited > kStepTimeout)
            fail("timed out waiting to " + m_steps.first().what);
        return;
    }
    const Step next = m_steps.takeFirst();
    m_waited = 0;
    std::printf("%s\n", qPrintable(next.what));
    std::fflush(stdout);
    // The next step waits until a picture this one asked for is taken.
    m_timer->stop();
    next.act();
    QTimer::singleShot(2 * kSettleMs + 100, m_timer, qOverload<>(&QTimer::start));
}

void ScreenshotTour::shoot(const QString& name, QWidget* window, QWidget* sheet) {
    const QString file = QDir(m_folder).filePath(name + ".png");
    const QImage image = sheet ? sheetOver(window, sheet) : window->grab().toImage();
    if (!image.save(file))
        fail("cannot write " + file);
    m_written << file;
}

void ScreenshotTour::fail(const QString& why) {
    std::fprintf(stderr, "Screenshot tour: %s\n", qPrintable(why));
    m_timer->stop();
    m_steps.clear();
    emit finished(1);
}

} // namespace tessaly
