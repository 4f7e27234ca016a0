#pragma once

#include <QEvent>
#include <QObject>

#include <functional>

namespace tessaly {

// Asks before a window closes by its own button: the window closes only when
// the answer is yes. Installed after the binder's own watcher, so it runs first.
class CloseFilter : public QObject {
public:
    CloseFilter(std::function<bool()> shouldClose, QObject* parent)
        : QObject(parent), m_shouldClose(std::move(shouldClose)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close || m_shouldClose())
            return false;
        event->ignore();
        return true;
    }

private:
    std::function<bool()> m_shouldClose;
};

} // namespace tessaly
