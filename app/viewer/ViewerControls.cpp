#include "ViewerControls.h"

#include "controls/AreaControls.h"

namespace tessaly {

ViewerControls::ViewerControls(TSControls& c) {
    imageView = makeControl<ImageView>(c, "imageView");
    editView = makeControl<Control>(c, "editView");
    editView->setHidden(true);
    imageNumberTextField = makeControl<TextField>(c, "imageNumberTextField");
    imageInfoTextView = makeControl<TextView>(c, "imageInfoTextView");
    prevButton = makeButton(c, "prevButton", "Previous");
    nextButton = makeButton(c, "nextButton", "Next");
    showImageButton = makeButton(c, "showImageButton", " Exit Edit Mode");
    showImageButton->setHidden(true);
    editImageButton = makeButton(c, "editImageButton", "Edit on Flickr...");
    playVideoButton = makeButton(c, "playVideoButton", "Play Video");
    playVideoButton->setHidden(true);
    flickrDataButton = makeButton(c, "flickrDataButton", "Flickr Info");
    exifDataButton = makeButton(c, "exifDataButton", "EXIF Info");
    chooseSizeButton = makeControl<PopUpButton>(c, "chooseSizeButton");
    chooseSizeButton->addItemsWithTitles({"Original size", "Large size"});
}

} // namespace tessaly
