// The picture information and EXIF texts, character for character.
#include "viewer/PictureInfo.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::viewer;

namespace {

const QStringList kLabels = {"0 - nobody", "1 - friends & family", "2 - contacts",
                             "3 - everybody"};

// A record with every column set, by position.
QStringList fullRecord() {
    return {"5012345678",
            "12345678@N00",
            "Anna K",
            "https://farm1.example.com/1/5012345678_f00d_o.jpg",
            "https://farm1.example.com/1/5012345678_beef_b.jpg",
            "4",
            "Harbour at dawn",
            "Boats, gulls:  and fog",
            "harbour dawn",
            "321",
            "4000",
            "3000",
            "https://farm1.example.com/1/5012345678_beef_s.jpg",
            "jpg",
            "2010-05-01 06:12:00",
            "2010-05-02 10:00:00",
            "2345678",
            "0",
            "1",
            "1",
            "3",
            "7",
            "2011-01-01 00:00:00",
            "16",
            "48.85",
            "2.35",
            "Canon",
            "EOS",
            "Off",
            "photo",
            "72157",
            "Make:  Canon\n\n"};
}

} // namespace

TEST(ViewerText, InformationTextHasEveryFieldWithItsBlueLabel) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const StyledText text = pictureInfoText(fullRecord(), 2345678, kLabels, english);
    EXPECT_EQ(text.text, "\nOwner Name:  Anna K\n\n"
                         "Flickr ID:  5012345678\n\n"
                         "Title:  Harbour at dawn\n\n"
                         "Description:  Boats, gulls:  and fog\n\n"
                         "Tags:  harbour dawn\n\n"
                         "Original URL:  https://farm1.example.com/1/5012345678_f00d_o.jpg\n\n"
                         "Large URL:  https://farm1.example.com/1/5012345678_beef_b.jpg\n\n"
                         "Date Taken:  2010-05-01 06:12:00\n\n"
                         "Date Uploaded:  2010-05-02 10:00:00\n\n"
                         "Last Update:  2011-01-01 00:00:00\n\n"
                         "Owner:  12345678@N00\n\n"
                         "Geo:  16\n\n"
                         "Latitude:  48.85\n\n"
                         "Longitude:  2.35\n\n"
                         "Media:  photo\n\n"
                         "License:  4\n\n"
                         "Views:  321\n\n"
                         "Original Width:  4000\n\n"
                         "Original Height:  3000\n\n"
                         "Original Format:  jpg\n\n"
                         "File Size:  2,345,678\n\n"
                         "Is Family:  0\n\n"
                         "Is Friend:  1\n\n"
                         "Is Public:  1\n\n"
                         "Comment Permissions:  3 - everybody\n\n"
                         "Meta Permissions:  7\n\n"); // no label for 7: the number

    // One blue run per piece, from the piece's start: the label with its
    // colon and both blanks, except the owner name and media (first blank only).
    const QList<std::pair<const char*, int>> labels = {
        {"\nOwner Name:", 13}, {"Flickr ID:", 12},     {"Title:", 8},
        {"Description:", 14},  {"Tags:", 7},           {"Original URL:", 15},
        {"Large URL:", 12},    {"Date Taken:", 13},    {"Date Uploaded:", 16},
        {"Last Update:", 14},  {"Owner:", 8},          {"Geo:", 6},
        {"Latitude:", 11},     {"Longitude:", 12},     {"Media:", 7},
        {"License:", 10},      {"Views:", 8},          {"Original Width:", 17},
        {"Original Height:", 18}, {"Original Format:", 18}, {"File Size:", 12},
        {"Is Family:", 12},    {"Is Friend:", 12},     {"Is Public:", 12},
        {"Comment Permissions:", 22}, {"Meta Permissions:", 19}};
    ASSERT_EQ(text.spans.size(), labels.size());
    int from = 0;
    for (int i = 0; i < labels.size(); ++i) {
        const int start = int(text.text.indexOf(QLatin1String(labels[i].first), from));
        EXPECT_EQ(text.spans[i], (TextSpan{start, labels[i].second, TextColor::Blue}))
            << labels[i].first;
        from = start + 1;
    }
    EXPECT_EQ(latLonText(fullRecord()), "48.85,2.35");

    // Permissions: labels for 0 to 3, the number otherwise, NULL as 0.
    EXPECT_EQ(permissionText("2", kLabels), "2 - contacts");
    EXPECT_EQ(permissionText("-1", kLabels), "-1");
    EXPECT_EQ(permissionText("", kLabels), "0 - nobody");
}

TEST(ViewerText, ExifTextSplitsBlocksAtBlankLinesAndLabelsAtColonTwoBlanks) {
    const StyledText two = exifText("Make:  Canon\n\nModel:  EOS\n\n");
    EXPECT_EQ(two.text, "\nMake:  Canon\n\nModel:  EOS\n");
    EXPECT_EQ(two.spans, (QList<TextSpan>{{0, 5, TextColor::Blue}, {14, 6, TextColor::Blue}}));

    // Colons without two blanks stay in the value; a block without a label is
    // passed over; a second ":  " ends the value.
    const StyledText mixed = exifText("junk\n\nDate and Time (Original):  2010:05:01 10:00:00\n\n"
                                      "Note:  a:  b");
    EXPECT_EQ(mixed.text, "\nDate and Time (Original):  2010:05:01 10:00:00\n\nNote:  a\n");
    EXPECT_EQ(mixed.spans, (QList<TextSpan>{{0, 25, TextColor::Blue}, {48, 5, TextColor::Blue}}));
    EXPECT_TRUE(exifText("").text.isEmpty());
}
