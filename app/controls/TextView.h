#pragma once

#include "Control.h"
#include "StyledText.h"

namespace tessaly {

// A scrolling text view showing styled text: literal text with coloured
// runs, selectable but not editable.
class TextView : public Control {
    Q_OBJECT
public:
    using Control::Control;

    StyledText styledText() const { return m_text; }
    QString string() const { return m_text.text; }
    void setStyledText(const StyledText& text);

    // Gives the view the keyboard focus in its window.
    void makeFirstResponder() { emit focusRequested(); }

signals:
    void focusRequested();

private:
    StyledText m_text;
};

} // namespace tessaly
