// What the window tests share: Tessaly's windows over a fixture's controller,
// finding their widgets by name, and pictures in the archive.
#pragma once

#include "AppWindows.h"
#include "ServiceFixture.h"
#include "export/ExportController.h"
#include "search/SearchController.h"
#include "viewer/ViewerController.h"

#include <QTest>
#include <QtWidgets>

namespace tessaly::test {

// The widget (or action) of that name in the window or sheet named `in`, else in any window.
template <typename T = QWidget> T* find(const QString& name, const QString& in = {}) {
    for (QWidget* top : QApplication::topLevelWidgets())
        for (T* found : top->findChildren<T*>(name))
            if (auto* widget = qobject_cast<QWidget*>(found);
                in.isEmpty() || (widget && widget->window()->objectName() == in))
                return found;
    ADD_FAILURE() << "no " << name.toStdString();
    return nullptr;
}

template <typename Base = AppFixture> class WindowsFixture : public Base {
protected:
    // The windows over the test's controller (made here if there is none), then the start-up when asked.
    void launch(bool start = true) {
        if (!this->app)
            this->makeApp(false);
        windows = std::make_unique<AppWindows>(*this->app);
        if (start)
            this->app->applicationDidFinishLaunching();
    }
    void TearDown() override {
        windows.reset();
        qputenv("TESSALY_FLICKR_ENDPOINT", "http://127.0.0.1:9");
    }
    // Pictures 1, 2, ... of the account stored as "anna", with both files of each.
    void addPictures(const QStringList& titles, const QStringList& tags = {}, QSize size = {400, 300}) {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(QColor(40, 90, 160));
        for (int i = 0; i < titles.size(); ++i) {
            const QString id = QString::number(i + 1), url = "https://x/1/" + id;
            ASSERT_TRUE(this->app->database()
                            .run("INSERT OR REPLACE INTO photos (flickrID,title,tags,media,url_sq,url_l,latitude,"
                                 "longitude) VALUES(?,?,?,'photo',?,?,'0','0')",
                                 {id, titles[i], tags.value(i), url + "_s.jpg", url + "_b.jpg"})
                            .ok());
            for (const char* size : {"_s", "_b"})
                picture.save(this->path("loc/anna_pix/") + id + size + ".jpg");
        }
    }
    // Every picture, by title, ascending, in the search window's results.
    void searchAll() {
        auto& s = this->app->search().controls();
        s.sortButton->selectItemWithTitle("title");
        s.sortMatrix->selectCellAtRow(1);
        this->app->search().searchDB();
        s.searchButton->performClick();
    }

    std::unique_ptr<AppWindows> windows;
};

} // namespace tessaly::test
