#include "TextView.h"

namespace tessaly {

void TextView::setStyledText(const StyledText& text) {
    if (m_text == text)
        return;
    m_text = text;
    emit changed();
}

} // namespace tessaly
