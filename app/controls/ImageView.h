#pragma once

#include "Control.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace tessaly {

// An image view: the image shown and the size it is shown at, whether the
// user may cut, copy and paste it, and the name a dragged-out copy takes.
// The performed action is the view's double click.
class ImageView : public Control {
    Q_OBJECT
public:
    using Control::Control;

    QImage image() const { return m_image; }
    // The size the image is shown at; an image set without one is shown at
    // its pixel size.
    QSize displaySize() const { return m_displaySize; }
    void setImage(const QImage& image, QSize displaySize = {});
    // Counts every setImage: a bound view replaces an image dropped onto it
    // only when a new one is set.
    quint64 imageSerial() const { return m_imageSerial; }

    // Cut, copy and paste allowed.
    bool isEditable() const { return m_editable; }
    void setEditable(bool editable);

    bool allowDrag() const { return m_allowDrag; }
    void setAllowDrag(bool allow);
    bool allowDrop() const { return m_allowDrop; }
    void setAllowDrop(bool allow);

    QString imageFileName() const { return m_imageFileName; }
    void setImageFileName(const QString& name);

private:
    QImage m_image;
    QSize m_displaySize;
    quint64 m_imageSerial = 0;
    bool m_editable = false;
    bool m_allowDrag = true;
    bool m_allowDrop = true;
    QString m_imageFileName;
};

} // namespace tessaly
