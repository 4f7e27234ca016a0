#include "ViewerControls.h"

namespace tessaly {

namespace {

template <typename T> T* make(TSControls& parent, const char* name) {
    return new T(QString::fromLatin1(name), &parent);
}

Button* button(TSControls& parent, const char* name, const QString& title) {
    auto* b = make<Button>(parent, name);
    b->setTitle(title);
    return b;
}

} // namespace

ViewerControls::ViewerControls(TSControls& c) {
    imageView = make<ImageView>(c, "imageView");
    editView = make<Control>(c, "editView");
    editView->setHidden(true);
    imageNumberTextField = make<TextField>(c, "imageNumberTextField");
    imageInfoTextView = make<TextView>(c, "imageInfoTextView");
    prevButton = button(c, "prevButton", "Previous");
    nextButton = button(c, "nextButton", "Next");
    showImageButton = button(c, "showImageButton", " Exit Edit Mode");
    showImageButton->setHidden(true);
    editImageButton = button(c, "editImageButton", "Edit on Flickr...");
    playVideoButton = button(c, "playVideoButton", "Play Video");
    playVideoButton->setHidden(true);
    flickrDataButton = button(c, "flickrDataButton", "Flickr Info");
    exifDataButton = button(c, "exifDataButton", "EXIF Info");
    chooseSizeButton = make<PopUpButton>(c, "chooseSizeButton");
    chooseSizeButton->addItemsWithTitles({"Original size", "Large size"});
}

} // namespace tessaly
