#pragma once

#include "TSControls.h"

#include <utility>

namespace tessaly {

// Making the control models of an area (search, viewer, editing, export):
// children of TSControls, so each window finds them by name.
template <typename T, typename... Args>
T* makeControl(TSControls& parent, const char* name, Args&&... args) {
    return new T(QString::fromLatin1(name), std::forward<Args>(args)..., &parent);
}

inline Button* makeButton(TSControls& parent, const char* name, const QString& title) {
    auto* b = makeControl<Button>(parent, name);
    b->setTitle(title);
    return b;
}

inline PopUpButton* makePopUp(TSControls& parent, const char* name, const QStringList& items) {
    auto* p = makeControl<PopUpButton>(parent, name);
    p->addItemsWithTitles(items);
    return p;
}

} // namespace tessaly
