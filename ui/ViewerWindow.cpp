// The viewer window.
#include "AppWindows.h"

#include "ControlBinder.h"
#include "DragDropImageView.h"
#include "TSAppDelegate.h"
#include "ui_doneEditingSheet.h"
#include "ui_imageWindow.h"
#include "viewer/ViewerController.h"

#include <QDialog>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyle>
#include <QTimer>

namespace tessaly {

namespace {

// The first time the window appears it takes the size that fits its picture.
class FitOnFirstShow : public QObject {
public:
    FitOnFirstShow(DragDropImageView* view, QObject* parent) : QObject(parent), m_view(view) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && !m_done) {
            m_done = true;
            QTimer::singleShot(
                0, m_view, [view = m_view] { view->window()->resize(view->zoomedWindowSize()); });
        }
        return false;
    }

private:
    DragDropImageView* m_view;
    bool m_done = false;
};

} // namespace

void AppWindows::makeViewerWindow(TSAppDelegate& app) {
    m_viewerWindow = std::make_unique<QMainWindow>();
    QMainWindow* window = m_viewerWindow.get();
    Ui::ImageWindowForm form;
    form.setupUi(window);

    // The main window's menus, with the picture menu before "Window".
    const QList<QAction*> menus = m_mainWindow->menuBar()->actions();
    for (QAction* menu : menus)
        form.imageMenuBar->addAction(menu);
    form.imageMenuBar->insertAction(menus.isEmpty() ? nullptr : menus.last(),
                                    form.menuPicture->menuAction());

    ViewerControls& viewer = app.viewer().controls();
    form.previousPictureAction->setShortcuts({Qt::Key_Left, Qt::Key_PageUp});
    form.nextPictureAction->setShortcuts({Qt::Key_Right, Qt::Key_PageDown});
    connect(form.previousPictureAction, &QAction::triggered, viewer.prevButton,
            [button = viewer.prevButton] { button->performClick(); });
    connect(form.nextPictureAction, &QAction::triggered, viewer.nextButton,
            [button = viewer.nextButton] { button->performClick(); });
    connect(form.openPictureAction, &QAction::triggered, window,
            [&app] { app.viewer().launchPicture(); });
    DragDropImageView* imageView = form.imageView;
    connect(form.fitWindowAction, &QAction::triggered, window,
            [imageView] { imageView->window()->resize(imageView->zoomedWindowSize()); });

    // Beside the edit form, the picture keeps to the top.
    form.editImageView->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    form.prevButton->setIcon(window->style()->standardIcon(QStyle::SP_ArrowBack));
    form.nextButton->setIcon(window->style()->standardIcon(QStyle::SP_ArrowForward));
    form.nextButton->setLayoutDirection(Qt::RightToLeft); // the arrow after the title

    // The picture takes what the window gains; the text keeps its width.
    form.viewerSplitter->setStretchFactor(0, 1);
    form.viewerSplitter->setStretchFactor(1, 0);
    form.viewerSplitter->setSizes({700, 320});

    auto* doneEditingSheet = new QDialog(window);
    Ui::DoneEditingSheetForm doneEditingForm;
    doneEditingForm.setupUi(doneEditingSheet);

    m_binder->bindWindow(window);
    m_binder->bindWindow(doneEditingSheet);
    window->installEventFilter(new FitOnFirstShow(imageView, window));
}

} // namespace tessaly
