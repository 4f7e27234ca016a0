#include "EditingControls.h"

#include "controls/AreaControls.h"

namespace tessaly {

const QStringList kLicenseNames = {"All Rights Reserved",
                                   "Attribution-NonCommercial-ShareAlike License",
                                   "Attribution-NonCommercial License",
                                   "Attribution-NonCommercial-NoDerivs License",
                                   "Attribution License",
                                   "Attribution-ShareAlike License",
                                   "Attribution-NoDerivs License",
                                   "No known copyright restrictions",
                                   "United States Government Work",
                                   "Public Domain Dedication (CC0)",
                                   "Public Domain Mark"};

const QStringList kPermissionNames = {"nobody", "friends and family", "contacts", "everybody"};

namespace {

TextField* warning(TSControls& parent, const char* name, const QString& text) {
    auto* w = makeControl<TextField>(parent, name);
    w->setStringValue(text);
    w->setHidden(true);
    return w;
}

} // namespace

EditingControls::EditingControls(TSControls& c) {
    editImageView = makeControl<ImageView>(c, "editImageView");
    editImageView->setAllowDrag(false);
    editImageView->setAllowDrop(false);
    editTitleTextField = makeControl<TextField>(c, "editTitleTextField");
    editDescTextField = makeControl<TextField>(c, "editDescTextField");
    editTagsTextField = makeControl<TextField>(c, "editTagsTextField");
    editTagsTextField->setToolTip("Tags separated by spaces; a tag of several words in double "
                                  "quotes, as in: sunset \"new york\"");
    editDateTaken = makeControl<TextField>(c, "editDateTaken");
    editDateTaken->setToolTip(
        "The date the picture was taken: year-month-day, optionally with hour:minute:second, as in "
        "2010-05-01 14:30:00");
    editLatLon = makeControl<TextField>(c, "editLatLon");
    editLatLon->setToolTip(
        "Latitude and longitude in decimal degrees, separated by a comma, as in 48.8584,2.2945 "
        "(latitude -90 to 90, longitude -180 to 180). Leave it empty to send no location.");
    invalidDate = warning(c, "invalidDate", "Not a valid date (as in 2010-05-01 14:30:00)");
    invalidLatLon = warning(c, "invalidLatLon",
                            "Not a valid location (latitude,longitude, as in 48.8584,2.2945)");
    editFamilyCheck = makeButton(c, "editFamilyCheck", "Family");
    editFriendCheck = makeButton(c, "editFriendCheck", "Friends");
    editPublicCheck = makeButton(c, "editPublicCheck", "Public");
    editLicensePopUpButton = makePopUp(c, "editLicensePopUpButton", kLicenseNames);
    editPermcommentPopUpButton = makePopUp(c, "editPermcommentPopUpButton", kPermissionNames);
    editPermnotePopUpButton = makePopUp(c, "editPermnotePopUpButton", kPermissionNames);
    submitFlickrButton = makeButton(c, "submitFlickrButton", "Send to Flickr");
    submitFlickrButton->setToolTip("Send the changes to Flickr and into the archive (Return)");
    doneEditingSheet = makeControl<Window>(c, "doneEditingSheet");
    doneEditingSheet->setTitle("Flickr Data Updated");
    doneEditingButton = makeButton(c, "doneEditingButton", "OK");
}

} // namespace tessaly
