// The picture information and EXIF texts, character for character.
#include "viewer/PictureInfo.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::viewer;

TEST(ViewerText, InformationTextHasEveryFieldWithItsBlueLabel) {
    const QStringList labels = {"0 - nobody", "1 - friends & family", "2 - contacts", "3 - everybody"};
    const QString url = "https://farm1.example.com/1/5012345678_";
    // A record with every column set, by position.
    const QStringList record = {
        "5012345678", "12345678@N00", "Anna K", url + "f00d_o.jpg", url + "beef_b.jpg", "4", "Harbour at dawn",
        "Boats, gulls:  and fog", "harbour dawn", "321", "4000", "3000", url + "beef_s.jpg", "jpg",
        "2010-05-01 06:12:00", "2010-05-02 10:00:00", "2345678", "0", "1", "1", "3", "7", "2011-01-01 00:00:00",
        "16", "48.85", "2.35", "Canon", "EOS", "Off", "photo", "72157", "Make:  Canon\n\n"};
    const QList<std::pair<QString, QString>> pieces = {
        {"Owner Name", "Anna K"}, {"Flickr ID", "5012345678"}, {"Title", "Harbour at dawn"},
        {"Description", "Boats, gulls:  and fog"}, {"Tags", "harbour dawn"}, {"Original URL", url + "f00d_o.jpg"},
        {"Large URL", url + "beef_b.jpg"}, {"Date Taken", "2010-05-01 06:12:00"},
        {"Date Uploaded", "2010-05-02 10:00:00"}, {"Last Update", "2011-01-01 00:00:00"}, {"Owner", "12345678@N00"},
        {"Geo", "16"}, {"Latitude", "48.85"}, {"Longitude", "2.35"}, {"Media", "photo"}, {"License", "4"},
        {"Views", "321"}, {"Original Width", "4000"}, {"Original Height", "3000"}, {"Original Format", "jpg"},
        {"File Size", "2,345,678"}, {"Is Family", "0"}, {"Is Friend", "1"}, {"Is Public", "1"},
        {"Comment Permissions", "3 - everybody"}, {"Meta Permissions", "7"}}; // no label for 7: the number
    // One paragraph per piece; one blue run from the piece's start: the label
    // with its colon and both blanks, except the owner name and media (first blank only).
    QString expected = "\n";
    QList<TextSpan> spans;
    for (const auto& [label, value] : pieces) {
        const int start = spans.isEmpty() ? 0 : int(expected.size());
        expected += label + ":  ";
        const bool oneBlank = label == "Owner Name" || label == "Media";
        spans.append({start, int(expected.size()) - start - (oneBlank ? 1 : 0), TextColor::Blue});
        expected += value + "\n\n";
    }
    const StyledText text = pictureInfoText(record, 2345678, labels, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(text.text, expected);
    EXPECT_TRUE(text.spans == spans && latLonText(record) == "48.85,2.35");

    // Permissions: labels for 0 to 3, the number otherwise, NULL as 0.
    EXPECT_EQ(QStringList({permissionText("2", labels), permissionText("-1", labels), permissionText("", labels)}),
              QStringList({"2 - contacts", "-1", "0 - nobody"}));
}

TEST(ViewerText, ExifTextSplitsBlocksAtBlankLinesAndLabelsAtColonTwoBlanks) {
    const StyledText two = exifText("Make:  Canon\n\nModel:  EOS\n\n");
    EXPECT_EQ(two.text, "\nMake:  Canon\n\nModel:  EOS\n");
    EXPECT_EQ(two.spans, (QList<TextSpan>{{0, 5, TextColor::Blue}, {14, 6, TextColor::Blue}}));

    // Colons without two blanks stay in the value; a block without a label is
    // passed over; a second ":  " ends the value.
    const StyledText mixed = exifText("junk\n\nDate and Time (Original):  2010:05:01 10:00:00\n\nNote:  a:  b");
    EXPECT_EQ(mixed.text, "\nDate and Time (Original):  2010:05:01 10:00:00\n\nNote:  a\n");
    EXPECT_EQ(mixed.spans, (QList<TextSpan>{{0, 25, TextColor::Blue}, {48, 5, TextColor::Blue}}));
    EXPECT_TRUE(exifText("").text.isEmpty());
}
