#pragma once

#include "Control.h"

#include <QList>
#include <QStringList>

namespace tessaly {

// A pop-up button: a list of titled items and one selected index (-1: none).
// An item may carry an action of its own that runs instead of the pop-up's.
class PopUpButton : public Control {
    Q_OBJECT
public:
    using Control::Control;

    int numberOfItems() const { return int(m_items.size()); }
    QStringList itemTitles() const;
    QString itemTitleAtIndex(int index) const;
    bool isItemEnabled(int index) const;
    void setItemEnabled(int index, bool enabled);

    void removeAllItems();
    void addItemWithTitle(const QString& title, std::function<void()> itemAction = {});
    void addItemsWithTitles(const QStringList& titles);

    int indexOfSelectedItem() const { return m_selected; }
    QString titleOfSelectedItem() const;
    void selectItemAtIndex(int index);
    // Selects the first item with this title; no change when there is none.
    void selectItemWithTitle(const QString& title);
    int indexOfItemWithTitle(const QString& title) const;

    // The user picked an item: select it, then run its action or the pop-up's.
    void pickItem(int index);
    // Opens the menu for the user, as a click on the pop-up would; the bound
    // widget shows it and a pick arrives through pickItem. Nothing opens
    // without items.
    void showMenu();

signals:
    void menuRequested();

private:
    struct Item {
        QString title;
        bool enabled = true;
        std::function<void()> action;
    };
    QList<Item> m_items;
    int m_selected = -1;
};

} // namespace tessaly
