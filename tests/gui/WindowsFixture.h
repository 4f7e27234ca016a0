// Tessaly's windows over a fixture's controller, their widgets by name, and pictures in the archive.
#pragma once

#include "AppWindows.h"
#include "ServiceFixture.h"
#include "export/ExportController.h"
#include "search/SearchController.h"
#include "viewer/ViewerController.h"

#include <QTest>
#include <QtWidgets>

namespace tessaly::test {

// The widget (or action) of that name in any window.
template <typename T = QWidget> T* find(const QString& name) {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (T* found = top->objectName() == name ? qobject_cast<T*>(top) : top->findChild<T*>(name))
            return found;
    ADD_FAILURE() << "no " << name.toStdString();
    return nullptr;
}

template <typename Base = AppFixture> class WindowsFixture : public Base {
protected:
    // The windows over the test's controller (made here if there is none), then the start-up when asked.
    void launch(bool start = true) {
        windows = std::make_unique<AppWindows>(this->app ? *this->app : this->makeApp(false));
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
            const QString id = QString::number(i + 1), file = this->path("loc/anna_pix/") + id;
            ASSERT_TRUE(picture.save(file + "_s.jpg") && picture.save(file + "_b.jpg"));
            ASSERT_TRUE(this->app->database()
                            .run("INSERT OR REPLACE INTO photos (flickrID,title,tags,media,url_sq,url_l,latitude,"
                                 "longitude) VALUES(?,?,?,'photo',?,?,'0','0')",
                                 {id, titles[i], tags.value(i), file + "_s.jpg", file + "_b.jpg"})
                            .ok());
        }
    }
    // Every picture, by title, ascending, in the search window's results.
    void searchAll() {
        this->app->search().controls().sortButton->selectItemWithTitle("title");
        this->app->search().controls().sortMatrix->selectCellAtRow(1);
        this->app->search().searchDB();
        this->app->search().controls().searchButton->performClick();
    }

    std::unique_ptr<AppWindows> windows;
};

} // namespace tessaly::test

using namespace tessaly;
using namespace tessaly::test;
