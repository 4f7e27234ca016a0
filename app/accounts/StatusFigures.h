#pragma once

#include <QString>

namespace tessaly::status {

// A number with "," between groups of three digits: 1234567 -> "1,234,567".
QString groupedNumber(qint64 value);
// A non-negative decimal with grouping and `minDecimals` to `maxDecimals` fraction digits.
QString groupedDecimal(double value, int minDecimals, int maxDecimals);

// The size of a picture folder as a value text and a unit ("", "MB", "GB",
// "TB"), counted in steps of 1000.
struct SizeFigure {
    QString value;
    QString unit;
};
SizeFigure sizeFigure(double bytes);

// What one walk of a picture folder finds: the bytes of every entry at every
// depth (folders as the file system reports them), the square thumbnails
// (names holding "_s."), one per downloaded picture, and the video files
// (".mp4", ".mov"); those moved aside into ".broken" are not counted.
struct FolderFigures {
    double bytes = 0;
    qint64 pictures = 0;
    qint64 videos = 0;
};
FolderFigures walkPictureFolder(const QString& folder);

// "N pictures in this archive, uses ...", with the videos named when there are any.
QString pictureFolderLine(const QString& count, const SizeFigure& size, qint64 videos = 0);
QString recordLine(const QString& count, const QString& lastUpdate);
QString accountLine(int accounts);

} // namespace tessaly::status
