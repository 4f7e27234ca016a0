#include "Control.h"

#include <QRegularExpression>

namespace tessaly {

Control::Control(const QString& name, QObject* parent) : QObject(parent) { setObjectName(name); }

void Control::setEnabled(bool enabled) {
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    emit changed();
}

void Control::setHidden(bool hidden) {
    if (m_hidden == hidden)
        return;
    m_hidden = hidden;
    emit changed();
}

void Control::setToolTip(const QString& toolTip) {
    if (m_toolTip == toolTip)
        return;
    m_toolTip = toolTip;
    emit changed();
}

void Control::performClick() {
    if (m_enabled)
        runAction();
}

void Button::setTitle(const QString& title) {
    if (m_title == title)
        return;
    m_title = title;
    emit changed();
}

void Button::setState(int state) {
    if (m_state == state)
        return;
    m_state = state;
    emit changed();
}

void Button::setImageName(const QString& name) {
    if (m_imageName == name)
        return;
    m_imageName = name;
    emit changed();
}

void TextField::setStringValue(const QString& text) {
    if (m_text == text)
        return;
    m_text = text;
    emit changed();
}

int TextField::intValue() const {
    static const QRegularExpression leading(QStringLiteral("^\\s*[-+]?\\d+"));
    const auto match = leading.match(m_text);
    return match.hasMatch() ? match.captured(0).trimmed().toInt() : 0;
}

MenuItem::MenuItem(const QString& name, const QString& title, QObject* parent)
    : Control(name, parent), m_title(title) {}

void MenuItem::setTitle(const QString& title) {
    if (m_title == title)
        return;
    m_title = title;
    emit changed();
}

void ProgressIndicator::startAnimation() {
    if (m_animating)
        return;
    m_animating = true;
    emit changed();
}

void ProgressIndicator::stopAnimation() {
    if (!m_animating)
        return;
    m_animating = false;
    emit changed();
}

void ProgressIndicator::setIndeterminate(bool indeterminate) { set(m_indeterminate, indeterminate); }

void ProgressIndicator::setDisplayedWhenStopped(bool displayed) {
    set(m_displayedWhenStopped, displayed);
}

void ProgressIndicator::setUsesThreadedAnimation(bool threaded) { set(m_threaded, threaded); }

void Window::setAcceptsMouseMovedEvents(bool accepts) {
    if (m_mouseMoved == accepts)
        return;
    m_mouseMoved = accepts;
    emit changed();
}

void Window::setTitle(const QString& title) {
    if (m_title == title)
        return;
    m_title = title;
    emit changed();
}

void Window::setVisible(bool visible, bool key) {
    if (m_visible == visible && m_key == key)
        return;
    const bool visibilityFlipped = m_visible != visible;
    m_visible = visible;
    m_key = key;
    emit changed();
    if (visibilityFlipped)
        emit visibilityChanged(visible);
}

void Window::setModal(bool modal) {
    if (m_modal == modal)
        return;
    m_modal = modal;
    emit changed();
}

void Window::makeKeyAndOrderFront() { setVisible(true, true); }

void Window::orderFront() { setVisible(true, m_key); }

void Window::orderOut() {
    m_sheetParent = nullptr;
    setVisible(false, false);
}

void Window::beginSheet(Window* parent) {
    m_sheetParent = parent;
    setVisible(true, true);
}

void Window::endSheet() { orderOut(); }

} // namespace tessaly
