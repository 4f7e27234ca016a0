#include "ImageView.h"

namespace tessaly {

void ImageView::setImage(const QImage& image, QSize displaySize) {
    m_image = image;
    m_displaySize = displaySize.isValid() ? displaySize : image.size();
    ++m_imageSerial;
    emit changed();
}

void ImageView::setEditable(bool editable) {
    if (m_editable == editable)
        return;
    m_editable = editable;
    emit changed();
}

void ImageView::setAllowDrag(bool allow) {
    if (m_allowDrag == allow)
        return;
    m_allowDrag = allow;
    emit changed();
}

void ImageView::setAllowDrop(bool allow) {
    if (m_allowDrop == allow)
        return;
    m_allowDrop = allow;
    emit changed();
}

void ImageView::setImageFileName(const QString& name) {
    if (m_imageFileName == name)
        return;
    m_imageFileName = name;
    emit changed();
}

} // namespace tessaly
