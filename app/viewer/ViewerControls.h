#pragma once

#include "TSControls.h"
#include "controls/ImageView.h"
#include "controls/TextView.h"

namespace tessaly {

// The control models of the viewer window (the window itself is TSControls'
// own). Children of TSControls, so the window finds them by name.
struct ViewerControls {
    explicit ViewerControls(TSControls& controls);

    ImageView* imageView;
    // The edit view's container; the editor fills it.
    Control* editView;
    TextField* imageNumberTextField;
    TextView* imageInfoTextView;
    Button* prevButton;
    Button* nextButton;
    Button* showImageButton;
    Button* editImageButton;
    Button* playVideoButton;
    Button* flickrDataButton;
    Button* exifDataButton;
    // Item 0 stands for the original size, item 1 for the large size.
    PopUpButton* chooseSizeButton;
};

} // namespace tessaly
