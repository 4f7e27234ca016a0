#include "EditingControls.h"

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

template <typename T> T* make(TSControls& parent, const char* name) {
    return new T(QString::fromLatin1(name), &parent);
}

Button* button(TSControls& parent, const char* name, const QString& title) {
    auto* b = make<Button>(parent, name);
    b->setTitle(title);
    return b;
}

PopUpButton* popUp(TSControls& parent, const char* name, const QStringList& items) {
    auto* p = make<PopUpButton>(parent, name);
    p->addItemsWithTitles(items);
    return p;
}

TextField* warning(TSControls& parent, const char* name, const QString& text) {
    auto* w = make<TextField>(parent, name);
    w->setStringValue(text);
    w->setHidden(true);
    return w;
}

} // namespace

EditingControls::EditingControls(TSControls& c) {
    editImageView = make<ImageView>(c, "editImageView");
    editImageView->setAllowDrag(false);
    editImageView->setAllowDrop(false);
    editTitleTextField = make<TextField>(c, "editTitleTextField");
    editDescTextField = make<TextField>(c, "editDescTextField");
    editTagsTextField = make<TextField>(c, "editTagsTextField");
    editTagsTextField->setToolTip("Tags separated by spaces; a tag of several words in double "
                                  "quotes, as in: sunset \"new york\"");
    editDateTaken = make<TextField>(c, "editDateTaken");
    editDateTaken->setToolTip(
        "The date the picture was taken: year-month-day, optionally with hour:minute:second, as in "
        "2010-05-01 14:30:00");
    editLatLon = make<TextField>(c, "editLatLon");
    editLatLon->setToolTip(
        "Latitude and longitude in decimal degrees, separated by a comma, as in 48.8584,2.2945 "
        "(latitude -90 to 90, longitude -180 to 180). Leave it empty to send no location.");
    invalidDate = warning(c, "invalidDate", "Not a valid date (as in 2010-05-01 14:30:00)");
    invalidLatLon = warning(c, "invalidLatLon",
                            "Not a valid location (latitude,longitude, as in 48.8584,2.2945)");
    editFamilyCheck = button(c, "editFamilyCheck", "Family");
    editFriendCheck = button(c, "editFriendCheck", "Friends");
    editPublicCheck = button(c, "editPublicCheck", "Public");
    editLicensePopUpButton = popUp(c, "editLicensePopUpButton", kLicenseNames);
    editPermcommentPopUpButton = popUp(c, "editPermcommentPopUpButton", kPermissionNames);
    editPermnotePopUpButton = popUp(c, "editPermnotePopUpButton", kPermissionNames);
    submitFlickrButton = button(c, "submitFlickrButton", "Send to Flickr");
    submitFlickrButton->setToolTip("Send the changes to Flickr and into the archive (Return)");
    doneEditingSheet = make<Window>(c, "doneEditingSheet");
    doneEditingSheet->setTitle("Flickr Data Updated");
    doneEditingButton = button(c, "doneEditingButton", "OK");
}

} // namespace tessaly
