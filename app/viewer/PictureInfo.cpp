#include "PictureInfo.h"

#include "sync/SyncValues.h"

namespace tessaly::viewer {

QString permissionText(const QString& stored, const QStringList& permissionLabels) {
    const qint64 value = sync::leadingInteger(stored);
    if (value >= 0 && value < permissionLabels.size())
        return permissionLabels[value];
    return QString::number(value);
}

StyledText pictureInfoText(const QStringList& columns, qint64 fileSize,
                           const QStringList& permissionLabels, const QLocale& locale) {
    StyledText text;
    const auto blue = TextColor::Blue;
    // Each piece: its label (blue up to `coloured` characters), the value and a blank line.
    const auto piece = [&](const char* label, const QString& value, int coloured) {
        text.append(QLatin1String(label) + value + QLatin1String("\n\n"), coloured, blue);
    };
    const auto field = [&](const char* label, int position, int coloured) {
        piece(label, columns.value(position), coloured);
    };
    field("\nOwner Name:  ", column::ownername, 13);
    field("Flickr ID:  ", column::flickrID, 12);
    field("Title:  ", column::title, 8);
    field("Description:  ", column::description, 14);
    field("Tags:  ", column::tags, 7);
    field("Original URL:  ", column::url_o, 15);
    field("Large URL:  ", column::url_l, 12);
    field("Date Taken:  ", column::datetaken, 13);
    field("Date Uploaded:  ", column::dateupload, 16);
    field("Last Update:  ", column::lastupdate, 14);
    field("Owner:  ", column::owner, 8);
    field("Geo:  ", column::geo, 6);
    field("Latitude:  ", column::latitude, 11);
    field("Longitude:  ", column::longitude, 12);
    field("Media:  ", column::media, 7);
    field("License:  ", column::license, 10);
    field("Views:  ", column::views, 8);
    field("Original Width:  ", column::width_o, 17);
    field("Original Height:  ", column::height_o, 18);
    field("Original Format:  ", column::originalformat, 18);
    piece("File Size:  ", locale.toString(fileSize), 12);
    field("Is Family:  ", column::isfamily, 12);
    field("Is Friend:  ", column::isfriend, 12);
    field("Is Public:  ", column::ispublic, 12);
    piece("Comment Permissions:  ",
          permissionText(columns.value(column::permcomment), permissionLabels), 22);
    piece("Meta Permissions:  ", permissionText(columns.value(column::permmeta), permissionLabels),
          19);
    return text;
}

QString latLonText(const QStringList& columns) {
    return columns.value(column::latitude) + QLatin1Char(',') + columns.value(column::longitude);
}

StyledText exifText(const QString& exifdata) {
    static const QString kBlockEnd = QStringLiteral("\n\n");
    static const QString kSeparator = QStringLiteral(":  ");
    StyledText text;
    for (const QString& block : exifdata.split(kBlockEnd)) {
        const QStringList parts = block.split(kSeparator);
        if (parts.size() < 2)
            continue;
        // The leading line end and the label are blue; parts past the value are dropped.
        text.append(QLatin1Char('\n') + parts[0] + kSeparator + parts[1] + QLatin1Char('\n'),
                    int(parts[0].size()) + 1, TextColor::Blue);
    }
    return text;
}

} // namespace tessaly::viewer
