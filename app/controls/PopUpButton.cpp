#include "PopUpButton.h"

namespace tessaly {

QStringList PopUpButton::itemTitles() const {
    QStringList titles;
    for (const auto& item : m_items)
        titles << item.title;
    return titles;
}

QString PopUpButton::itemTitleAtIndex(int index) const {
    return index >= 0 && index < m_items.size() ? m_items[index].title : QString();
}

bool PopUpButton::isItemEnabled(int index) const {
    return index >= 0 && index < m_items.size() && m_items[index].enabled;
}

void PopUpButton::setItemEnabled(int index, bool enabled) {
    if (index < 0 || index >= m_items.size() || m_items[index].enabled == enabled)
        return;
    m_items[index].enabled = enabled;
    emit changed();
}

void PopUpButton::removeAllItems() {
    if (m_items.isEmpty() && m_selected == -1)
        return;
    m_items.clear();
    m_selected = -1;
    emit changed();
}

void PopUpButton::addItemWithTitle(const QString& title, std::function<void()> itemAction) {
    m_items.append(Item{title, true, std::move(itemAction)});
    if (m_selected < 0)
        m_selected = 0;
    emit changed();
}

void PopUpButton::addItemsWithTitles(const QStringList& titles) {
    for (const auto& title : titles)
        m_items.append(Item{title, true, {}});
    if (m_selected < 0 && !m_items.isEmpty())
        m_selected = 0;
    emit changed();
}

QString PopUpButton::titleOfSelectedItem() const { return itemTitleAtIndex(m_selected); }

void PopUpButton::selectItemAtIndex(int index) {
    if (index < -1 || index >= m_items.size() || index == m_selected)
        return;
    m_selected = index;
    emit changed();
}

int PopUpButton::indexOfItemWithTitle(const QString& title) const {
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items[i].title == title)
            return i;
    return -1;
}

void PopUpButton::selectItemWithTitle(const QString& title) {
    const int index = indexOfItemWithTitle(title);
    if (index >= 0)
        selectItemAtIndex(index);
}

void PopUpButton::pickItem(int index) {
    if (!isEnabled() || index < 0 || index >= m_items.size() || !m_items[index].enabled)
        return;
    selectItemAtIndex(index);
    // Copy: the action may rebuild the items.
    const auto itemAction = m_items[index].action;
    if (itemAction)
        itemAction();
    else
        runAction();
}

void PopUpButton::showMenu() {
    if (isEnabled() && !m_items.isEmpty())
        emit menuRequested();
}

} // namespace tessaly
