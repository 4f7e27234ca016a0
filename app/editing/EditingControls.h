#pragma once

#include "TSControls.h"
#include "controls/ImageView.h"

namespace tessaly {

// The control models of the edit view in the viewer window (its container
// is the viewer's editView) and of the sheet shown when an edit is done.
// Children of TSControls, so the window finds them by name.
struct EditingControls {
    explicit EditingControls(TSControls& controls);

    ImageView* editImageView;
    TextField* editTitleTextField;
    TextField* editDescTextField;
    TextField* editTagsTextField;
    TextField* editDateTaken;
    TextField* editLatLon;
    // Warnings shown beside a refused date or location.
    TextField* invalidDate;
    TextField* invalidLatLon;
    Button* editFamilyCheck;
    Button* editFriendCheck;
    Button* editPublicCheck;
    // Item i is Flickr's licence i.
    PopUpButton* editLicensePopUpButton;
    // Item i is permission value i (0 nobody ... 3 everybody).
    PopUpButton* editPermcommentPopUpButton;
    PopUpButton* editPermnotePopUpButton;
    Button* submitFlickrButton;
    Window* doneEditingSheet;
    Button* doneEditingButton;
};

// Flickr's licences, by id.
extern const QStringList kLicenseNames;
// Who may comment, or add notes and tags, by permission value.
extern const QStringList kPermissionNames;

} // namespace tessaly
