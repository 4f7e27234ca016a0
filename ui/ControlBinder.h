#pragma once

#include <QHash>
#include <QSet>
#include <QObject>
#include <QStringList>

#include <functional>

class QWidget;

namespace tessaly {

class TSControls;

// Binds the widgets of a window to the control models of the same name, both
// ways: a model change updates its widget, a user's action updates the model
// and runs its action.
class ControlBinder : public QObject {
    Q_OBJECT
public:
    explicit ControlBinder(TSControls& controls, QObject* parent = nullptr);

    // Column titles of a table, by the table's name.
    void setTableHeaders(const QString& table, const QStringList& headers);
    // Runs before any menu of a bound window opens (to validate its items).
    void setMenuAboutToShow(std::function<void()> callback) { m_menuAboutToShow = std::move(callback); }

    // Binds the window and every named descendant widget and action.
    void bindWindow(QWidget* window);

private:
    void bindObject(QObject* object);

    TSControls& m_controls;
    QSet<QObject*> m_bound;
    QHash<QString, QStringList> m_headers;
    std::function<void()> m_menuAboutToShow;
};

} // namespace tessaly
