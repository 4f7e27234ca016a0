#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace tessaly {

// A control model: the state of one named control of a window, without any
// widget. The controller reads and writes it; the Qt windows bind to it both
// ways by objectName; tests drive it directly.
class Control : public QObject {
    Q_OBJECT
public:
    explicit Control(const QString& name, QObject* parent = nullptr);

    QString name() const { return objectName(); }

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);

    QString toolTip() const { return m_toolTip; }
    void setToolTip(const QString& toolTip);

    // Target-action: what a click (or a pick, an edit's end) runs.
    void setAction(std::function<void()> action) { m_action = std::move(action); }
    bool hasAction() const { return bool(m_action); }
    // A user's click: runs the action when the control is enabled.
    void performClick();

signals:
    // Any state of the control changed; the bound widget refreshes itself.
    void changed();

protected:
    void runAction() {
        if (m_action)
            m_action();
    }

private:
    bool m_enabled = true;
    bool m_hidden = false;
    QString m_toolTip;
    std::function<void()> m_action;
};

// Push button, check box or radio button.
class Button : public Control {
    Q_OBJECT
public:
    using Control::Control;
    enum State { Off = 0, On = 1 };

    QString title() const { return m_title; }
    void setTitle(const QString& title);

    int state() const { return m_state; }
    void setState(int state);

    QString imageName() const { return m_imageName; }
    void setImageName(const QString& name);

private:
    QString m_title;
    int m_state = Off;
    QString m_imageName;
};

// Text field, label, search field or text view: one text value.
class TextField : public Control {
    Q_OBJECT
public:
    using Control::Control;

    QString stringValue() const { return m_text; }
    void setStringValue(const QString& text);
    // Integer value as a number field reads it: the leading integer, else 0.
    int intValue() const;

private:
    QString m_text;
};

class MenuItem : public Control {
    Q_OBJECT
public:
    MenuItem(const QString& name, const QString& title, QObject* parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString& title);

private:
    QString m_title;
};

// A progress indicator: indeterminate (a busy bar) unless told otherwise,
// and shown while stopped unless told otherwise.
class ProgressIndicator : public Control {
    Q_OBJECT
public:
    using Control::Control;

    bool isAnimating() const { return m_animating; }
    void startAnimation();
    void stopAnimation();

    bool isIndeterminate() const { return m_indeterminate; }
    void setIndeterminate(bool indeterminate);
    bool isDisplayedWhenStopped() const { return m_displayedWhenStopped; }
    void setDisplayedWhenStopped(bool displayed);
    // Whether it animates apart from the event loop, so that a long step on
    // the main thread does not freeze it.
    bool usesThreadedAnimation() const { return m_threaded; }
    void setUsesThreadedAnimation(bool threaded);

    // Whether a bound widget shows now.
    bool isShown() const { return !isHidden() && (m_animating || m_displayedWhenStopped); }

private:
    template <typename T> void set(T& field, T value) {
        if (field == value)
            return;
        field = value;
        emit changed();
    }
    bool m_animating = false;
    bool m_indeterminate = true;
    bool m_displayedWhenStopped = true;
    bool m_threaded = false;
};

// A window, panel or sheet. A sheet is shown attached to its parent window.
class Window : public Control {
    Q_OBJECT
public:
    using Control::Control;

    QString title() const { return m_title; }
    void setTitle(const QString& title);

    bool isVisible() const { return m_visible; }
    bool isKeyWindow() const { return m_key; }

    // Whether the window hears of mouse moves without a button pressed.
    bool acceptsMouseMovedEvents() const { return m_mouseMoved; }
    void setAcceptsMouseMovedEvents(bool accepts);

    // A modal window takes all input while it is shown.
    bool isModal() const { return m_modal; }
    void setModal(bool modal);

    void makeKeyAndOrderFront();
    void orderFront();
    void orderOut();
    void close() { orderOut(); }

    // Sheets: shown on top of another window until ended.
    Window* sheetParent() const { return m_sheetParent; }
    void beginSheet(Window* parent);
    void endSheet();

signals:
    void visibilityChanged(bool visible);

private:
    void setVisible(bool visible, bool key);

    QString m_title;
    bool m_visible = false;
    bool m_key = false;
    bool m_mouseMoved = false;
    bool m_modal = false;
    Window* m_sheetParent = nullptr;
};

} // namespace tessaly
