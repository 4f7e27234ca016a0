#pragma once

#include <QObject>

#include <memory>

class QMainWindow;
class QDialog;

namespace tessaly {

class ControlBinder;
class TSAppDelegate;

// The application's Qt windows, made from their .ui files and bound to the
// controller's control models.
class AppWindows : public QObject {
    Q_OBJECT
public:
    explicit AppWindows(TSAppDelegate& app, QObject* parent = nullptr);
    ~AppWindows() override;

    QMainWindow* mainWindow() const { return m_mainWindow.get(); }
    QDialog* prefPanel() const { return m_prefPanel; }
    QMainWindow* searchWindow() const { return m_searchWindow.get(); }
    QMainWindow* viewerWindow() const { return m_viewerWindow.get(); }

private:
    void makeSearchWindow(TSAppDelegate& app);
    void makeViewerWindow(TSAppDelegate& app);

    std::unique_ptr<QMainWindow> m_mainWindow;
    std::unique_ptr<QMainWindow> m_searchWindow;
    std::unique_ptr<QMainWindow> m_viewerWindow;
    QDialog* m_prefPanel = nullptr;
    ControlBinder* m_binder = nullptr;
};

} // namespace tessaly
